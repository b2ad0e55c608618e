#include "installer/uninstall_box.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "installer/czech_boxes.h"

namespace installer {

namespace {

QString q(const std::string& utf8) { return QString::fromStdString(utf8); }

// A list no wider than `max_width` that shows its longest line when it can.
QListWidget* list_of(const QStringList& items, int max_width, QWidget* parent) {
  auto* list = new QListWidget(parent);
  list->addItems(items);
  list->setSelectionMode(QAbstractItemView::NoSelection);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  int widest = 0;
  for (const auto& item : items)
    widest = std::max(widest, list->fontMetrics().horizontalAdvance(item));
  list->setMinimumWidth(std::min(widest + 40, max_width));
  return list;
}

}  // namespace

UninstallBox::UninstallBox(const UninstallPlan& plan, QWidget* parent) : QDialog(parent) {
  setWindowTitle(q(kUninstallTitle));
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  const int max_width = area.width() * 8 / 10;

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(q(uninstall_question(plan)), this));
  layout->addWidget(new QLabel(q(kRemovedCaption), this));
  QStringList files;
  for (const auto& f : removed_texts(plan)) files << q(f);
  removed = list_of(files, max_width, this);
  layout->addWidget(removed, 2);

  kept_label = new QLabel(q(kLeftAloneCaption), this);
  kept_label->setWordWrap(true);
  QStringList lines;
  for (const auto& l : left_alone_texts(plan)) lines << q(l);
  kept = list_of(lines, max_width, this);
  layout->addWidget(kept_label);
  layout->addWidget(kept, 1);
  kept_label->setVisible(!plan.left_alone.empty());
  kept->setVisible(!plan.left_alone.empty());

  auto* buttons = new QDialogButtonBox(this);
  yes = buttons->addButton(QStringLiteral("Ano"), QDialogButtonBox::YesRole);
  no = buttons->addButton(QStringLiteral("Ne"), QDialogButtonBox::NoRole);
  yes->setDefault(true);
  connect(yes, &QPushButton::clicked, this, &QDialog::accept);
  connect(no, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(buttons);

  // The lists scroll; the box itself never grows past the screen.
  setMaximumSize(area.size() * 9 / 10);
  const QSize wanted = sizeHint().boundedTo(maximumSize());
  resize(wanted);
  move(area.center() - QPoint(wanted.width() / 2, wanted.height() / 2));
}

bool confirm_uninstall(const UninstallPlan& plan, QWidget* parent) {
  UninstallBox box(plan, parent);
  return box.exec() == QDialog::Accepted;
}

std::optional<std::string> choose_installation(const std::vector<std::string>& choices,
                                               QWidget* parent) {
  if (choices.size() == 1) return choices.front();
  QStringList items;
  for (const auto& c : choices) items << q(c);
  QInputDialog dialog(parent);
  dialog.setWindowTitle(q(kUninstallTitle));
  dialog.setLabelText(q(kChoiceQuestion));
  dialog.setComboBoxItems(items);
  dialog.setComboBoxEditable(false);
  dialog.setOkButtonText(QStringLiteral("Odinstalovat"));
  dialog.setCancelButtonText(QStringLiteral("Storno"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const qsizetype at = items.indexOf(dialog.textValue());
  if (at < 0) return std::nullopt;
  return choices[size_t(at)];
}

int uninstall_with_boxes(const UninstallStart& start) {
  const QString title = q(kUninstallTitle);
  UninstallPlan plan = start.plan;
  std::string problem = start.problem;
  if (problem.empty() && !start.choices.empty()) {
    const auto chosen = choose_installation(start.choices);
    if (!chosen) return 0;
    plan = plan_for(start, *chosen);
    problem = plan.refusal;
  }
  if (!problem.empty()) {
    QMessageBox::information(nullptr, title, q(problem));
    return 1;
  }
  if (!confirm_uninstall(plan)) return 0;
  const bool keep_scores = !plan.scores || ask_yes_no(nullptr, title, q(scores_question(plan)));
  const bool keep_settings =
      !plan.settings || ask_yes_no(nullptr, title, q(settings_question(plan)));
  const auto result = perform_uninstall(plan, keep_scores, keep_settings);
  const QString text = q(result_text(result));
  if (result.failures.empty())
    QMessageBox::information(nullptr, title, text);
  else
    QMessageBox::warning(nullptr, title, text);
  return result.failures.empty() ? 0 : 1;
}

}  // namespace installer
