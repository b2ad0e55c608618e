// The folder entries of folder_entries.h on the POSIX systems: a folder
// descriptor, entries looked at with fstatat and opened with openat, never
// through a link, and removed with unlinkat once the name is seen to hold
// the same file still.
#include "platform/folder_entries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/file_names.h"
#include "platform/posix/errno_fault.h"

namespace platform {

bool is_absolute_path(const std::string& path) { return !path.empty() && path.front() == '/'; }

bool is_path_separator(char c) { return c == '/'; }

bool same_name(const std::string& a, const std::string& b) { return a == b; }

std::string path_from_utf8(const std::string& utf8) { return utf8; }
std::string utf8_from_path(const std::string& path) { return path; }

std::vector<std::string> path_names(const std::string& path) {
  std::vector<std::string> out;
  size_t at = 0;
  for (;;) {
    const size_t end = path.find('/', at);
    out.push_back(path.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  // The root's empty name before the first separator and the empty one after
  // a trailing separator are no names; an empty one between doubled
  // separators is kept, so that callers can refuse it.
  if (!path.empty() && path.front() == '/') out.erase(out.begin());
  if (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

size_t max_path_length() { return PATH_MAX - 1; }  // PATH_MAX counts the closing zero
size_t max_name_length() { return NAME_MAX; }

bool create_folder(const std::string& path, std::string& error) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  const int err = errno;
  error = err == EEXIST ? "už tam je soubor nebo adresář tohoto jména"
                        : file_fault_text(fault_of_errno(err), err);
  return false;
}

namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

FolderEntry::FolderEntry(FolderEntry&& other) noexcept
    : kind_(other.kind_),
      error_(std::move(other.error_)),
      size_(other.size_),
      folder_(other.folder_),
      name_(std::move(other.name_)),
      id_(other.id_),
      owned_(other.owned_),
      others_write_(other.others_write_) {}

FolderEntry::~FolderEntry() = default;

bool FolderEntry::read_each(uint64_t max_bytes,
                            const std::function<void(const uint8_t*, size_t)>& take) {
  if (kind_ != EntryKind::File) {
    error_ = "není to obyčejný soubor";
    return false;
  }
  Fd in{::openat(int(folder_), name_.c_str(),
                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  struct stat st;
  if (in.fd < 0 || ::fstat(in.fd, &st) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode) || FolderIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino)} != id_) {
    error_ = "soubor se mezitím změnil";
    return false;
  }
  if (uint64_t(st.st_size) > max_bytes) {
    error_ = "je příliš velký";
    return false;
  }
  uint8_t buf[65536];
  uint64_t got = 0;
  for (;;) {
    const ssize_t n = ::read(in.fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = std::strerror(errno);
      return false;
    }
    if (n == 0) return true;
    got += uint64_t(n);
    if (got > max_bytes) {  // it grew while being read
      error_ = "je příliš velký";
      return false;
    }
    take(buf, size_t(n));
  }
}

bool FolderEntry::remove() {
  if (kind_ == EntryKind::Missing) return true;
  if (kind_ == EntryKind::Folder || kind_ == EntryKind::Failed) {
    if (kind_ == EntryKind::Folder) error_ = "je to adresář";
    return false;
  }
  // The name must still hold the file looked at: what took its place since
  // is somebody else's.
  struct stat st;
  if (::fstatat(int(folder_), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return true;
    error_ = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode) || FolderIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino)} != id_) {
    error_ = "soubor se mezitím změnil";
    return false;
  }
  if (::unlinkat(int(folder_), name_.c_str(), 0) != 0 && errno != ENOENT) {
    error_ = std::strerror(errno);
    return false;
  }
  return true;
}

bool FolderEntry::remove_folder() {
  if (kind_ != EntryKind::Folder) {
    error_ = "není to adresář";
    return false;
  }
  struct stat st;
  if (::fstatat(int(folder_), name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode) || FolderIdentity{uint64_t(st.st_dev), uint64_t(st.st_ino)} != id_) {
    error_ = "adresář se mezitím změnil";
    return false;
  }
  if (::unlinkat(int(folder_), name_.c_str(), AT_REMOVEDIR) != 0) {
    error_ = std::strerror(errno);
    return false;
  }
  return true;
}

namespace {

// Write permission for anybody but the user: others, or a group that is not
// the user's own.
bool others_may_write(const struct stat& st) {
  return (st.st_mode & S_IWOTH) != 0 || ((st.st_mode & S_IWGRP) != 0 && st.st_gid != ::getegid());
}

}  // namespace

OpenFolder::OpenFolder(const std::string& path, LastName last) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC |
                                          (last == LastName::NoFollow ? O_NOFOLLOW : 0));
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    const int err = errno;
    struct stat link;
    const bool is_link = last == LastName::NoFollow && (err == ELOOP || err == ENOTDIR) &&
                         ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    error_ = is_link ? "je to odkaz" : err == ENOTDIR ? "není to adresář" : std::strerror(err);
    if (fd >= 0) ::close(fd);
    return;
  }
  handle_ = fd;
  identity_ = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
  others_write_ = others_may_write(st);
}

OpenFolder::~OpenFolder() {
  if (handle_ >= 0) ::close(int(handle_));
}

FolderEntry OpenFolder::entry(const std::string& name) const {
  FolderEntry e;
  e.folder_ = handle_;
  e.name_ = name;
  struct stat st;
  if (handle_ < 0) {
    e.error_ = error_;
  } else if (::fstatat(int(handle_), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    e.kind_ = errno == ENOENT ? EntryKind::Missing : EntryKind::Failed;
    e.error_ = std::strerror(errno);
  } else {
    e.kind_ = S_ISLNK(st.st_mode)   ? EntryKind::Link
              : S_ISDIR(st.st_mode) ? EntryKind::Folder
              : S_ISREG(st.st_mode) ? EntryKind::File
                                    : EntryKind::Other;
    e.size_ = uint64_t(st.st_size);
    e.id_ = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
    e.owned_ = st.st_uid == ::geteuid();
    e.others_write_ = others_may_write(st);
  }
  return e;
}

std::vector<std::string> OpenFolder::names() const {
  std::vector<std::string> out;
  if (handle_ < 0) return out;
  const int listing_fd = ::dup(int(handle_));
  if (listing_fd < 0) return out;
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    ::close(listing_fd);
    return out;
  }
  ::rewinddir(listing);
  while (const dirent* e = ::readdir(listing)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") out.push_back(name);
  }
  ::closedir(listing);
  return out;
}

}  // namespace platform
