// The file services of platform/files.h on Windows: paths are UTF-8, as
// everywhere in the programs, and reach the system through its wide (UTF-16)
// calls, so every folder name works whatever the system's code page.
#include "platform/files.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <bcrypt.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <stdexcept>
#include <string>

#include "platform/file_names.h"
#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"

namespace platform {

namespace {

using win32::utf16;
using win32::utf8;

}  // namespace

namespace win32 {

std::string system_error_text(unsigned long err) {
  // Our own Czech words for the failures a player meets, whatever the
  // system's language (under Wine, and on many systems, the system's own
  // text would be English); the system's code in brackets says the rest.
  const char* what = nullptr;
  switch (err) {
    case ERROR_FILE_NOT_FOUND: what = "soubor nebyl nalezen"; break;
    case ERROR_PATH_NOT_FOUND: what = "cesta nebyla nalezena"; break;
    case ERROR_INVALID_DRIVE: what = "jednotka nebyla nalezena"; break;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: what = "síťová cesta nebyla nalezena"; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: what = "přístup byl odepřen"; break;
    case ERROR_WRITE_PROTECT: what = "disk je chráněn proti zápisu"; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: what = "soubor používá jiný program"; break;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: what = "na disku není dost místa"; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: what = "takový soubor už existuje"; break;
    case ERROR_DIR_NOT_EMPTY: what = "adresář není prázdný"; break;
    case ERROR_NOT_READY: what = "jednotka není připravena"; break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: what = "neplatný název"; break;
    case ERROR_FILENAME_EXCED_RANGE: what = "název je příliš dlouhý"; break;
    case ERROR_DIRECTORY: what = "není to adresář"; break;
    case ERROR_DELETE_PENDING: what = "soubor se právě maže"; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: what = "nedostatek paměti"; break;
    default: what = "chyba systému"; break;
  }
  return std::string(what) + " (kód " + std::to_string(err) + ")";
}

}  // namespace win32

namespace {

// The system's error codes as the faults a caller explains; the message
// (Czech and UTF-8, like every text the programs show) is
// "Soubor "<path>" nelze <action>: <reason> (kód N).".
FileFault fault_of(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return FileFault::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return FileFault::Denied;
    case ERROR_WRITE_PROTECT: return FileFault::ReadOnly;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_DELETE_PENDING: return FileFault::Busy;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return FileFault::NoSpace;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return FileFault::BadName;
    default: return FileFault::Other;
  }
}

FileError file_error(FileAction action, const std::string& path, DWORD err) {
  return FileError(action, path, fault_of(err), win32::system_error_text(err));
}

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  Handle(Handle&& other) noexcept : h(other.h) { other.h = INVALID_HANDLE_VALUE; }
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

std::string default_settings_directory() {
  static const std::string dir = win32::choose_settings_directory(
      win32::system_windows_directory(), win32::per_user_settings_directory());
  return dir;
}

std::string current_directory() {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return ".";
  std::wstring out(n, L'\0');
  const DWORD got = GetCurrentDirectoryW(n, out.data());
  if (got == 0 || got >= n) return ".";
  out.resize(got);
  return utf8(out);
}

std::string running_program_path() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      return utf8(buf);
    }
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

