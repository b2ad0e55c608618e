// The uninstaller: removes what the installer listed in the settings file
// (from its fifth line on), the empty folders it made, then the settings file
// itself. It asks before it removes anything; "--yes" answers for it and
// reports on the standard output instead of in message boxes, for scripts.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <optional>

#include "installer/core/uninstall.h"
#include "installer/czech_boxes.h"
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
    plan = installer::plan_uninstall(shell::read_settings_lines(settings), settings);
    if (plan.empty()) problem = "Hra Zarnik není nainstalována.";
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

  if (!scripted) {
    const std::string question =
        "Odinstalovat hru Zarnik?\n\nSmažou se tyto soubory:" + list_text(plan.files) + "\n" +
        plan.settings_file;
    if (!installer::ask_yes_no(nullptr, kTitle, q(question))) return 0;
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
