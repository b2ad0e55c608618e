#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>

#include "installer/form.h"
#include "installer/uninstall_box.h"
#include "payload.h"
#include "qt_app.h"
#include "tests/shell/temp_home.h"

namespace {

namespace fs = std::filesystem;
using namespace installer_test;
using testing_home::TempHome;

// Answers the message boxes the window opens while `action` runs: the
// desktop question with `yes`, every other box with its default button.
// Returns the texts of the boxes in the order they came; `labels`, when
// given, gets each box's button labels joined by "/".
std::vector<std::string> answering_boxes(bool yes, const std::function<void()>& action,
                                         std::vector<std::string>* labels = nullptr) {
  std::vector<std::string> texts;
  QTimer timer;
  timer.setInterval(5);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    texts.push_back(box->text().toStdString());
    if (labels) {
      std::string joined;
      for (QAbstractButton* b : box->buttons())
        joined += (joined.empty() ? "" : "/") + b->text().remove('&').toStdString();
      labels->push_back(joined);
    }
    QAbstractButton* b = box->button(yes ? QMessageBox::Yes : QMessageBox::No);
    if (!b) b = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
    QTest::mouseClick(b, Qt::LeftButton);
  });
  timer.start();
  action();
  timer.stop();
  return texts;
}

// The current directory is the installer's source folder; it is restored
// afterwards.
struct InCurrentDirectory {
  explicit InCurrentDirectory(const std::string& dir) : saved(fs::current_path()) {
    fs::current_path(dir);
  }
  ~InCurrentDirectory() { fs::current_path(saved); }
  fs::path saved;
};

struct WindowTest : ::testing::Test {
  WindowTest() { app(); }
  TempHome home;
  std::string desktop = home.mkdir("Desktop");
  std::string menu = home.mkdir(".local/share/applications");
  std::string source = home.mkdir("dist");
};

TEST_F(WindowTest, ControlsStartWhereAndAsTheyShould) {
  InCurrentDirectory cd(source);
  installer::TForm1 form;
  form.show();
  const int W = form.width(), H = form.height();
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(form.source_folder(), source + "/");
  EXPECT_EQ(form.Label2->text().toStdString(), home / ".local/share/zarnik");
  EXPECT_EQ(form.Label4->text(), "Adresář:");

  struct Expect {
    QWidget* w;
    QString caption;
    QPoint at;
  };
  for (const auto& e : std::vector<Expect>{
           {form.Button3, "Prohlidnout", {W / 2 - 150, H / 2}},
           {form.Button2, "KONEC", {W / 2 - 25, H / 2}},
           {form.Button1, "INSTALUJ", {W / 2 + 75, H / 2}},
       }) {
    EXPECT_EQ(static_cast<QPushButton*>(e.w)->text(), e.caption);
    EXPECT_EQ(e.w->pos(), e.at) << e.caption.toStdString();
    EXPECT_FALSE(e.w->focusPolicy() & Qt::TabFocus) << e.caption.toStdString();
  }
  EXPECT_EQ(form.Label4->pos(), QPoint(W / 2 - 150, H / 2 - 65));
  EXPECT_EQ(form.Label2->pos(), QPoint(W / 2 - 150, H / 2 - 50));
  EXPECT_EQ(form.ProgressBar1->geometry(), QRect(W / 2 - 150, H / 2 - 35, 329, 16));
  EXPECT_FALSE(form.ProgressBar1->isVisible());
  EXPECT_EQ(form.Label1->pos(), QPoint(W - 200, H - 50));
  EXPECT_EQ(form.Image1->geometry(), QRect(24, 24, 200, 50));
  EXPECT_EQ(form.Panel1->geometry(), QRect(150, 150, 265, 225));
  EXPECT_FALSE(form.Panel1->isVisible());

  QTest::mouseClick(form.Image1, Qt::LeftButton);
  EXPECT_TRUE(form.credit_on_canvas());

  QTest::mouseClick(form.Button2, Qt::LeftButton);
  EXPECT_FALSE(form.isVisible()) << "KONEC closes the window";
}

