#include "platform/winapi/utf16.h"

// clang-format off
#include <windows.h>
// clang-format on

namespace platform::win32 {

namespace {

std::wstring to_wide(UINT code_page, std::string_view s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(code_page, 0, s.data(), int(s.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(code_page, 0, s.data(), int(s.size()), out.data(), n);
  return out;
}

}  // namespace

std::wstring utf16(std::string_view utf8) { return to_wide(CP_UTF8, utf8); }

std::wstring utf16_from_ansi(std::string_view ansi) { return to_wide(CP_ACP, ansi); }

std::string utf8(std::wstring_view w) {
  if (w.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

bool ansi_from_utf16(std::wstring_view w, std::string& ansi) {
  ansi.clear();
  if (w.empty()) return true;
  // A system set to UTF-8 spells everything (and its conversion takes no
  // flags).
  if (GetACP() == CP_UTF8) {
    ansi = utf8(w);
    return !ansi.empty();
  }
  // No best fit: a character without its own form is reported, not guessed.
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), int(w.size()), nullptr,
                                    0, nullptr, &lossy);
  if (n <= 0 || lossy) return false;
  ansi.resize(size_t(n));
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), int(w.size()), ansi.data(), n,
                      nullptr, &lossy);
  return !lossy;
}

unsigned ansi_code_page() { return GetACP(); }

}  // namespace platform::win32
