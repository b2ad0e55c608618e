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

bool WinSystem::shell_open(const std::string& url) {
  const HINSTANCE r = ShellExecuteW(display_->window(), L"open", utf16(url).c_str(), nullptr,
                                    nullptr, SW_SHOWNORMAL);
  // The shell's own convention: a value above 32 is success.
  return reinterpret_cast<INT_PTR>(r) > 32;
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
