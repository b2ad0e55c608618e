#include "platform/win32/message_box.h"

#include "platform/winapi/utf16.h"

namespace platform::win32 {

namespace {

// The hook of the box being opened on this thread: it sets the buttons'
// Czech captions as the box is activated, before it is drawn.
thread_local HHOOK t_box_hook = nullptr;

LRESULT CALLBACK box_hook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wp);
    SetDlgItemTextW(box, IDOK, L"OK");
    SetDlgItemTextW(box, IDYES, L"Ano");
    SetDlgItemTextW(box, IDNO, L"Ne");
  }
  return CallNextHookEx(t_box_hook, code, wp, lp);
}

int czech_box(HWND owner, const std::string& title, const std::string& text, UINT type) {
  // A box opened from within another box's hook keeps the outer hook.
  const bool own_hook = t_box_hook == nullptr;
  if (own_hook) t_box_hook = SetWindowsHookExW(WH_CBT, box_hook, nullptr, GetCurrentThreadId());
  const int answer = MessageBoxW(owner, utf16(text).c_str(), utf16(title).c_str(), type);
  if (own_hook && t_box_hook) {
    UnhookWindowsHookEx(t_box_hook);
    t_box_hook = nullptr;
  }
  return answer;
}

}  // namespace

void message_box(HWND owner, const std::string& title_utf8, const std::string& text_utf8,
                 BoxIcon icon) {
  const UINT type = icon == BoxIcon::Error     ? MB_ICONERROR
                    : icon == BoxIcon::Warning ? MB_ICONWARNING
                                               : MB_ICONINFORMATION;
  czech_box(owner, title_utf8, text_utf8, MB_OK | type);
}

bool ask_yes_no(HWND owner, const std::string& title_utf8, const std::string& text_utf8) {
  return czech_box(owner, title_utf8, text_utf8, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace platform::win32
