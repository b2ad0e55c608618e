// The folder entries of folder_entries.h on Windows. A folder is a handle
// opened with backup semantics, its identity the volume's serial number and
// the file index. An entry is opened relative to that handle (the system's
// own call for it, NtCreateFile with a root folder), never through a reparse
// point, so the name is looked up in the folder that was planned and in no
// other; the file is read and removed through the same handle (its delete
// disposition), so what goes is the file that was looked at. Names compare
// without regard to case, as the file system compares them.
#include "platform/folder_entries.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <winternl.h>
// clang-format on

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/files.h"
#include "platform/win32/utf16.h"

namespace platform {

namespace {

using win32::ansi_from_utf16;
using win32::utf16;
using win32::utf16_from_ansi;

std::string error_text(DWORD err) { return win32::system_error_text(err); }

constexpr NTSTATUS kNameNotFound = NTSTATUS(0xC0000034);
constexpr NTSTATUS kPathNotFound = NTSTATUS(0xC000003A);
constexpr NTSTATUS kDeletePending = NTSTATUS(0xC0000056);
constexpr NTSTATUS kAccessDenied = NTSTATUS(0xC0000022);

HANDLE handle_of(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// Opens `path` as it stands, following reparse points: the folder or file it
// ends at, for its identity or its final path.
HANDLE open_followed(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The final path of an open file or folder ("\\?\C:\..." shortened to
// "C:\...", "\\?\UNC\host\..." to "\\host\...").
std::wstring final_path(HANDLE h) {
  std::wstring out(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(h, out.data(), DWORD(out.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return {};
    if (n < out.size()) {
      out.resize(n);
      break;
    }
    out.resize(n + 1);
  }
  if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + out.substr(8);
  if (out.rfind(L"\\\\?\\", 0) == 0) return out.substr(4);
  return out;
}

// Whether the open file is the running program's own (which Windows does not
// let anybody delete while it runs).
bool is_running_program(HANDLE file) {
  std::wstring me(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, me.data(), DWORD(me.size()));
    if (n == 0) return false;
    if (n < me.size()) {
      me.resize(n);
      break;
    }
    if (me.size() >= 32768) return false;
    me.resize(me.size() * 2);
  }
  HANDLE self = open_followed(me, FILE_READ_ATTRIBUTES);
  if (self == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a{}, b{};
  const bool same = GetFileInformationByHandle(self, &a) && GetFileInformationByHandle(file, &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                    a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(self);
  return same;
}

// A running program's file can be moved though not deleted: it is moved
// out of its folder into the user's temporary folder (on the same volume;
// a move to another fails), under a name of its own, to be deleted at the
// next start of the system where the account may ask for that.
DWORD move_running_program_away(HANDLE file) {
  wchar_t temp[MAX_PATH + 1] = L"";
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  if (n == 0 || n > MAX_PATH) return GetLastError();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const std::wstring to = std::wstring(temp) + L"zarnik-uninstall-" +
                          std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(uint64_t(now.QuadPart)) + L".tmp";
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = DWORD(to.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, to.c_str(), (to.size() + 1) * sizeof(wchar_t));
  if (!SetFileInformationByHandle(file, FileRenameInfo, rename, DWORD(buffer.size())))
    return GetLastError();
  MoveFileExW(to.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);  // needs an administrator
  return ERROR_SUCCESS;
}

}  // namespace

bool is_path_separator(char c) { return c == '\\' || c == '/'; }

bool is_absolute_path(const std::string& path) {
  if (path.size() >= 3 && std::isalpha(uint8_t(path[0])) && path[1] == ':' &&
      is_path_separator(path[2]))
    return true;
  // "\\host\share"; "\\.\" and "\\?\" are the system's device paths.
  return path.size() >= 3 && is_path_separator(path[0]) && is_path_separator(path[1]) &&
         !is_path_separator(path[2]) && path[2] != '.' && path[2] != '?';
}

bool same_name(const std::string& a, const std::string& b) {
  if (a == b) return true;
  const std::wstring wa = utf16_from_ansi(a), wb = utf16_from_ansi(b);
  return CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE) ==
         CSTR_EQUAL;
}

std::string path_from_utf8(const std::string& utf8) {
  std::string out;
  return ansi_from_utf16(utf16(utf8), out) ? out : std::string();
}

std::string utf8_from_path(const std::string& path) { return win32::utf8(utf16_from_ansi(path)); }

std::string resolved_path(const std::string& path) {
  if (path.empty() || win32::names_a_device(path)) return {};
  const std::wstring given = utf16_from_ansi(path);
  // Absolute, "/" turned into "\", "." and ".." taken out as the system reads
  // the path.
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(given.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (n == 0) return {};
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n + 1);
  }
  auto root_length = [&](const std::wstring& p) -> size_t {
    if (p.size() >= 3 && p[1] == L':') return 3;  // "C:\"
    if (p.rfind(L"\\\\", 0) == 0) {               // "\\host\share\"
      const size_t host = p.find(L'\\', 2);
      const size_t share = host == std::wstring::npos ? host : p.find(L'\\', host + 1);
      return share == std::wstring::npos ? p.size() : share + 1;
    }
    return 0;
  };
  const size_t root = root_length(full);
  if (root == 0) return {};
  while (full.size() > root && full.back() == L'\\') full.pop_back();

  // The longest part that exists resolved by the system, the rest as it is.
  std::wstring head = full, rest, resolved;
  for (;;) {
    HANDLE h = open_followed(head, FILE_READ_ATTRIBUTES);
    if (h != INVALID_HANDLE_VALUE) {
      resolved = final_path(h);
      CloseHandle(h);
      if (resolved.empty()) return {};
      break;
    }
    if (head.size() <= root) {
      resolved = head;  // not even the drive is there
      break;
    }
    const size_t sep = head.rfind(L'\\');
    if (sep == std::wstring::npos || sep + 1 < root) return {};
    rest = head.substr(sep) + rest;
    head.resize(sep < root ? root : sep);
  }
  if (!resolved.empty() && resolved.back() == L'\\' && !rest.empty()) rest.erase(0, 1);
  resolved += rest;
  while (resolved.size() > root_length(resolved) && resolved.back() == L'\\') resolved.pop_back();
  std::string out;
  return ansi_from_utf16(resolved, out) ? out : std::string();
}

FolderEntry::FolderEntry(FolderEntry&& other) noexcept
    : kind_(other.kind_),
      error_(std::move(other.error_)),
      size_(other.size_),
      folder_(other.folder_),
      name_(std::move(other.name_)),
      file_(other.file_) {
  other.file_ = -1;
}

FolderEntry::~FolderEntry() {
  if (file_ != -1) CloseHandle(handle_of(file_));
}

bool FolderEntry::read(uint64_t max_bytes, std::vector<uint8_t>& out) {
  out.clear();
  if (kind_ != EntryKind::File) {
    error_ = "není to obyčejný soubor";
    return false;
  }
  if (size_ > max_bytes) {
    error_ = "je příliš velký";
    return false;
  }
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(handle_of(file_), start, nullptr, FILE_BEGIN)) {
    error_ = error_text(GetLastError());
    return false;
  }
  out.resize(size_t(size_));
  size_t got = 0;
  while (got < out.size()) {
    DWORD n = 0;
    if (!ReadFile(handle_of(file_), out.data() + got, DWORD(out.size() - got), &n, nullptr)) {
      error_ = error_text(GetLastError());
      out.clear();
      return false;
    }
    if (n == 0) break;
    got += n;
  }
  out.resize(got);
  return true;
}

bool FolderEntry::remove() {
  if (kind_ == EntryKind::Missing) return true;
  if (kind_ == EntryKind::Folder || kind_ == EntryKind::Failed || file_ == -1) {
    if (kind_ == EntryKind::Folder) error_ = "je to adresář";
    return false;
  }
  HANDLE h = handle_of(file_);
  FILE_DISPOSITION_INFO gone{TRUE};
  if (!SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone)) {
    DWORD err = GetLastError();
    // A read-only file is removed as on the POSIX systems, where the
    // folder's rights decide: the attribute is taken off first.
    BY_HANDLE_FILE_INFORMATION info{};
    if (err == ERROR_ACCESS_DENIED && GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
      FILE_BASIC_INFO basic{};  // times of zero stay as they are
      basic.FileAttributes = info.dwFileAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
      if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
      if (SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) &&
          SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone))
        err = ERROR_SUCCESS;
      else
        err = GetLastError();
    }
    if (err == ERROR_ACCESS_DENIED && is_running_program(h)) err = move_running_program_away(h);
    if (err != ERROR_SUCCESS) {
      error_ = error_text(err);
      return false;
    }
  }
  // The file goes when its last handle closes.
  CloseHandle(h);
  file_ = -1;
  return true;
}

bool remove_empty_folder(const std::string& path) {
  if (path.empty() || win32::names_a_device(path)) return false;
  HANDLE h =
      CreateFileW(utf16_from_ansi(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_DISPOSITION_INFO gone{TRUE};
  // A folder that is not empty refuses the disposition.
  const bool removed = GetFileInformationByHandle(h, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                       SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
  CloseHandle(h);
  return removed;
}

OpenFolder::OpenFolder(const std::string& path) : path_(path) {
  if (path.empty() || win32::names_a_device(path)) {
    error_ = "není to adresář";
    return;
  }
  HANDLE h = open_followed(utf16_from_ansi(path), FILE_LIST_DIRECTORY | FILE_TRAVERSE |
                                                      FILE_READ_ATTRIBUTES | SYNCHRONIZE);
  if (h == INVALID_HANDLE_VALUE) {
    error_ = error_text(GetLastError());
    return;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error_ = "není to adresář";
    CloseHandle(h);
    return;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  identity_ = {info.dwVolumeSerialNumber,
               uint64_t(info.nFileIndexHigh) << 32 | uint64_t(info.nFileIndexLow)};
}

OpenFolder::~OpenFolder() {
  if (handle_ != -1) CloseHandle(handle_of(handle_));
}

FolderEntry OpenFolder::entry(const std::string& name) const {
  FolderEntry e;
  e.folder_ = handle_;
  e.name_ = name;
  if (handle_ == -1) {
    e.error_ = error_;
    return e;
  }
  std::wstring wname = utf16_from_ansi(name);
  if (wname.empty() || wname.find_first_of(L"\\/") != std::wstring::npos) {
    e.error_ = "neuvádí soubor";
    return e;
  }
  UNICODE_STRING us;
  us.Buffer = wname.data();
  us.Length = us.MaximumLength = USHORT(wname.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &us, OBJ_CASE_INSENSITIVE, handle_of(handle_), nullptr);
  // Read and removed through this handle; with less when the rights are
  // missing (the step that needs them then says so).
  const ACCESS_MASK wanted[] = {
      DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
      DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_READ_ATTRIBUTES | SYNCHRONIZE,
  };
  HANDLE h = INVALID_HANDLE_VALUE;
  NTSTATUS status = kAccessDenied;
  for (const ACCESS_MASK access : wanted) {
    IO_STATUS_BLOCK io{};
    status = NtCreateFile(&h, access, &attributes, &io, nullptr, 0,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                          FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status != kAccessDenied) break;
  }
  if (status == kNameNotFound || status == kPathNotFound || status == kDeletePending) {
    e.kind_ = EntryKind::Missing;
    return e;
  }
  if (status < 0) {
    e.error_ = error_text(RtlNtStatusToDosError(status));
    return e;
  }
  e.file_ = reinterpret_cast<intptr_t>(h);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) {
    e.error_ = error_text(GetLastError());
    return e;
  }
  e.size_ = uint64_t(info.nFileSizeHigh) << 32 | uint64_t(info.nFileSizeLow);
  e.kind_ = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Link
            : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? EntryKind::Folder
            : GetFileType(h) == FILE_TYPE_DISK                     ? EntryKind::File
                                                                   : EntryKind::Other;
  return e;
}

std::vector<std::string> OpenFolder::names() const {
  std::vector<std::string> out;
  if (handle_ == -1) return out;
  std::wstring pattern = utf16_from_ansi(path_);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    std::string narrow;
    if (ansi_from_utf16(name, narrow)) out.push_back(std::move(narrow));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return out;
}

}  // namespace platform
