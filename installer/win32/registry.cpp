#include "installer/win32/registry.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"

namespace installer::win32 {

namespace {

using platform::win32::utf16;
using platform::win32::utf8;

std::string why(LSTATUS status) { return platform::win32::system_error_text(DWORD(status)); }

// An owner that closes the key.
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

}  // namespace

std::optional<RegistryValues> Registry::read(const std::string& key) {
  Key k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, utf16(key).c_str(), 0, KEY_READ, &k.h) != ERROR_SUCCESS)
    return std::nullopt;
  RegistryValues out;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD name_length = DWORD(std::size(name));
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS s = RegEnumValueW(k.h, i, name, &name_length, nullptr, &type, nullptr, &size);
    if (s == ERROR_NO_MORE_ITEMS) break;
    if (s != ERROR_SUCCESS) return RegistryValues{{"?", "\x01unreadable", false, 0}};
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = DWORD(data.size() * sizeof(wchar_t));
    name_length = DWORD(std::size(name));
    s = RegEnumValueW(k.h, i, name, &name_length, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &got);
    if (s != ERROR_SUCCESS) return RegistryValues{{"?", "\x01unreadable", false, 0}};
    RegistryValue v;
    v.name = utf8(std::wstring(name, name_length));
    if (type == REG_DWORD && got == sizeof(DWORD)) {
      v.is_number = true;
      v.number = *reinterpret_cast<const DWORD*>(data.data());
    } else if (type == REG_SZ) {
      data.resize(got / sizeof(wchar_t));
      while (!data.empty() && data.back() == L'\0') data.pop_back();
      v.text = utf8(data);
    } else {
      // No value the installation writes has another type.
      v.text = "\x01type " + std::to_string(type);
    }
    out.push_back(std::move(v));
  }
  return out;
}

bool Registry::write(const std::string& key, const RegistryValues& values, std::string& error) {
  Key k;
  const LSTATUS created =
      RegCreateKeyExW(HKEY_CURRENT_USER, utf16(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, &k.h, nullptr);
  if (created != ERROR_SUCCESS) {
    error = why(created);
    return false;
  }
  for (const auto& v : values) {
    const std::wstring name = utf16(v.name);
    LSTATUS s;
    if (v.is_number) {
      const DWORD n = v.number;
      s = RegSetValueExW(k.h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n),
                         sizeof n);
    } else {
      const std::wstring text = utf16(v.text);
      s = RegSetValueExW(k.h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         DWORD((text.size() + 1) * sizeof(wchar_t)));
    }
    if (s != ERROR_SUCCESS) {
      error = why(s);
      return false;
    }
  }
  return true;
}

bool Registry::remove(const std::string& key, std::string& error) {
  const LSTATUS s = RegDeleteTreeW(HKEY_CURRENT_USER, utf16(key).c_str());
  if (s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND) return true;
  error = why(s);
  return false;
}

}  // namespace installer::win32
