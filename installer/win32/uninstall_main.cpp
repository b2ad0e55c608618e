// uninstall.exe: removes what the installer listed in the settings file, the
// empty folders it made, then the settings file itself (installer/core). It
// asks before it removes anything; "--yes" answers for it and reports on the
// standard output instead of in message boxes, for scripts.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "installer/core/uninstall.h"
#include "shell/settings_file.h"

namespace {

std::wstring wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring w(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
  return w;
}

// Paths are in the system's 8-bit code page, the texts around them UTF-8.
std::wstring ansi(const std::string& s) {
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
  std::wstring w(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), w.data(), n);
  return w;
}

std::wstring list_text(const std::vector<std::string>& items) {
  std::wstring text;
  for (const auto& i : items) text += L"\n" + ansi(i);
  return text;
}

std::vector<std::string> planned_paths(const installer::UninstallPlan& plan) {
  std::vector<std::string> paths;
  for (const auto& f : plan.files) paths.push_back(f.folder + "\\" + f.name);
  return paths;
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
  if (!problem.empty()) {
    if (scripted)
      std::printf("%s\n", problem.c_str());
    else
      MessageBoxW(nullptr, wide(problem).c_str(), L"ZARNIK", MB_OK | MB_ICONINFORMATION);
    return 1;
  }
  if (!scripted) {
    const std::wstring question = wide("Odinstalovat hru Zarnik?\n\nSmažou se tyto soubory:") +
                                  list_text(planned_paths(plan)) + L"\n" + ansi(plan.settings_file);
    if (MessageBoxW(nullptr, question.c_str(), L"ZARNIK", MB_YESNO | MB_ICONQUESTION) != IDYES)
      return 0;
  }
  const auto failures = installer::perform_uninstall(plan);
  if (scripted) {
    std::printf("%s\n", failures.empty() ? "ODINSTALACE JE HOTOVA" : "ODINSTALACE NENI UPLNA");
    for (const auto& f : failures) std::printf("%s\n", f.c_str());
  } else if (failures.empty()) {
    MessageBoxW(nullptr, L"ODINSTALACE JE HOTOVA", L"ZARNIK", MB_OK | MB_ICONINFORMATION);
  } else {
    MessageBoxW(nullptr,
                (wide("ODINSTALACE NENÍ ÚPLNÁ\n\nNepodařilo se:") + list_text(failures)).c_str(),
                L"ZARNIK", MB_OK | MB_ICONWARNING);
  }
  return failures.empty() ? 0 : 1;
}
