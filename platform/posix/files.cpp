// The file services of platform/files.h over the POSIX calls; the Windows
// build has its own in platform/winapi/files.cpp, and what both share is in
// platform/files.cpp and platform/file_names.cpp.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "platform/file_names.h"
#include "platform/posix/errno_fault.h"

namespace platform {

FileFault fault_of_errno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return FileFault::Missing;
    case EACCES:
    case EPERM: return FileFault::Denied;
    case EISDIR: return FileFault::Folder;
    case ELOOP:  // a link where no link is followed
    case ENXIO:
    case ENODEV: return FileFault::NotAFile;
    case EFBIG: return FileFault::TooLarge;
    case ENOSPC:
    case EDQUOT: return FileFault::NoSpace;
    case EROFS: return FileFault::ReadOnly;
    case EBUSY:
    case ETXTBSY: return FileFault::Busy;
    case ENAMETOOLONG:
    case EINVAL: return FileFault::BadName;
    default: return FileFault::Other;
  }
}

namespace {

FileError file_error(FileAction action, const std::string& path, int err) {
  return FileError(action, path, fault_of_errno(err), err);
}

}  // namespace

std::string default_settings_directory() {
  // A relative XDG_CONFIG_HOME is no folder (as the XDG rules say): the
  // settings would land wherever the program happens to run.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  std::string base = (home && *home) ? home : "/tmp";
  return base + "/.config";
}

std::string current_directory() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  if (ec) return ".";
  return p.string();
}

std::string running_program_path() {
  std::array<char, 4096> buf{};
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  return std::string(buf.data(), static_cast<size_t>(n));
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

bool folder_exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

bool make_folders(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return folder_exists(path);
}

namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

void check_readable(const struct stat& st, const std::string& path, uint64_t max_bytes) {
  if (S_ISDIR(st.st_mode)) throw FileError(FileAction::Read, path, FileFault::Folder);
  if (!S_ISREG(st.st_mode)) throw FileError(FileAction::Read, path, FileFault::NotAFile);
  if (uint64_t(st.st_size) > max_bytes) throw too_large(path, max_bytes);
}

void random_bytes(uint8_t (&bytes)[kTempRandomChars]) {
  // getentropy: the kernel's randomness on Linux, the browser's in a page.
  if (::getentropy(bytes, sizeof bytes) != 0) fallback_random_bytes(bytes);
}

// Removes what ended processes left behind for `target`: regular files of
// ours only, never links or folders. Failures change nothing and are ignored.
void remove_abandoned_temporaries(const std::string& target) {
  const PathParts parts = split_path(target);
  Fd dir{::open(parts.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (dir.fd < 0) return;
  const int listing_fd = ::dup(dir.fd);
  if (listing_fd < 0) return;
  DIR* listing = ::fdopendir(listing_fd);
  if (listing == nullptr) {
    ::close(listing_fd);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(listing))
    if (is_abandoned_temporary(target, e->d_name)) names.emplace_back(e->d_name);
  ::closedir(listing);
  for (const auto& name : names) {
    struct stat st;
    if (::fstatat(dir.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
        st.st_uid == ::geteuid())
      ::unlinkat(dir.fd, name.c_str(), 0);
  }
}

// A file being written under a temporary name beside its target; renamed
// over the target by commit(), removed if it is never committed.
class TempFile {
 public:
  TempFile(const std::string& target, mode_t mode) : target_(target) {
    remove_abandoned_temporaries(target);
    const PathParts parts = split_path(target);
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
      uint8_t random[kTempRandomChars];
      random_bytes(random);
      path_ = in_folder(parts.folder, temporary_name(parts.name, uint32_t(::getpid()), random));
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd_ >= 0) return;
      err = errno;
    }
    throw file_error(FileAction::Create, target, err);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(path_.c_str());
  }

  void write(const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw file_error(FileAction::Write, target_, errno);
      }
      done += size_t(n);
    }
  }

  // Gives the file exactly `mode` when set, syncs it and renames it over the
  // target.
  // With `owner`, the file takes the owner and group of the one it replaces
  // where this process may give them (root any, others a group they are in),
  // before its mode: a change of owner may clear bits of the mode.
  void commit(std::optional<mode_t> mode, const struct stat* owner = nullptr) {
    if (owner != nullptr && ::fchown(fd_, owner->st_uid, owner->st_gid) != 0 &&
        ::fchown(fd_, uid_t(-1), owner->st_gid) != 0) {
      // Neither may be given: the file stays the writer's, as a new one is.
    }
    if (mode && ::fchmod(fd_, *mode) != 0) throw file_error(FileAction::Write, target_, errno);
    // Both calls run whatever the first one says, so the descriptor is never
    // leaked.
    const int sync_err = ::fsync(fd_) != 0 ? errno : 0;
    const int close_err = ::close(fd_) != 0 ? errno : 0;
    fd_ = -1;
    if (sync_err != 0 || close_err != 0)
      throw file_error(FileAction::Write, target_, sync_err != 0 ? sync_err : close_err);
    if (::rename(path_.c_str(), target_.c_str()) != 0)
      throw file_error(FileAction::Replace, target_, errno);
    committed_ = true;
  }

 private:
  std::string target_;
  std::string path_;
  int fd_ = -1;
  bool committed_ = false;
};

