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
#include <functional>
#include <string>
#include <vector>

#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"

namespace platform {

namespace {

using win32::utf16;
using win32::utf8;

std::string error_text(DWORD err) { return win32::system_error_text(err); }

constexpr NTSTATUS kNameNotFound = NTSTATUS(0xC0000034);
constexpr NTSTATUS kPathNotFound = NTSTATUS(0xC000003A);
constexpr NTSTATUS kDeletePending = NTSTATUS(0xC0000056);
constexpr NTSTATUS kAccessDenied = NTSTATUS(0xC0000022);
constexpr NTSTATUS kSharingViolation = NTSTATUS(0xC0000043);

HANDLE handle_of(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// Opens `path` as it stands, following reparse points: the folder or file it
// ends at, for its identity.
HANDLE open_followed(const std::wstring& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
  const std::wstring wa = utf16(a), wb = utf16(b);
  return CompareStringOrdinal(wa.data(), int(wa.size()), wb.data(), int(wb.size()), TRUE) ==
         CSTR_EQUAL;
}

std::vector<std::string> path_names(const std::string& path) {
  // The root: "C:\" or "C:", "\\host\share\", or a leading separator.
  size_t at = 0;
  if (path.size() >= 2 && std::isalpha(uint8_t(path[0])) && path[1] == ':') {
    at = 2;
  } else if (path.size() >= 2 && is_path_separator(path[0]) && is_path_separator(path[1])) {
    at = 2;
    for (int part = 0; part < 2 && at < path.size(); ++part) {
      while (at < path.size() && !is_path_separator(path[at])) ++at;
      if (part == 0 && at < path.size()) ++at;
    }
  }
  if (at < path.size() && is_path_separator(path[at])) ++at;
  std::vector<std::string> out;
  std::string name;
  for (; at < path.size(); ++at) {
    if (is_path_separator(path[at])) {
      out.push_back(name);
      name.clear();
    } else {
      name += path[at];
    }
  }
  if (!name.empty()) out.push_back(name);
  return out;
}

size_t max_path_length() { return MAX_PATH - 1; }  // MAX_PATH counts the closing zero
size_t max_name_length() { return 255; }

bool create_folder(const std::string& path, std::string& error) {
  if (path.empty() || win32::names_a_device(path)) {
    error = "neuvádí adresář";
    return false;
  }
  if (CreateDirectoryW(utf16(path).c_str(), nullptr)) return true;
  error = error_text(GetLastError());
  return false;
}

// Paths are UTF-8 on Windows too, and reach the system through its wide
// calls.
std::string path_from_utf8(const std::string& utf8) { return utf8; }

std::string utf8_from_path(const std::string& path) { return path; }

FolderEntry::FolderEntry(FolderEntry&& other) noexcept
    : kind_(other.kind_),
      error_(std::move(other.error_)),
      size_(other.size_),
      folder_(other.folder_),
      name_(std::move(other.name_)),
      id_(other.id_),
      file_(other.file_) {
  other.file_ = -1;
}

FolderEntry::~FolderEntry() {
  if (file_ != -1) CloseHandle(handle_of(file_));
}

bool FolderEntry::read_each(uint64_t max_bytes,
                            const std::function<void(const uint8_t*, size_t)>& take) {
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
  std::vector<uint8_t> buf(65536);
  uint64_t got = 0;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(handle_of(file_), buf.data(), DWORD(buf.size()), &n, nullptr)) {
      error_ = error_text(GetLastError());
      return false;
    }
    if (n == 0) return true;
    got += n;
    if (got > max_bytes) {  // it grew while being read
      error_ = "je příliš velký";
      return false;
    }
    take(buf.data(), n);
  }
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

bool FolderEntry::remove_folder() {
  if (kind_ != EntryKind::Folder || file_ == -1) {
    error_ = "není to adresář";
    return false;
  }
  // A folder that is not empty refuses the disposition.
  FILE_DISPOSITION_INFO gone{TRUE};
  if (!SetFileInformationByHandle(handle_of(file_), FileDispositionInfo, &gone, sizeof gone)) {
    error_ = error_text(GetLastError());
    return false;
  }
  CloseHandle(handle_of(file_));
  file_ = -1;
  return true;
}

OpenFolder::OpenFolder(const std::string& path, LastName last) : path_(path) {
  if (path.empty() || win32::names_a_device(path)) {
    error_ = "není to adresář";
    return;
  }
  const DWORD access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  HANDLE h = last == LastName::Follow
                 ? open_followed(utf16(path), access)
                 : CreateFileW(utf16(path).c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error_ = error_text(GetLastError());
    return;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool read = GetFileInformationByHandle(h, &info);
  if (read && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      last == LastName::NoFollow) {
    error_ = "je to odkaz";
    CloseHandle(h);
    return;
  }
  if (!read || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
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
  std::wstring wname = utf16(name);
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
  // missing or another program holds it open so as to refuse them (the step
  // that needs them then says so).
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
    if (status != kAccessDenied && status != kSharingViolation) break;
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
  e.id_ = {info.dwVolumeSerialNumber,
           uint64_t(info.nFileIndexHigh) << 32 | uint64_t(info.nFileIndexLow)};
  e.kind_ = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Link
            : (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? EntryKind::Folder
            : GetFileType(h) == FILE_TYPE_DISK                     ? EntryKind::File
                                                                   : EntryKind::Other;
  return e;
}

std::vector<std::string> OpenFolder::names() const {
  std::vector<std::string> out;
  if (handle_ == -1) return out;
  std::wstring pattern = utf16(path_);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  HANDLE search =
      FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return out;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    out.push_back(utf8(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return out;
}

}  // namespace platform
