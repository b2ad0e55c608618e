// The file services of platform/files.h on Windows: ANSI paths (the system's
// 8-bit code page) through the Win32 file calls.
#include "platform/files.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <stdexcept>
#include <string>

#include "platform/win32/files.h"

namespace platform {

namespace {

std::string utf8_of(const std::wstring& w) {
  if (w.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string ansi_to_utf8(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
  std::wstring w(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), w.data(), n);
  return utf8_of(w);
}

// The messages are UTF-8 like every text the programs show; the path is in
// the system's code page and the reason in the system's language.
std::runtime_error file_error(const std::string& what, const std::string& path, DWORD err) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, err, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring reason = text ? text : L"";
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                             reason.back() == L' ' || reason.back() == L'.'))
    reason.pop_back();
  if (reason.empty()) reason = L"error " + std::to_wstring(err);
  return std::runtime_error(what + " \"" + ansi_to_utf8(path) + "\": " + utf8_of(reason));
}

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return h != INVALID_HANDLE_VALUE; }
  // Closes now; false when the close reports an error.
  bool close() {
    const bool r = CloseHandle(h) != 0;
    h = INVALID_HANDLE_VALUE;
    return r;
  }
};

}  // namespace

namespace {
std::string g_windows_directory_override;
}

std::string windows_directory() {
  if (!g_windows_directory_override.empty()) return g_windows_directory_override;
  static const std::string dir = win32::choose_settings_directory(
      win32::system_windows_directory(), win32::per_user_settings_directory());
  return dir;
}

std::string current_directory() {
  const DWORD n = GetCurrentDirectoryA(0, nullptr);
  if (n == 0) return ".";
  std::string out(n, '\0');
  const DWORD got = GetCurrentDirectoryA(n, out.data());
  if (got == 0 || got >= n) return ".";
  out.resize(got);
  return out;
}

std::string running_program_path() {
  std::string buf(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return buf;
    }
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

bool file_exists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<uint8_t> read_file(const std::string& path) {
  Handle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!f.ok()) throw file_error("Cannot open file", path, GetLastError());
  std::vector<uint8_t> out;
  uint8_t buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(f.h, buf, sizeof buf, &n, nullptr))
      throw file_error("Cannot read file", path, GetLastError());
    if (n == 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string tmp = path + ".tmp" + std::to_string(GetCurrentProcessId());
  // A left-over temporary (or anything planted under its name) goes first:
  // the new one is always a fresh file of ours.
  DeleteFileA(tmp.c_str());
  Handle f(CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr));
  if (!f.ok()) throw file_error("Cannot create file", path, GetLastError());
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 20));
    DWORD n = 0;
    if (!WriteFile(f.h, bytes.data() + done, chunk, &n, nullptr) || n == 0) {
      const DWORD err = GetLastError();
      f.close();
      DeleteFileA(tmp.c_str());
      throw file_error("Cannot write file", path, err);
    }
    done += n;
  }
  const bool flushed = FlushFileBuffers(f.h) != 0;
  const DWORD flush_err = flushed ? 0 : GetLastError();
  const bool closed = f.close();
  if (!flushed || !closed) {
    const DWORD err = flushed ? GetLastError() : flush_err;
    DeleteFileA(tmp.c_str());
    throw file_error("Cannot write file", path, err);
  }
  if (!MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = GetLastError();
    DeleteFileA(tmp.c_str());
    throw file_error("Cannot replace file", path, err);
  }
}

namespace win32 {

std::string system_windows_directory() {
  // A buffer of 261 characters, as the programs always read it.
  char buf[261] = "";
  const UINT n = GetWindowsDirectoryA(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return "C:\\Windows";
  std::string out(buf, n);
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

std::string per_user_settings_directory() {
  char buf[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf)) || !*buf)
    return {};
  std::string out = buf;
  if (out.back() != '\\') out += '\\';
  return out + "Zarnik";
}

bool folder_is_writable(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string probe = folder + "\\zarnik-" + std::to_string(GetCurrentProcessId()) + ".probe";
  HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

void override_windows_directory(const std::string& folder) {
  g_windows_directory_override = folder;
}

std::string choose_settings_directory(const std::string& windows_dir,
                                      const std::string& per_user_dir) {
  if (folder_is_writable(windows_dir) || per_user_dir.empty()) return windows_dir;
  CreateDirectoryA(per_user_dir.c_str(), nullptr);  // an existing folder is fine
  return per_user_dir;
}

}  // namespace win32

}  // namespace platform
