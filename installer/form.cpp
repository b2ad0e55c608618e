#include "installer/form.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTimer>

#include "installer/core/title.h"
#include "installer/czech_boxes.h"
#include "platform/files.h"

namespace installer {

namespace {

QString q(const std::string& utf8) { return QString::fromStdString(utf8); }

const QString kTitle = QStringLiteral("ZARNIK");

void make_white(QWidget* w) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, Qt::white);
  w->setPalette(p);
}

void make_black(QWidget* w) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Qt::black);
  p.setColor(QPalette::WindowText, Qt::white);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

QLabel* white_label(QWidget* parent, const QString& text, bool bold, const char* family = nullptr) {
  auto* l = new QLabel(text, parent);
  QFont f = l->font();
  if (family) f.setFamily(family);
  f.setBold(bold);
  l->setFont(f);
  make_white(l);
  return l;
}

QPushButton* button(QWidget* parent, const QString& caption, int x, int y, int w = 95) {
  auto* b = new QPushButton(caption, parent);
  b->setGeometry(x, y, w, 25);
  return b;
}

// The 200 x 50 title picture (core/title.h) on a transparent ground.
QPixmap title_picture() {
  const TitlePicture& t = kTitlePicture;
  QPixmap pm(200, 50);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QFont f(t.face);
  f.setPixelSize(t.pixel_height);
  f.setWeight(QFont::Black);
  f.setItalic(true);
  p.setFont(f);
  QLinearGradient g(0, 0, 0, 50);
  g.setColorAt(0, QColor::fromRgb(QRgb(t.top)));
  g.setColorAt(1, QColor::fromRgb(QRgb(t.bottom)));
  p.setPen(QPen(QBrush(g), 1));
  p.drawText(QRect(0, 0, 200, 50), Qt::AlignCenter, QString::fromUtf8(t.text));
  return pm;
}

}  // namespace

