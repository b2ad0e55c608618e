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
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {

bool is_absolute_path(const std::string& path) { return !path.empty() && path.front() == '/'; }

bool is_path_separator(char c) { return c == '/'; }

bool same_name(const std::string& a, const std::string& b) { return a == b; }

std::string resolved_path(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
  if (ec) return {};
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string path_from_utf8(const std::string& utf8) { return utf8; }
std::string utf8_from_path(const std::string& path) { return path; }

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
      device_(other.device_),
      inode_(other.inode_) {}

FolderEntry::~FolderEntry() = default;

bool FolderEntry::read(uint64_t max_bytes, std::vector<uint8_t>& out) {
  out.clear();
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
  if (!S_ISREG(st.st_mode) || uint64_t(st.st_dev) != device_ || uint64_t(st.st_ino) != inode_) {
    error_ = "soubor se mezitím změnil";
    return false;
  }
  if (uint64_t(st.st_size) > max_bytes) {
    error_ = "je příliš velký";
    return false;
  }
  out.resize(size_t(st.st_size));
  size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(in.fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  out.resize(got);
  return true;
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
  if (S_ISDIR(st.st_mode) || uint64_t(st.st_dev) != device_ || uint64_t(st.st_ino) != inode_) {
    error_ = "soubor se mezitím změnil";
    return false;
  }
  if (::unlinkat(int(folder_), name_.c_str(), 0) != 0 && errno != ENOENT) {
    error_ = std::strerror(errno);
    return false;
  }
  return true;
}

bool remove_empty_folder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

OpenFolder::OpenFolder(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) {
    error_ = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return;
  }
  handle_ = fd;
  identity_ = {uint64_t(st.st_dev), uint64_t(st.st_ino)};
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
    e.device_ = uint64_t(st.st_dev);
    e.inode_ = uint64_t(st.st_ino);
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
