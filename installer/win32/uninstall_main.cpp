// uninstall.exe: removes what the installations' record holds as theirs, as
// far as it still is, and the empty folders they made (installer/core). It
// asks before it removes anything, then whether to keep the score table
// (kept unless the user says no); "--yes" answers for it, keeps the score
// table, and reports on the standard output instead of in message boxes, for
// scripts.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>

#include "installer/core/registration.h"
#include "installer/core/uninstall_program.h"
#include "installer/win32/registry.h"
#include "platform/services.h"
#include "platform/win32/message_box.h"
#include "platform/win32/shell.h"
#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"

namespace {

// The most lines of each list the question shows: a message box does not
// scroll, and a settings file may list any number of lines.
constexpr size_t kQuestionLines = 30;

void box(const std::string& text, platform::win32::BoxIcon icon) {
  platform::win32::message_box(nullptr, installer::kUninstallTitle, text, icon);
}

// A window program started from a console has no standard output of its
// own; the report then goes to that console.
void report_to_console() {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
    std::freopen("CONOUT$", "w", stdout);
}

}  // namespace

int main(int argc, char** argv) {
  // No folder can be removed while it is some program's current folder, and
  // the Start menu's shortcut starts the uninstaller in the game folder: it
  // leaves it first, for the Windows directory.
  SetCurrentDirectoryW(platform::win32::utf16(platform::win32::system_windows_directory()).c_str());
  // The desktop and the Start menu as the shell names them.
  platform::win32::WinShell shell;
  platform::Services services;
  services.shell = &shell;
  platform::install(services);
  // The entry of "Apps & features" the installation wrote.
  installer::win32::Registry registry;
  installer::set_app_registry(&registry);

  if (installer::answers_itself(argc, argv)) {
    report_to_console();
    const int status = installer::uninstall_without_questions(stdout);
    std::fflush(stdout);
    return status;
  }
  const installer::UninstallStart start = installer::start_uninstall();
  installer::UninstallPlan plan = start.plan;
  std::string problem = start.problem;
  auto ask = [](const std::string& text) {
    return platform::win32::ask_yes_no(nullptr, installer::kUninstallTitle, text);
  };
  if (problem.empty() && !start.choices.empty()) {
    // A message box lists no choices: each installation is offered in turn
    // (the only one goes straight to the question, which names it).
    std::string chosen;
    if (start.choices.size() == 1) chosen = start.choices.front();
    for (size_t i = 0; chosen.empty() && i < start.choices.size(); ++i)
      if (ask(installer::choice_question(start.choices[i]))) chosen = start.choices[i];
    if (chosen.empty()) return 0;
    plan = installer::plan_for(start, chosen);
    problem = plan.refusal;
  }
  if (!problem.empty()) {
    box(problem, platform::win32::BoxIcon::Information);
    return 1;
  }
  if (!ask(installer::question_text(plan, kQuestionLines))) return 0;
  const bool keep_scores = !plan.scores || ask(installer::scores_question(plan));
  const bool keep_settings = !plan.settings || ask(installer::settings_question(plan));
  const auto result = installer::perform_uninstall(plan, keep_scores, keep_settings);
  box(installer::result_text(result), result.failures.empty()
                                          ? platform::win32::BoxIcon::Information
                                          : platform::win32::BoxIcon::Warning);
  return result.failures.empty() ? 0 : 1;
}