TForm1::TForm1() : QWidget(nullptr, Qt::FramelessWindowHint) {
  source_ = installer::source_folder();  // first: before anything can change it
  // An installation there is already is offered again.
  target_ = offered_target(platform::settings_directory(), default_target_folder());

  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  W = screen.width();
  H = screen.height();
  setGeometry(0, 0, W, H);
  make_black(this);
  setWindowTitle(kTitle);

  Image1 = new QLabel(this);
  Image1->setPixmap(title_picture());
  Image1->setGeometry(24, 24, 200, 50);
  Image1->setAttribute(Qt::WA_TranslucentBackground);
  Image1->installEventFilter(this);

  Label1 = white_label(this, q(kCreditLine), false);
  Label1->move(W - 200, H - 50);
  Label1->adjustSize();

  Label4 = white_label(this, QStringLiteral("Adresář:"), true);
  Label4->move(W / 2 - 150, H / 2 - 65);
  Label4->adjustSize();

  Label2 = white_label(this, q(target_), true, "Arial");
  Label2->setGeometry(W / 2 - 150, H / 2 - 50, W / 2 + 140, 15);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setGeometry(W / 2 - 150, H / 2 - 35, 329, 16);
  ProgressBar1->hide();

  Button3 = button(this, QStringLiteral("Prohlidnout"), W / 2 - 150, H / 2);
  Button2 = button(this, QStringLiteral("KONEC"), W / 2 - 25, H / 2);
  Button1 = button(this, QStringLiteral("INSTALUJ"), W / 2 + 75, H / 2);
  for (auto* b : {Button1, Button2, Button3}) b->setFocusPolicy(Qt::ClickFocus);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });

  // The folder chooser.
  Panel1 = new QFrame(this);
  Panel1->setGeometry(150, 150, 265, 225);
  Panel1->setFrameStyle(QFrame::Box);
  Panel1->hide();
  Label3 = white_label(Panel1, QString(), true, "Arial");
  Label3->setGeometry(8, 6, 249, 18);
  DriveComboBox1 = new QComboBox(Panel1);
  DriveComboBox1->setGeometry(8, 26, 249, 24);
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    if (!v.isValid() || !v.isReady()) continue;
    DriveComboBox1->addItem(v.rootPath() + "  [" + QString::fromUtf8(v.fileSystemType()) + "]",
                            v.rootPath());
  }
  folders_ = new QFileSystemModel(this);
  folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  folders_->setRootPath(QDir::rootPath());
  DirectoryListBox1 = new QTreeView(Panel1);
  DirectoryListBox1->setModel(folders_);
  for (int c = 1; c < folders_->columnCount(); ++c) DirectoryListBox1->hideColumn(c);
  DirectoryListBox1->setHeaderHidden(true);
  DirectoryListBox1->setGeometry(8, 54, 249, 132);
  connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& now) {
            if (!now.isValid()) return;
            selected_ = folders_->filePath(now).toStdString();
            Label3->setText(q(selected_));
          });
  // The model reads folders in the background: a folder selected by the
  // program is kept in view as the folders above it fill in and are sorted,
  // until the user takes the tree in hand.
  connect(folders_, &QFileSystemModel::directoryLoaded, this, [this] { keep_selection_in_view(); });
  connect(folders_, &QFileSystemModel::layoutChanged, this, [this] { keep_selection_in_view(); });
  auto user_took_over = [this] { follow_selection_ = false; };
  connect(DirectoryListBox1, &QTreeView::pressed, this, user_took_over);
  connect(DirectoryListBox1, &QTreeView::expanded, this, user_took_over);
  connect(DirectoryListBox1, &QTreeView::collapsed, this, user_took_over);
  connect(DirectoryListBox1->verticalScrollBar(), &QScrollBar::actionTriggered, this,
          user_took_over);
  connect(DriveComboBox1, &QComboBox::activated, this, [this](int i) { drive_chosen(i); });
  Button4 = button(Panel1, QStringLiteral("Nový adresář"), 8, 192, 110);
  Button5 = button(Panel1, QStringLiteral("OK"), 182, 192, 75);
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });

  // The new-folder entry, over the chooser's tree.
  Panel2 = new QFrame(Panel1);
  Panel2->setGeometry(8, 54, 249, 132);
  Panel2->setFrameStyle(QFrame::Box);
  Panel2->hide();
  Label5 = white_label(Panel2, QStringLiteral("nový adresář"), false);
  Label5->setGeometry(8, 8, 233, 18);
  Edit1 = new QLineEdit(Panel2);
  Edit1->setGeometry(8, 30, 233, 24);
  Button6 = button(Panel2, QStringLiteral("OK"), 8, 64, 75);
  Button7 = button(Panel2, QStringLiteral("Storno"), 166, 64, 75);
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  connect(Button7, &QPushButton::clicked, this, [this] { Button7Click(); });
  // Enter in the field does what "OK" does; other keys just edit.
  connect(Edit1, &QLineEdit::returnPressed, this, [this] { Button6Click(); });

  // The chooser starts in the user's home (the root when there is none).
  const QString home = QDir::homePath();
  select_folder((QFileInfo(home).isDir() ? home : QDir::rootPath()).toStdString());
}

void TForm1::select_folder(const std::string& path) {
  const QString p = q(path);
  const QModelIndex index = folders_->index(p);
  // The drive box shows the volume that holds the folder: the longest
  // mount point that contains it.
  int best = -1;
  qsizetype best_length = -1;
  for (int i = 0; i < DriveComboBox1->count(); ++i) {
    const QString root = DriveComboBox1->itemData(i).toString();
    const QString prefix = root.endsWith('/') ? root : root + '/';
    if ((p == root || p.startsWith(prefix)) && root.size() > best_length) {
      best = i;
      best_length = root.size();
    }
  }
  if (best >= 0) DriveComboBox1->setCurrentIndex(best);
  if (index.isValid()) {
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
      DirectoryListBox1->expand(up);
    DirectoryListBox1->setCurrentIndex(index);
    follow_selection_ = true;
    keep_selection_in_view();
  }
  selected_ = path;
  Label3->setText(p);
}

