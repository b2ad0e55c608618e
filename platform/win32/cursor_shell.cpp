// The system cursor, the shell's document opening and the boxes over the
// game's window.
// clang-format off
// windows.h first: the other system headers need its types.
#include "platform/win32/events.h"
#include <shellapi.h>
// clang-format on

#include <cstdio>

#include "platform/win32/message_box.h"
#include "platform/winapi/utf16.h"

namespace platform::win32 {

namespace {

// A box must show the pointer the game hides; it is hidden again after.
struct CursorShownForBox {
  bool was_hidden;
  explicit CursorShownForBox(bool hidden) : was_hidden(hidden) {
    if (was_hidden) ShowCursor(TRUE);
  }
  ~CursorShownForBox() {
    if (was_hidden) ShowCursor(FALSE);
  }
  CursorShownForBox(const CursorShownForBox&) = delete;
  CursorShownForBox& operator=(const CursorShownForBox&) = delete;
};

// How long the program that opens a document is given to give up.
constexpr DWORD kOpenerVerdictMs = 2000;

}  // namespace

Point WinSystem::system_cursor() {
  POINT pt{};
  GetCursorPos(&pt);
  if (HWND w = display_->window()) ScreenToClient(w, &pt);
  Point p;
  display_->to_surface(pt.x, pt.y, p.x, p.y);
  clamp_to_surface(p.x, p.y);
  return p;
}

void WinSystem::show_cursor(bool visible) {
  // One step of the system's display counter, as the game asks.
  ShowCursor(visible ? TRUE : FALSE);
  cursor_hidden_ = !visible;
}

OpenResult WinSystem::shell_open(const std::string& url) {
  // The shell's own "open with" dialog stays away (the game says it in
  // Czech), and the call is done before it returns: the game closes right
  // after.
  const std::wstring file = utf16(url);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = display_->window();
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    const DWORD error = GetLastError();
    const auto code = reinterpret_cast<INT_PTR>(info.hInstApp);
    const bool no_program =
        error == ERROR_NO_ASSOCIATION || code == SE_ERR_NOASSOC || code == SE_ERR_ASSOCINCOMPLETE;
    return no_program ? OpenResult::NoProgram : OpenResult::Failed;
  }
  if (!info.hProcess) return OpenResult::Opened;
  // The program set for the page may give up at once (Wine's stand-in for
  // a browser where the system has none): that is no program either. One
  // still running after a moment has the page.
  DWORD exit_code = STILL_ACTIVE;
  if (WaitForSingleObject(info.hProcess, kOpenerVerdictMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(info.hProcess, &exit_code);
  CloseHandle(info.hProcess);
  return exit_code == 0 || exit_code == STILL_ACTIVE ? OpenResult::Opened : OpenResult::NoProgram;
}

void WinSystem::error_box(const std::string& title_utf8, const std::string& text_utf8) {
  std::fprintf(stderr, "%s: %s\n", title_utf8.c_str(), text_utf8.c_str());
  CursorShownForBox shown(cursor_hidden_);
  message_box(display_->window(), title_utf8, text_utf8, BoxIcon::Error);
}

bool WinSystem::confirm_box(const std::string& title_utf8, const std::string& text_utf8) {
  CursorShownForBox shown(cursor_hidden_);
  return ask_yes_no(display_->window(), title_utf8, text_utf8);
}

}  // namespace platform::win32