TEST_F(WindowTest, ChooserGivesTheTargetForARootAndForAFolder) {
  InCurrentDirectory cd(source);
  installer::TForm1 form;
  form.show();
  QTest::mouseClick(form.Button3, Qt::LeftButton);
  ASSERT_TRUE(form.Panel1->isVisible());
  EXPECT_GT(form.DriveComboBox1->count(), 0);
  EXPECT_EQ(form.Label3->text().toStdString(), home.path()) << "the chooser starts at home";
  EXPECT_EQ(form.selected_folder(), home.path());

  form.select_folder("/");
  QTest::mouseClick(form.Button5, Qt::LeftButton);
  EXPECT_EQ(form.Label2->text(), "/zarnik");
  EXPECT_FALSE(form.Panel1->isVisible());

  QTest::mouseClick(form.Button3, Qt::LeftButton);
  form.select_folder(home / "Desktop");
  EXPECT_EQ(form.Label3->text().toStdString(), home / "Desktop");
  QTest::mouseClick(form.Button5, Qt::LeftButton);
  EXPECT_EQ(form.target_folder(), home / "Desktop/zarnik");
  EXPECT_EQ(form.Label2->text().toStdString(), home / "Desktop/zarnik");
}

TEST_F(WindowTest, NewFolderPanelCreatesTheFolderOnEnterOrOkAndStornoCancels) {
  InCurrentDirectory cd(source);
  installer::TForm1 form;
  form.show();
  QTest::mouseClick(form.Button3, Qt::LeftButton);
  form.select_folder(home.path());

  QTest::mouseClick(form.Button4, Qt::LeftButton);
  ASSERT_TRUE(form.Panel2->isVisible());
  EXPECT_EQ(form.Label5->text(), "nový adresář");
  // The field ends in a separator: a name typed after it is a folder inside.
  EXPECT_EQ(form.Edit1->text().toStdString(), home.path() + "/");
  form.Edit1->end(false);
  QTest::keyClicks(form.Edit1, "Hry");
  QTest::keyClick(form.Edit1, Qt::Key_Return);
  EXPECT_TRUE(fs::is_directory(home / "Hry"));
  EXPECT_FALSE(form.Panel2->isVisible());
  EXPECT_EQ(form.selected_folder(), home / "Hry");

  // A nested name makes the folders on its way; one that cannot be made says
  // why and keeps the panel open.
  QTest::mouseClick(form.Button4, Qt::LeftButton);
  form.Edit1->setText(QString::fromUtf8("Hry/Žárník"));
  QTest::mouseClick(form.Button6, Qt::LeftButton);
  EXPECT_TRUE(fs::is_directory(home / "Hry/Hry/Žárník"));
  EXPECT_EQ(form.selected_folder(), home / "Hry/Hry/Žárník");
  // What it made is remembered for the installation's record.
  EXPECT_EQ(form.made_folders(),
            (std::vector<std::string>{home / "Hry", home / "Hry/Hry", home / "Hry/Hry/Žárník"}));
  form.select_folder(home / "Hry");
  std::ofstream(home / "soubor") << "a file where a folder should go";
  QTest::mouseClick(form.Button4, Qt::LeftButton);
  form.Edit1->setText(QString::fromStdString(home / "soubor/x/y"));
  const auto boxes =
      answering_boxes(true, [&] { QTest::mouseClick(form.Button6, Qt::LeftButton); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].find("Adresář nelze vytvořit:\n" + home / "soubor\n"), 0u) << boxes[0];
  EXPECT_NE(boxes[0].find("v cestě už je soubor"), std::string::npos) << boxes[0];
  EXPECT_TRUE(form.Panel2->isVisible());
  EXPECT_EQ(form.selected_folder(), home / "Hry");
  QTest::mouseClick(form.Button7, Qt::LeftButton);

  // A bare name is made in the selected folder, not in the current one; an
  // empty field makes nothing.
  QTest::mouseClick(form.Button4, Qt::LeftButton);
  form.Edit1->setText("Nova");
  QTest::keyClick(form.Edit1, Qt::Key_Return);
  EXPECT_TRUE(fs::is_directory(home / "Hry/Nova"));
  EXPECT_FALSE(fs::exists(source + "/Nova"));
  EXPECT_EQ(form.selected_folder(), home / "Hry/Nova");
  QTest::mouseClick(form.Button4, Qt::LeftButton);
  form.Edit1->clear();
  QTest::mouseClick(form.Button6, Qt::LeftButton);
  EXPECT_EQ(form.selected_folder(), home / "Hry/Nova");

  QTest::mouseClick(form.Button4, Qt::LeftButton);
  form.Edit1->setText(QString::fromStdString(home / "Zruseno"));
  QTest::mouseClick(form.Button7, Qt::LeftButton);
  EXPECT_FALSE(form.Panel2->isVisible());
  EXPECT_FALSE(fs::exists(home / "Zruseno"));
}

