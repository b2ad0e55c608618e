#include "platform/files.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace platform {

namespace {

[[maybe_unused]] std::runtime_error file_error(const std::string& what, const std::string& path,
                                               int err) {
  return std::runtime_error(what + " \"" + path + "\": " + std::strerror(err));
}

}  // namespace

// The file calls of the POSIX systems; the Windows build has its own in
// platform/win32/files.cpp.
#ifndef _WIN32
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

std::vector<uint8_t> read_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw file_error("Cannot open file", path, errno);
  std::vector<uint8_t> out;
  uint8_t buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      throw file_error("Cannot read file", path, err);
    }
    if (n == 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  ::close(fd);
  return out;
}

void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string tmp = path + ".tmp" + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw file_error("Cannot create file", path, errno);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(tmp.c_str());
      throw file_error("Cannot write file", path, err);
    }
    done += static_cast<size_t>(n);
  }
  // Both calls run whatever the first one says, so the descriptor is never
  // leaked.
  int sync_err = ::fsync(fd) != 0 ? errno : 0;
  int close_err = ::close(fd) != 0 ? errno : 0;
  if (sync_err != 0 || close_err != 0) {
    int err = sync_err != 0 ? sync_err : close_err;
    ::unlink(tmp.c_str());
    throw file_error("Cannot write file", path, err);
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(tmp.c_str());
    throw file_error("Cannot replace file", path, err);
  }
}

#endif  // _WIN32

std::vector<std::string> split_lines(const std::vector<uint8_t>& bytes) {
  std::vector<std::string> lines;
  std::string cur;
  size_t i = 0;
  const size_t n = bytes.size();
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
