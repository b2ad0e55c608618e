// The uninstaller: removes what the installer made and the settings file
// lists (from its fifth line on), as far as it is the game's own, the empty
// folders it made, then the settings file itself (installer/core). It asks
// before it removes anything, showing also the listed lines it leaves alone;
// "--yes" answers for it and reports on the standard output instead of in
// boxes, for scripts.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "installer/core/uninstall_program.h"
#include "installer/uninstall_box.h"

int main(int argc, char** argv) {
  if (installer::answers_itself(argc, argv)) return installer::uninstall_without_questions(stdout);

  QApplication app(argc, argv);
  const QString title = QString::fromUtf8(installer::kUninstallTitle);
  const installer::UninstallStart start = installer::start_uninstall();
  if (!start.problem.empty()) {
    QMessageBox::information(nullptr, title, QString::fromStdString(start.problem));
    return 1;
  }
  if (!installer::confirm_uninstall(start.plan)) return 0;
  const auto failures = installer::perform_uninstall(start.plan);
  const QString result = QString::fromStdString(installer::result_text(failures));
  if (failures.empty())
    QMessageBox::information(nullptr, title, result);
  else
    QMessageBox::warning(nullptr, title, result);
  return failures.empty() ? 0 : 1;
}