TEST_F(WindowTest, InstallAsksAboutTheDesktopAndEndsWithTheFinalMessage) {
  make_payload(source);
  InCurrentDirectory cd(source);
  installer::TForm1 form;
  form.show();
  const int W = form.width();

  std::vector<std::string> labels;
  const auto boxes = answering_boxes(
      true, [&] { QTest::mouseClick(form.Button1, Qt::LeftButton); }, &labels);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Zobrazit ikonu na ploše", "INSTALACE JE HOTOVA"}));
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels[0], "Ano/Ne") << "the question's buttons are not in Czech";
  EXPECT_TRUE(form.Button1->isHidden()) << "INSTALUJ cannot be pressed twice";
  EXPECT_TRUE(form.Button3->isHidden());
  EXPECT_TRUE(form.Label2->isHidden());
  EXPECT_FALSE(form.ProgressBar1->isHidden());
  EXPECT_EQ(form.ProgressBar1->value(), 100);
  EXPECT_EQ(form.Label4->text(), "Hotovo:");
  EXPECT_EQ(form.Label4->x(), W / 2 - 12);
  EXPECT_EQ(form.Button2->x(), W / 2 - 25);
  EXPECT_FALSE(form.isVisible()) << "the window closes after the final message";

  const std::string d = home / ".local/share/zarnik";
  EXPECT_EQ(read_text(home / ".config/zarnik.ini"),
            joined_crlf(expected_lines(d, menu, desktop, home / ".config")));
}

// A failed installation says so, and asks nothing after the failure; an
// incomplete one names what is missing.
TEST_F(WindowTest, AFailedOrIncompleteInstallationSaysSoInsteadOfDone) {
  make_payload(source, {"zvuk.xxx"});
  InCurrentDirectory cd(source);
  {
    installer::TForm1 form;
    form.show();
    const auto boxes =
        answering_boxes(true, [&] { QTest::mouseClick(form.Button1, Qt::LeftButton); });
    ASSERT_EQ(boxes.size(), 1u) << "no desktop question after the failure";
    EXPECT_EQ(boxes[0].find("INSTALACE SE NEZDAŘILA"), 0u) << boxes[0];
    EXPECT_NE(boxes[0].find("zvuk.xxx"), std::string::npos) << boxes[0];
    EXPECT_FALSE(fs::exists(home / ".local/share/zarnik"));
    EXPECT_FALSE(fs::exists(home / ".config/zarnik.ini"));
  }
  make_payload(source);
  fs::remove(menu);  // a Start menu that cannot be made
  std::ofstream(menu) << "a file";
  installer::TForm1 form;
  form.show();
  const auto boxes =
      answering_boxes(false, [&] { QTest::mouseClick(form.Button1, Qt::LeftButton); });
  ASSERT_EQ(boxes.size(), 5u);  // three shortcut errors, the question, the final message
  EXPECT_NE(boxes[0].find("uninstall.lnk"), std::string::npos) << boxes[0];
  EXPECT_EQ(boxes[1], "Zobrazit ikonu na ploše");
  EXPECT_EQ(boxes[4].find("INSTALACE NENÍ ÚPLNÁ"), 0u) << boxes[4];
  EXPECT_NE(boxes[4].find("Programy"), std::string::npos) << boxes[4];
  EXPECT_TRUE(fs::is_empty(desktop));
}

// Where the installation cannot be recorded it does not begin: one box says
// why, and nothing is written.
TEST_F(WindowTest, AnInstallationThatCannotBeRecordedSaysSoOnce) {
  make_payload(source);
  std::ofstream(home / ".config") << "a file where the settings folder should be";
  InCurrentDirectory cd(source);
  installer::TForm1 form;
  form.show();
  const auto before = tree(home.path());
  const auto boxes =
      answering_boxes(true, [&] { QTest::mouseClick(form.Button1, Qt::LeftButton); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].find("Instalaci nelze zaznamenat"), 0u) << boxes[0];
  EXPECT_EQ(tree(home.path()), before);
}

