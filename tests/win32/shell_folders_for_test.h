#pragma once
// For the Windows tests: the current user's shell folders pointed at
// folders of the test's own while it runs, and put back afterwards. Under
// Wine the desktop is the Unix home folder, which every prefix on the
// machine shares; a test that writes there would meet the files of others.
// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
// clang-format on

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/win32/shell.h"
#include "platform/winapi/utf16.h"

namespace platform::win32 {

// The shell folders of the current user set to folders of the test's own
// for as long as it lives, then put back. The shell may write "Shell
// Folders" anew from "User Shell Folders" when another program asks it for a
// folder (in a new Wine prefix the desktop went back to its default while
// other test programs ran), so both keys get the test's folders.
class ShellFoldersSetForTest {
 public:
  ShellFoldersSetForTest() {
    RegOpenKeyExW(HKEY_CURRENT_USER, utf16(kShellFoldersKey).c_str(), 0, KEY_READ | KEY_SET_VALUE,
                  &key_);
    RegOpenKeyExW(HKEY_CURRENT_USER,
                  L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                  KEY_READ | KEY_SET_VALUE, &user_key_);
  }
  ~ShellFoldersSetForTest() {
    // Newest first, so a value set twice gets its first value back.
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      const auto& [key, name, value] = *it;
      if (value.first == REG_NONE)
        RegDeleteValueW(key, name.c_str());
      else
        put(key, name, value.first, value.second);
    }
    if (key_) RegCloseKey(key_);
    if (user_key_) RegCloseKey(user_key_);
  }
  bool ready() const { return key_ && user_key_; }
  void set(const std::string& name, const std::string& folder) {
    for (HKEY key : {key_, user_key_}) {
      saved_.push_back({key, utf16(name), read(key, utf16(name))});
      put(key, utf16(name), REG_SZ, utf16(folder));
    }
  }

 private:
  using Value = std::pair<DWORD, std::wstring>;
  static Value read(HKEY key, const std::wstring& name) {
    wchar_t buf[MAX_PATH * 4] = L"";
    DWORD type = 0, size = sizeof buf - sizeof(wchar_t);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
        ERROR_SUCCESS)
      return {REG_NONE, L""};
    return {type, std::wstring(buf, size / sizeof(wchar_t))};
  }
  static void put(HKEY key, const std::wstring& name, DWORD type, std::wstring value) {
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD((value.size() + 1) * sizeof(wchar_t)));
  }
  HKEY key_ = nullptr, user_key_ = nullptr;
  std::vector<std::tuple<HKEY, std::wstring, Value>> saved_;
};

}  // namespace platform::win32