constexpr mode_t kPermissionBits = 0777;

}  // namespace

std::vector<uint8_t> read_file(const std::string& path, uint64_t max_bytes) {
  // Checked before opening, so a pipe or device is never opened; checked
  // again on the open file in case the name was replaced in between.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) throw file_error(FileAction::Open, path, errno);
  check_readable(st, path, max_bytes);
  Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (in.fd < 0) throw file_error(FileAction::Open, path, errno);
  if (::fstat(in.fd, &st) != 0) throw file_error(FileAction::Read, path, errno);
  check_readable(st, path, max_bytes);

  std::vector<uint8_t> out;
  out.reserve(size_t(st.st_size));
  uint8_t buf[65536];
  for (;;) {
    const ssize_t n = ::read(in.fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw file_error(FileAction::Read, path, errno);
    }
    if (n == 0) break;
    if (out.size() + size_t(n) > max_bytes) throw too_large(path, max_bytes);  // it grew
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::optional<mode_t> keep;
  struct stat st;
  const bool replaces = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (replaces) keep = st.st_mode & kPermissionBits;
  TempFile out(path, keep.value_or(0666));
  out.write(bytes.data(), bytes.size());
  out.commit(keep, replaces ? &st : nullptr);
}

FileLock::FileLock(const std::string& path, bool create, uint32_t wait_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    // Never through a link, never waiting on a pipe.
    const int fd = ::open(
        path.c_str(),
        O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (create ? O_CREAT : 0), 0666);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return;
    }
    // flock: per open file, so the holder's own reads and writes of the file
    // (other descriptors) leave it alone.
    bool got = false;
    for (;;) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        got = true;
        break;
      }
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) break;
      ::usleep(2000);
    }
    if (!got) {
      ::close(fd);
      return;
    }
    // The holder before may have replaced the file: then this is the lock of
    // a file nobody uses any more, and the one at the path is wanted.
    struct stat now;
    if (::lstat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
      handle_ = fd;
      held_ = true;
      return;
    }
    ::close(fd);
    if (std::chrono::steady_clock::now() >= deadline) return;
  }
}

FileLock::~FileLock() {
  if (held_) ::close(int(handle_));
}

void copy_file_atomic(const std::string& from, const std::string& to) {
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) throw file_error(FileAction::Open, from, errno);
  check_readable(st, from, std::numeric_limits<uint64_t>::max());
  Fd in{::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (in.fd < 0) throw file_error(FileAction::Open, from, errno);
  if (::fstat(in.fd, &st) != 0) throw file_error(FileAction::Read, from, errno);
  check_readable(st, from, std::numeric_limits<uint64_t>::max());

  TempFile out(to, st.st_mode & kPermissionBits);
  uint8_t buf[65536];
  for (;;) {
    const ssize_t n = ::read(in.fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw file_error(FileAction::Read, from, errno);
    }
    if (n == 0) break;
    out.write(buf, size_t(n));
  }
  out.commit(std::nullopt);
}

bool is_abandoned_temporary(const std::string& target, const std::string& name) {
  const pid_t owner = pid_t(temporary_owner(split_path(target).name, name));
  if (owner == 0 || owner == ::getpid()) return false;
  return ::kill(owner, 0) != 0 && errno == ESRCH;
}

}  // namespace platform