// A folder whose name holds a line break is refused before anything
// changes; the window stays as it was, so another folder can be chosen.
TEST_F(WindowTest, ATargetWithALineBreakIsRefusedAndTheWindowStays) {
  make_payload(source);
  InCurrentDirectory cd(source);
  installer::TForm1 form;
  form.show();
  const std::string parent = home.mkdir("Hry\nx");
  form.select_folder(parent);
  form.Button5Click();
  ASSERT_EQ(form.target_folder(), parent + "/zarnik");
  const auto boxes =
      answering_boxes(true, [&] { QTest::mouseClick(form.Button1, Qt::LeftButton); });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("konec řádku"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("Hry\\nx"), std::string::npos) << boxes[0];
  EXPECT_FALSE(form.Button1->isHidden());
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(fs::exists(parent + "/zarnik"));
  EXPECT_FALSE(fs::exists(home / ".config/zarnik.ini"));
}

// The uninstaller's boxes: the question, then whether to keep the score
// table and the game's settings; the answers decide what goes, and the last
// box names what stays.
TEST_F(WindowTest, TheUninstallerAsksSeparatelyAboutTheScoresAndNamesWhatItKeeps) {
  make_payload(source);
  const std::string config = home / ".config";
  const std::string d = home / "Hry/zarnik";
  const auto before = tree(home.path());
  // Answers the uninstaller's question with "Ano", then every message box
  // with `scores` ("Ano": keep) or its only button; returns the texts.
  auto uninstall = [&](bool keep) {
    std::vector<std::string> texts;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* question = dynamic_cast<installer::UninstallBox*>(modal)) {
        texts.push_back("question");
        QTest::mouseClick(question->yes, Qt::LeftButton);
      } else if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
        texts.push_back(box->text().toStdString());
        QAbstractButton* b = box->button(keep ? QMessageBox::Yes : QMessageBox::No);
        QTest::mouseClick(b ? b : box->buttons().value(0), Qt::LeftButton);
      }
    });
    timer.start();
    const std::string record = config + "/zarnik-install.rec";
    const int status = installer::uninstall_with_boxes(
        {installer::plan_uninstall(installer::read_record(record), record, {}, ""), ""});
    EXPECT_EQ(status, 0);
    return texts;
  };
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep ? "kept" : "not kept");
    QuietUi ui;
    ASSERT_TRUE(installer::install(source + "/", d, config, ui).failures.empty());
    std::ofstream(d + "/data.dat") << "EVA 1200";
    const auto texts = uninstall(keep);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "question");
    EXPECT_EQ(texts[1], "Ponechat tabulku rekordů (data.dat)?\n" + d + "/data.dat");
    EXPECT_EQ(texts[2].find("Ponechat nastavení hry"), 0u) << texts[2];
    EXPECT_NE(texts[2].find(config + "/zarnik.ini"), std::string::npos) << texts[2];
    EXPECT_EQ(texts[3].find("ODINSTALACE JE HOTOVA"), 0u) << texts[3];
    EXPECT_EQ(texts[3].find("tabulka rekordů") != std::string::npos, keep) << texts[3];
    EXPECT_EQ(texts[3].find("soubor nastavení") != std::string::npos, keep) << texts[3];
    EXPECT_EQ(fs::exists(d + "/data.dat"), keep);
    EXPECT_EQ(fs::exists(config + "/zarnik.ini"), keep);
  }
  EXPECT_EQ(tree(home.path()), before);
}

// Setup run again offers the folder the game is installed in.
TEST_F(WindowTest, SetupRunAgainOffersTheInstalledFolder) {
  make_payload(source);
  InCurrentDirectory cd(source);
  const std::string first = installer::TForm1().target_folder();
  EXPECT_EQ(first, home / ".local/share/zarnik");
  const std::string d = home / "Hry/zarnik";
  QuietUi ui;
  ASSERT_TRUE(installer::install(source + "/", d, home / ".config", ui).failures.empty());
  installer::TForm1 again;
  EXPECT_EQ(again.target_folder(), d);
  EXPECT_EQ(again.Label2->text().toStdString(), d);
}

