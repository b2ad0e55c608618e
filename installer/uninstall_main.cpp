// The uninstaller: removes what the installer made and the settings file
// lists (from its fifth line on), as far as it is the game's own, the empty
// folders it made, then the settings file itself. It asks before it removes
// anything, showing also the listed lines it leaves alone; "--yes" answers
// for it and reports on the standard output instead of in boxes, for
// scripts.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <optional>

#include "installer/core/uninstall.h"
#include "installer/uninstall_box.h"
#include "shell/settings_file.h"

namespace {

const char* const kTitle = "ZARNIK";

QString q(const std::string& utf8) { return QString::fromStdString(utf8); }

std::string list_text(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& i : items) text += "\n" + i;
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const bool scripted = argc > 1 && std::strcmp(argv[1], "--yes") == 0;
  const std::string settings = shell::settings_file_path();

  std::string problem;
  installer::UninstallPlan plan;
  try {
    plan = installer::plan_uninstall(shell::read_settings_lines(settings), settings,
                                     installer::InstallPlaces::current());
    if (plan.empty())
      problem = "Hra Zarnik není nainstalována." +
                (plan.refusal.empty() ? std::string() : "\n\n" + plan.refusal);
  } catch (const std::exception& e) {
    problem = std::string("Soubor nastavení nelze přečíst:\n") + e.what();
  }

  std::optional<QApplication> app;
  if (!scripted) app.emplace(argc, argv);

  if (!problem.empty()) {
    if (scripted)
      std::printf("%s\n", problem.c_str());
    else
      QMessageBox::information(nullptr, kTitle, q(problem));
    return 1;
  }

  if (scripted) {
    for (const auto& l : plan.left_alone)
      std::printf("ponechán %s (%s)\n", l.line.c_str(), l.reason.c_str());
  } else if (!installer::confirm_uninstall(plan)) {
    return 0;
  }

  const auto failures = installer::perform_uninstall(plan);
  const std::string result = failures.empty()
                                 ? std::string("ODINSTALACE JE HOTOVA")
                                 : "ODINSTALACE NENÍ ÚPLNÁ\n\nNepodařilo se:" + list_text(failures);
  if (scripted)
    std::printf("%s\n", result.c_str());
  else if (failures.empty())
    QMessageBox::information(nullptr, kTitle, q(result));
  else
    QMessageBox::warning(nullptr, kTitle, q(result));
  return failures.empty() ? 0 : 1;
}
