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

#include <string>

#include "platform/win32/utf16.h"

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
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IShellLinkA, reinterpret_cast<void**>(&link))))
    return false;
  IPersistFile* file = nullptr;
  bool saved = false;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(working_directory.c_str());
    // Saved under a temporary name beside the link and moved over it, so a
    // crash never leaves half a shortcut under the real name.
    const std::wstring final_path = utf16_from_ansi(link_path);
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
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    key = nullptr;
  // A path is short; a value longer than this is not one.
  char buf[MAX_PATH * 4] = "";
  DWORD type = 0, size = sizeof buf - 1;
  std::string out;
  if (key &&
      RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
          ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    buf[std::min<DWORD>(size, sizeof buf - 1)] = '\0';
    out = buf;
    if (type == REG_EXPAND_SZ) {
      char expanded[MAX_PATH * 4] = "";
      const DWORD n = ExpandEnvironmentStringsA(buf, expanded, sizeof expanded);
      if (n > 0 && n <= sizeof expanded) out = expanded;
    }
  }
  if (key) RegCloseKey(key);
  // The shell writes the key's values only once some program has asked it
  // for the folder (a fresh account may not have them yet): the desktop and
  // the Start menu are then asked of the shell itself, which names the
  // folder the key would hold and writes it there.
  if (out.empty()) {
    const int id = name == "Desktop"      ? CSIDL_DESKTOPDIRECTORY
                   : name == "Start Menu" ? CSIDL_STARTMENU
                                          : -1;
    char path[MAX_PATH] = "";
    if (id >= 0 && SUCCEEDED(SHGetFolderPathA(nullptr, id | CSIDL_FLAG_CREATE, nullptr,
                                              SHGFP_TYPE_CURRENT, path)))
      out = path;
  }
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

}  // namespace platform::win32
