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

#include "installer/core/uninstall_program.h"
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

  if (installer::answers_itself(argc, argv)) {
    report_to_console();
    const int status = installer::uninstall_without_questions(stdout);
    std::fflush(stdout);
    return status;
  }
  const installer::UninstallStart start = installer::start_uninstall();
  if (!start.problem.empty()) {
    box(start.problem, platform::win32::BoxIcon::Information);
    return 1;
  }
  if (!platform::win32::ask_yes_no(nullptr, installer::kUninstallTitle,
                                   installer::question_text(start.plan, kQuestionLines)))
    return 0;
  const bool keep_scores =
      !start.plan.scores || platform::win32::ask_yes_no(nullptr, installer::kUninstallTitle,
                                                        installer::scores_question(start.plan));
  const auto result = installer::perform_uninstall(start.plan, keep_scores);
  box(installer::result_text(result), result.failures.empty()
                                          ? platform::win32::BoxIcon::Information
                                          : platform::win32::BoxIcon::Warning);
  return result.failures.empty() ? 0 : 1;
}