bool file_exists(const std::string& path) {
  const DWORD a = GetFileAttributesW(utf16(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool folder_exists(const std::string& path) {
  if (path.empty() || win32::names_a_device(path)) return false;
  const DWORD a = GetFileAttributesW(utf16(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool make_folders(const std::string& path) {
  if (path.empty() || win32::names_a_device(path)) return false;
  if (folder_exists(path)) return true;
  // The parents first, from the root down; a part that exists already, or
  // is a drive or share, makes its creation fail harmlessly.
  for (size_t i = 0; i < path.size(); ++i) {
    if ((path[i] == '\\' || path[i] == '/') && i > 0 && path[i - 1] != ':' && path[i - 1] != '\\' &&
        path[i - 1] != '/')
      CreateDirectoryW(utf16(path.substr(0, i)).c_str(), nullptr);
  }
  CreateDirectoryW(utf16(path).c_str(), nullptr);
  return folder_exists(path);
}

namespace {

FileError not_regular(const std::string& path) {
  return FileError(FileAction::Read, path, FileFault::NotAFile);
}

// Opens a file for reading only when it is a regular file on a disk: a
// folder, a device or a pipe is refused, and a path that names a device is
// never opened at all. Others may rename or delete the file while it is open
// (FILE_SHARE_DELETE), so a reader never makes another program's write fail.
Handle open_regular(const std::string& path, uint64_t max_bytes, uint64_t& size) {
  if (win32::names_a_device(path)) throw not_regular(path);
  const DWORD attributes = GetFileAttributesW(utf16(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    throw file_error(FileAction::Open, path, GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    throw FileError(FileAction::Read, path, FileFault::Folder);
  Handle f(CreateFileW(utf16(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                       nullptr));
  if (!f.ok()) throw file_error(FileAction::Open, path, GetLastError());
  LARGE_INTEGER length{};
  if (GetFileType(f.h) != FILE_TYPE_DISK || !GetFileSizeEx(f.h, &length)) throw not_regular(path);
  size = uint64_t(length.QuadPart);
  if (size > max_bytes) throw too_large(path, max_bytes);
  return f;
}

// From the system's random number generator.
void random_bytes(uint8_t (&bytes)[kTempRandomChars]) {
  if (!BCRYPT_SUCCESS(
          BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
    fallback_random_bytes(bytes);
}

// The attributes a file that is replaced passes on to its successor.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The attributes the file written at `target` gets: those of the file it
// replaces, a plain file's for a new one. A read-only file is replaced as
// on the POSIX systems, where the folder's rights decide (a reinstallation
// replaces a read-only old copy); `keep_read_only` says whether the new
// file stays read-only.
DWORD attributes_for(const std::string& target, bool keep_read_only) {
  const DWORD a = GetFileAttributesW(utf16(target).c_str());
  if (a == INVALID_FILE_ATTRIBUTES ||
      (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return FILE_ATTRIBUTE_NORMAL;
  DWORD kept = a & kKeptAttributes;
  if (!keep_read_only) kept &= ~DWORD(FILE_ATTRIBUTE_READONLY);
  return kept ? kept : FILE_ATTRIBUTE_NORMAL;
}

// A process id that no running process has (its process has ended).
bool process_ended(uint32_t pid) {
  HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, DWORD(pid));
  if (!p) return GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(p, 0) == WAIT_OBJECT_0;
  CloseHandle(p);
  return ended;
}

// Removes what ended processes left behind for `target`: plain files of
// ours only, never links or folders. Failures change nothing and are ignored.
void remove_abandoned_temporaries(const std::string& target) {
  const PathParts parts = split_path(target);
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileW(utf16(in_folder(parts.folder, "." + parts.name + ".*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> names;
  do {
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    std::string name = utf8(found.cFileName);
    if (is_abandoned_temporary(target, name)) names.push_back(std::move(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const auto& name : names) DeleteFileW(utf16(in_folder(parts.folder, name)).c_str());
}

// A hidden file being written under a temporary name beside its target;
// moved over the target by commit(), removed if it is never committed. The
// name is not to be guessed and the file is made new (CREATE_NEW fails on
// any name that exists, a link included, and a link is never followed), so
// nothing planted under any name can redirect the write.
class TempFile {
 public:
  explicit TempFile(const std::string& target) : target_(target) {
    remove_abandoned_temporaries(target);
    const PathParts parts = split_path(target);
    DWORD err = ERROR_FILE_EXISTS;
    for (int attempt = 0;
         attempt < 100 && (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS); ++attempt) {
      uint8_t random[kTempRandomChars];
      random_bytes(random);
      path_ = in_folder(parts.folder, temporary_name(parts.name, GetCurrentProcessId(), random));
      file_.h = CreateFileW(utf16(path_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      if (file_.ok()) return;
      err = GetLastError();
    }
    throw file_error(FileAction::Create, target, err);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (file_.ok()) file_.close();
    if (!committed_) DeleteFileW(utf16(path_).c_str());
  }

  void write(const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      const DWORD chunk = DWORD(std::min<size_t>(size - done, size_t(1) << 20));
      DWORD n = 0;
      if (!WriteFile(file_.h, data + done, chunk, &n, nullptr) || n == 0)
        throw file_error(FileAction::Write, target_, GetLastError());
      done += n;
    }
  }

  // Gives the file `attributes` (it is hidden until then), flushes it and
  // moves it over the target.
  void commit(DWORD attributes) {
    FILE_BASIC_INFO info{};  // times of zero stay as they are
    info.FileAttributes = attributes;
    if (!SetFileInformationByHandle(file_.h, FileBasicInfo, &info, sizeof info))
      throw file_error(FileAction::Write, target_, GetLastError());
    const DWORD flush_err = FlushFileBuffers(file_.h) ? 0 : GetLastError();
    const DWORD close_err = file_.close() ? 0 : GetLastError();
    if (flush_err != 0 || close_err != 0)
      throw file_error(FileAction::Write, target_, flush_err != 0 ? flush_err : close_err);
    // The move cannot replace a read-only file: the attribute is taken off
    // first and put back when the move fails.
    const std::wstring target = utf16(target_);
    const DWORD old = GetFileAttributesW(target.c_str());
    const bool read_only = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) &&
                           !(old & FILE_ATTRIBUTE_DIRECTORY);
    if (read_only) SetFileAttributesW(target.c_str(), old & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if (!MoveFileExW(utf16(path_).c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD err = GetLastError();
      if (read_only) SetFileAttributesW(target.c_str(), old);
      throw file_error(FileAction::Replace, target_, err);
    }
    committed_ = true;
  }

 private:
  std::string target_;
  std::string path_;
  Handle file_{INVALID_HANDLE_VALUE};
  bool committed_ = false;
};

}  // namespace

std::vector<uint8_t> read_file(const std::string& path, uint64_t max_bytes) {
  uint64_t size = 0;
  Handle f = open_regular(path, max_bytes, size);
  std::vector<uint8_t> out;
  out.reserve(size_t(size));
  uint8_t buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(f.h, buf, sizeof buf, &n, nullptr))
      throw file_error(FileAction::Read, path, GetLastError());
    if (n == 0) break;
    if (out.size() + n > max_bytes) throw too_large(path, max_bytes);  // it grew
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

// A file's rights on Windows come from its folder, which the temporary file
// shares with its target; what a replaced file passes on is its attributes.
void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  const DWORD attributes = attributes_for(path, true);
  TempFile out(path);
  out.write(bytes.data(), bytes.size());
  out.commit(attributes);
}

// Windows cannot replace a file that any handle holds open (Wine refuses it
// even where every handle shares deletion), so the lock cannot live on the
// file that write_file_atomic replaces under it. It is a mutex of the
// session named after the file's full path, case folded: the same for every
// program that names the file, whatever the file at the path is by now. A
// holder that ended without letting go leaves it abandoned, which the next
// one takes as its own. The file is only looked at (made, with `create`),
// never kept open. A mutex belongs to a thread: the object is let go of by
// the thread that made it, as a scoped lock is.
FileLock::FileLock(const std::string& path, bool create, uint32_t wait_ms) {
  if (win32::names_a_device(path)) return;
  const std::wstring wide = utf16(path);
  {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    Handle f(CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr,
                         create ? OPEN_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!f.ok() || GetFileType(f.h) != FILE_TYPE_DISK || !GetFileInformationByHandle(f.h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
      return;
  }
  std::wstring full(32768, L'\0');
  const DWORD n = GetFullPathNameW(wide.c_str(), DWORD(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return;
  full.resize(n);
  CharUpperBuffW(full.data(), DWORD(full.size()));
  // FNV-1a over the UTF-16 units: a short name for a path of any length.
  uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : full) {
    hash = (hash ^ uint16_t(c)) * 1099511628211ull;
  }
  wchar_t name[64];
  swprintf(name, 64, L"Local\\zarnik-file-lock-%016llx", static_cast<unsigned long long>(hash));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return;
  const DWORD waited = WaitForSingleObject(mutex, wait_ms);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return;
  }
  handle_ = reinterpret_cast<intptr_t>(mutex);
  held_ = true;
}

FileLock::~FileLock() {
  if (!held_) return;
  ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// The copy is a plain file (a payload read from a CD must not stay
// read-only) unless it replaces one with attributes of its own.
void copy_file_atomic(const std::string& from, const std::string& to) {
  uint64_t size = 0;
  Handle in = open_regular(from, UINT64_MAX, size);
  const DWORD attributes = attributes_for(to, false);
  TempFile out(to);
  uint8_t buf[65536];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(in.h, buf, sizeof buf, &n, nullptr))
      throw file_error(FileAction::Read, from, GetLastError());
    if (n == 0) break;
    out.write(buf, n);
  }
  in.close();  // closed before the move, which may replace `from` itself
  out.commit(attributes);
}

bool is_abandoned_temporary(const std::string& target, const std::string& name) {
  const uint32_t owner = temporary_owner(split_path(target).name, name);
  if (owner == 0 || owner == GetCurrentProcessId()) return false;
  return process_ended(owner);
}

namespace win32 {

bool names_a_device(const std::string& path) {
  auto sep = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 4 && sep(path[0]) && sep(path[1]) && (path[2] == '.' || path[2] == '?') &&
      sep(path[3])) {
    if (path[2] == '.') return true;  // "\\.\": the device namespace
    // "\\?\C:\..." and "\\?\UNC\..." are the long forms of ordinary paths;
    // anything else there is a device.
    const std::string rest = path.substr(4);
    const bool drive =
        rest.size() >= 3 && std::isalpha(uint8_t(rest[0])) && rest[1] == ':' && sep(rest[2]);
    const bool unc = rest.size() >= 4 && _strnicmp(rest.c_str(), "UNC", 3) == 0 && sep(rest[3]);
    if (!drive && !unc) return true;
  }
  const size_t last = path.find_last_of("\\/:");
  std::string name = last == std::string::npos ? path : path.substr(last + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  for (auto& c : name) c = char(std::toupper(uint8_t(c)));
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (name == device) return true;
  return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
         name[3] >= '0' && name[3] <= '9';
}

std::string system_windows_directory() {
  // A buffer of 261 characters, as the programs always read it.
  wchar_t buf[261] = L"";
  const UINT n = GetWindowsDirectoryW(buf, UINT(std::size(buf)));
  if (n == 0 || n >= std::size(buf)) return "C:\\Windows";
  std::string out = utf8(std::wstring_view(buf, n));
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

std::string per_user_settings_directory() {
  wchar_t buf[MAX_PATH] = L"";
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf)) || !*buf)
    return {};
  std::string out = utf8(buf);
  if (out.back() != '\\') out += '\\';
  return out + "Zarnik";
}

bool folder_is_writable(const std::string& folder) {
  if (folder.empty()) return false;
  uint8_t random[kTempRandomChars];
  random_bytes(random);
  // A name nobody can plant a file at beforehand, made new and gone when
  // closed.
  const std::string probe =
      in_folder(folder, temporary_name("zarnik-probe", GetCurrentProcessId(), random));
  HANDLE h = CreateFileW(utf16(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN |
                             FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

std::string choose_settings_directory(const std::string& windows_dir,
                                      const std::string& per_user_dir) {
  if (folder_is_writable(windows_dir) || per_user_dir.empty()) return windows_dir;
  CreateDirectoryW(utf16(per_user_dir).c_str(), nullptr);  // an existing folder is fine
  return per_user_dir;
}

}  // namespace win32

}  // namespace platform
