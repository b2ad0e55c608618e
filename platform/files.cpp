#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

namespace platform {

namespace {

std::runtime_error file_error(const std::string& what, const std::string& path, int err) {
  return std::runtime_error(what + " \"" + path + "\": " + std::strerror(err));
}

}  // namespace

std::string windows_directory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return xdg;
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

bool file_exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

std::string size_text(uint64_t bytes) {
  constexpr uint64_t kMiB = uint64_t(1) << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " bytes";
}

std::runtime_error too_large(const std::string& path, uint64_t max_bytes) {
  return std::runtime_error("Cannot read file \"" + path + "\": File too large (more than " +
                            size_text(max_bytes) + ")");
}

void check_readable(const struct stat& st, const std::string& path, uint64_t max_bytes) {
  if (S_ISDIR(st.st_mode)) throw file_error("Cannot read file", path, EISDIR);
  if (!S_ISREG(st.st_mode))
    throw std::runtime_error("Cannot read file \"" + path + "\": Not a regular file");
  if (uint64_t(st.st_size) > max_bytes) throw too_large(path, max_bytes);
}

// The folder part and the name of a path ("." for a bare name).
struct PathParts {
  std::string folder;
  std::string name;
};

PathParts split_path(const std::string& path) {
  const size_t sep = path.rfind(kPathSeparator);
  if (sep == std::string::npos) return {".", path};
  return {sep == 0 ? std::string(1, kPathSeparator) : path.substr(0, sep), path.substr(sep + 1)};
}

std::string in_folder(const std::string& folder, const std::string& name) {
  if (folder == ".") return name;
  if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

// Temporary files are named "." + target name + "." + pid + "." + twelve
// random letters and digits + ".tmp": hidden, tied to the target and to the
// process that writes them, and not to be guessed.
constexpr char kTempAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kTempRandomChars = 12;
constexpr const char* kTempSuffix = ".tmp";

std::string random_letters() {
  uint8_t bytes[kTempRandomChars];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  if (got < sizeof bytes) {
    // No randomness from the kernel: the clock, the stack's address and a
    // counter, mixed. The exclusive creation still keeps the write safe.
    static uint64_t counter = 0;
    uint64_t x = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 uint64_t(reinterpret_cast<uintptr_t>(&got)) ^ (++counter << 32);
    for (auto& b : bytes) {
      x += 0x9E3779B97F4A7C15ull;
      uint64_t z = x;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      b = uint8_t(z ^ (z >> 31));
    }
  }
  std::string out;
  for (uint8_t b : bytes) out += kTempAlphabet[b % (sizeof kTempAlphabet - 1)];
  return out;
}

// The pid in a temporary file's name made for a target named `target_name`,
// or 0 when `name` is not such a name.
pid_t temporary_owner(const std::string& target_name, std::string_view name) {
  const std::string prefix = "." + target_name + ".";
  const std::string_view suffix = kTempSuffix;
  if (name.size() < prefix.size() + suffix.size() + 2 + kTempRandomChars ||
      name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return 0;
  std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const size_t dot = middle.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot > 10) return 0;
  const std::string_view letters = middle.substr(dot + 1);
  if (letters.size() != kTempRandomChars) return 0;
  for (char c : letters)
    if (std::strchr(kTempAlphabet, c) == nullptr || c == '\0') return 0;
  int64_t pid = 0;
  for (char c : middle.substr(0, dot)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 && pid <= INT32_MAX ? pid_t(pid) : 0;
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
    const std::string stem = "." + parts.name + "." + std::to_string(::getpid()) + ".";
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
      path_ = in_folder(parts.folder, stem + random_letters() + kTempSuffix);
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd_ >= 0) return;
      err = errno;
    }
    throw file_error("Cannot create file", target, err);
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
        throw file_error("Cannot write file", target_, errno);
      }
      done += size_t(n);
    }
  }

  // Gives the file exactly `mode` when set, syncs it and renames it over the
  // target.
  void commit(std::optional<mode_t> mode) {
    if (mode && ::fchmod(fd_, *mode) != 0) throw file_error("Cannot write file", target_, errno);
    // Both calls run whatever the first one says, so the descriptor is never
    // leaked.
    const int sync_err = ::fsync(fd_) != 0 ? errno : 0;
    const int close_err = ::close(fd_) != 0 ? errno : 0;
    fd_ = -1;
    if (sync_err != 0 || close_err != 0)
      throw file_error("Cannot write file", target_, sync_err != 0 ? sync_err : close_err);
    if (::rename(path_.c_str(), target_.c_str()) != 0)
      throw file_error("Cannot replace file", target_, errno);
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
  if (::stat(path.c_str(), &st) != 0) throw file_error("Cannot open file", path, errno);
  check_readable(st, path, max_bytes);
  Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (in.fd < 0) throw file_error("Cannot open file", path, errno);
  if (::fstat(in.fd, &st) != 0) throw file_error("Cannot read file", path, errno);
  check_readable(st, path, max_bytes);

  std::vector<uint8_t> out;
  out.reserve(size_t(st.st_size));
  uint8_t buf[65536];
  for (;;) {
    const ssize_t n = ::read(in.fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw file_error("Cannot read file", path, errno);
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
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) keep = st.st_mode & kPermissionBits;
  TempFile out(path, keep.value_or(0666));
  out.write(bytes.data(), bytes.size());
  out.commit(keep);
}

void copy_file_atomic(const std::string& from, const std::string& to) {
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) throw file_error("Cannot open file", from, errno);
  check_readable(st, from, std::numeric_limits<uint64_t>::max());
  Fd in{::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (in.fd < 0) throw file_error("Cannot open file", from, errno);
  if (::fstat(in.fd, &st) != 0) throw file_error("Cannot read file", from, errno);
  check_readable(st, from, std::numeric_limits<uint64_t>::max());

  TempFile out(to, st.st_mode & kPermissionBits);
  uint8_t buf[65536];
  for (;;) {
    const ssize_t n = ::read(in.fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw file_error("Cannot read file", from, errno);
    }
    if (n == 0) break;
    out.write(buf, size_t(n));
  }
  out.commit(std::nullopt);
}

bool is_abandoned_temporary(const std::string& target, const std::string& name) {
  const pid_t owner = temporary_owner(split_path(target).name, name);
  if (owner == 0 || owner == ::getpid()) return false;
  return ::kill(owner, 0) != 0 && errno == ESRCH;
}

std::vector<std::string> split_lines(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string cur;
  size_t i = 0;
  const size_t n = std::find(bytes.begin(), bytes.end(), uint8_t{0}) - bytes.begin();
  while (i < n) {
    char c = static_cast<char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
      ++i;
      continue;
    }
    cur += c;
    ++i;
  }
  // A final line without a line end still counts; a final line end does not
  // open another (empty) line.
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

std::vector<uint8_t> join_lines(const std::vector<std::string>& lines) {
  std::vector<uint8_t> out;
  for (const auto& l : lines) {
    out.insert(out.end(), l.begin(), l.end());
    out.push_back('\r');
    out.push_back('\n');
  }
  return out;
}

}  // namespace platform
