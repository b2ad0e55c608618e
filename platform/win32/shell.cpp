#include "platform/win32/shell.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>
// clang-format on

#include <algorithm>
#include <iterator>
#include <string>

#include "platform/winapi/utf16.h"

namespace platform::win32 {

namespace {

// COM for the calling thread, for as long as one call needs it; a thread
// that has COM already keeps its own.
struct ComScope {
  bool owned;
  ComScope() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    owned = hr == S_OK || hr == S_FALSE;
  }
  ~ComScope() {
    if (owned) CoUninitialize();
  }
};

}  // namespace

bool WinShell::save_shortcut(const std::string& link_path, const std::string& target,
                             const std::string& working_directory) {
  ComScope com;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IShellLinkW, reinterpret_cast<void**>(&link))))
    return false;
  IPersistFile* file = nullptr;
  bool saved = false;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    link->SetPath(utf16(target).c_str());
    link->SetWorkingDirectory(utf16(working_directory).c_str());
    // The program's own icon (the game's, which all its programs carry).
    link->SetIconLocation(utf16(target).c_str(), 0);
    // Saved under a temporary name beside the link and moved over it, so a
    // crash never leaves half a shortcut under the real name.
    const std::wstring final_path = utf16(link_path);
    const std::wstring temp = final_path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    if (!final_path.empty() && SUCCEEDED(file->Save(temp.c_str(), FALSE))) {
      saved = MoveFileExW(temp.c_str(), final_path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      if (!saved) DeleteFileW(temp.c_str());
    }
    file->Release();
  }
  link->Release();
  return saved;
}

std::string WinShell::folder(const std::string& name) {
  const std::wstring value = utf16(name);
  std::wstring out;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, utf16(kShellFoldersKey).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    key = nullptr;
  // A path is short; a value longer than this is not one.
  wchar_t buf[MAX_PATH * 4] = L"";
  DWORD type = 0, size = sizeof buf - sizeof(wchar_t);
  if (key &&
      RegQueryValueExW(key, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
          ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    buf[std::min<size_t>(size / sizeof(wchar_t), std::size(buf) - 1)] = L'\0';
    out = buf;
    if (type == REG_EXPAND_SZ) {
      wchar_t expanded[MAX_PATH * 4] = L"";
      const DWORD n = ExpandEnvironmentStringsW(buf, expanded, DWORD(std::size(expanded)));
      if (n > 0 && n <= std::size(expanded)) out = expanded;
    }
  }
  if (key) RegCloseKey(key);
  // The shell writes the key's values only once some program has asked it
  // for the folder (a fresh account may not have them yet): the folder is
  // then asked of the shell itself, which names the folder the key would
  // hold and writes it there.
  if (out.empty()) {
    const int id = name == platform::kDesktop     ? CSIDL_DESKTOPDIRECTORY
                   : name == platform::kStartMenu ? CSIDL_STARTMENU
                   : name == platform::kPrograms  ? CSIDL_PROGRAMS
                                                  : -1;
    wchar_t path[MAX_PATH] = L"";
    if (id >= 0 && SUCCEEDED(SHGetFolderPathW(nullptr, id | CSIDL_FLAG_CREATE, nullptr,
                                              SHGFP_TYPE_CURRENT, path)))
      out = path;
  }
  while (out.size() > 3 && out.back() == L'\\') out.pop_back();
  return utf8(out);
}

}  // namespace platform::win32