void TForm1::keep_selection_in_view() {
  if (!follow_selection_) return;
  // After the view has laid out the rows that just arrived.
  QTimer::singleShot(0, DirectoryListBox1, [this] {
    DirectoryListBox1->scrollTo(DirectoryListBox1->currentIndex(),
                                QAbstractItemView::PositionAtCenter);
  });
}

void TForm1::drive_chosen(int index) {
  select_folder(DriveComboBox1->itemData(index).toString().toStdString());
}

void TForm1::Button3Click() {
  make_black(Panel1);
  Panel1->show();
  Panel1->raise();
}

void TForm1::Button4Click() {
  make_black(Panel2);
  Edit1->setText(q(new_folder_field(selected_)));
  Panel2->show();
  Panel2->raise();
  Edit1->setFocus();
}

void TForm1::Button6Click() {
  // A bare name, or a nested one ("Hry/Žárník"), is made inside the folder
  // selected in the list, with the folders on the way (core/install.h).
  // What cannot be made is said, and the panel stays for another name.
  const NewFolder made = make_new_folder(selected_, Edit1->text().toStdString());
  if (!made.refusal.empty()) {
    QMessageBox::warning(this, kTitle, q(made.refusal));
    return;
  }
  made_folders_.insert(made_folders_.end(), made.made.begin(), made.made.end());
  if (!made.path.empty()) select_folder(made.path);
  Panel2->hide();
}

void TForm1::Button7Click() { Panel2->hide(); }

void TForm1::Button5Click() {
  target_ = target_for_chosen_folder(Label3->text().toStdString());
  Label2->setText(q(target_));
  Panel1->hide();
}

void TForm1::Button2Click() { close(); }

void TForm1::Image1Click() {
  credit_on_canvas_ = true;
  update();
}

void TForm1::paintEvent(QPaintEvent* e) {
  QWidget::paintEvent(e);
  if (!credit_on_canvas_) return;
  QPainter p(this);
  p.setFont(QFont("Arial Black", 10));
  p.setPen(Qt::white);
  p.drawText(QRect(W - 200, H - 50, 200, 50), Qt::AlignLeft | Qt::AlignTop, q(kCreditLine));
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Image1 && e->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    Image1Click();
    return true;
  }
  return QWidget::eventFilter(watched, e);
}

void TForm1::Button1Click() {
  const std::string windows_dir = platform::settings_directory();
  // A folder that cannot be installed into is refused before anything
  // changes: the user may choose another one.
  if (const std::string refusal = installation_refusal(target_, windows_dir); !refusal.empty()) {
    show_error(refusal);
    return;
  }

  // Hiding the button first makes a second installation impossible.
  Button1->hide();
  Button3->hide();
  ProgressBar1->show();
  Button2->move(W / 2 - 25, Button2->y());
  Label4->move(W / 2 - 12, Label4->y());
  Label4->setText(QStringLiteral("Hotovo:"));
  Label4->adjustSize();
  Label2->hide();

  report_ = install(source_, target_, windows_dir, *this, made_folders_);

  // After a refusal, shown already as an error, no closing box.
  if (const std::string closing = report_.closing_message(); !closing.empty()) {
    if (report_.failures.empty())
      QMessageBox::information(this, kTitle, q(closing));
    else
      QMessageBox::warning(this, kTitle, q(closing));
  }
  close();
}

void TForm1::set_progress(int position) {
  ProgressBar1->setValue(position);
  ProgressBar1->repaint();
}

bool TForm1::ask_desktop_shortcut() {
  return ask_yes_no(this, kTitle, QStringLiteral("Zobrazit ikonu na ploše"));
}

void TForm1::show_error(const std::string& text) { QMessageBox::critical(this, kTitle, q(text)); }

}  // namespace installer