// The uninstaller that belongs to no installation, with two of them: it
// lists both, the one chosen goes (its question names its folder), the
// other stays; cancelled, nothing goes.
TEST_F(WindowTest, TheUninstallerOfNoInstallationListsThemAndRemovesTheOneChosen) {
  make_payload(source);
  const std::string config = home / ".config";
  const std::string a = home / "Hry/zarnik", b = home / "Jine/zarnik";
  for (const auto& target : {a, b}) {
    QuietUi ui;
    ASSERT_TRUE(installer::install(source + "/", target, config, ui).failures.empty());
  }
  // Picks `pick` in the list (or cancels with an empty one), then answers
  // every box with its default; returns the list's items and the texts.
  auto uninstall = [&](const std::string& pick, std::vector<std::string>& items) {
    std::vector<std::string> texts;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* choice = qobject_cast<QInputDialog*>(modal); choice && choice->isVisible()) {
        items.clear();
        for (const auto& item : choice->comboBoxItems()) items.push_back(item.toStdString());
        texts.push_back(choice->labelText().toStdString());
        if (pick.empty()) {
          choice->reject();
        } else {
          choice->setTextValue(QString::fromStdString(pick));
          choice->accept();
        }
      } else if (auto* question = dynamic_cast<installer::UninstallBox*>(modal)) {
        texts.push_back("question");
        QTest::mouseClick(question->yes, Qt::LeftButton);
      } else if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
        texts.push_back(box->text().toStdString());
        QTest::mouseClick(box->defaultButton() ? box->defaultButton() : box->buttons().value(0),
                          Qt::LeftButton);
      }
    });
    timer.start();
    const int status =
        installer::uninstall_with_boxes(installer::start_uninstall(home / "elsewhere"));
    EXPECT_EQ(status, 0);
    return texts;
  };
  std::vector<std::string> items;
  auto texts = uninstall("", items);
  EXPECT_EQ(items, (std::vector<std::string>{a, b}));
  ASSERT_EQ(texts.size(), 1u) << "cancelled: nothing more is asked";
  EXPECT_EQ(texts[0], installer::kChoiceQuestion);
  EXPECT_TRUE(fs::exists(a + "/zarnik.exe") && fs::exists(b + "/zarnik.exe"));

  texts = uninstall(b, items);
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[1], "question");
  EXPECT_EQ(texts.back().find("ODINSTALACE JE HOTOVA"), 0u) << texts.back();
  EXPECT_FALSE(fs::exists(b));
  EXPECT_TRUE(fs::exists(a + "/zarnik.exe"));
}

// With hundreds of listed lines the question still fits the screen with its
// buttons on it: the lists scroll.
TEST_F(WindowTest, TheUninstallQuestionFitsTheScreenHoweverLongTheList) {
  installer::UninstallPlan plan;
  plan.record_file = home / ".config/zarnik-install.rec";
  for (int i = 0; i < 300; ++i) {
    installer::PlannedFile f;
    f.folder = home / "Hry/zarnik";
    f.name = "file" + std::to_string(i) + ".xxx";
    plan.files.push_back(f);
    plan.left_alone.push_back(
        {home / ("a/very/long/path/of/the/users/own/" + std::to_string(i) + std::string(200, 'x')),
         "leží mimo adresář hry, plochu i nabídku Start"});
  }
  installer::UninstallBox box(plan);
  box.show();
  QApplication::processEvents();
  const QRect screen = box.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(box.frameGeometry())) << box.width() << "x" << box.height();
  for (QPushButton* b : {box.yes, box.no}) {
    const QRect r(b->mapToGlobal(QPoint(0, 0)), b->size());
    EXPECT_TRUE(screen.contains(r)) << b->text().toStdString();
    EXPECT_TRUE(b->isVisible());
  }
  EXPECT_EQ(box.removed->count(), 301);
  EXPECT_EQ(box.kept->count(), 300);
  EXPECT_TRUE(box.kept->isVisibleTo(&box));
  EXPECT_TRUE(box.yes->isDefault());
  EXPECT_EQ(box.yes->text(), "Ano");

  installer::UninstallPlan clean;
  clean.files = {plan.files[0]};
  installer::UninstallBox short_box(clean);
  EXPECT_FALSE(short_box.kept->isVisibleTo(&short_box));
}

}  // namespace
