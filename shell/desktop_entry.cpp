#include "shell/desktop_entry.h"

#ifndef _WIN32  // desktop entries are written only where they are read
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/files.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace shell {

namespace {

// Whether `s` is well-formed UTF-8 without control characters (tab, line
// breaks and DEL included): what a value of an entry can hold.
bool writable_text(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7F) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    int extra;
    char32_t cp, min;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + size_t(extra) >= s.size()) return false;  // cut off at the end
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = cp << 6 | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x80 && cp < 0xA0) return false;  // C1 control characters
    i += size_t(extra) + 1;
  }
  return true;
}

// A string value as an entry stores it: backslashes doubled, and spaces at
// either end written as \s so that no reader trims them.
std::string escaped(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\')
      out += "\\\\";
    else if (s[i] == ' ' && (i == 0 || i + 1 == s.size()))
      out += "\\s";
    else
      out += s[i];
  }
  return out;
}

// One argument of an Exec line, quoted: inside double quotes the characters
// " ` $ and \ take a backslash.
std::string quoted_argument(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A stored string value read back; nothing when it holds an unknown escape.
std::optional<std::string> unescaped(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return std::nullopt;
    switch (s[i]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

// The first argument of an unescaped Exec value; nothing when it is quoted
// wrongly or holds a field code.
std::optional<std::string> first_argument(std::string_view exec) {
  size_t i = exec.find_first_not_of(" \t");
  if (i == std::string_view::npos) return std::nullopt;
  std::string out;
  if (exec[i] == '"') {
    for (++i;; ++i) {
      if (i == exec.size()) return std::nullopt;  // no closing quote
      const char c = exec[i];
      if (c == '"') break;
      if (c == '\\') {
        if (++i == exec.size()) return std::nullopt;
        const char e = exec[i];
        if (e != '"' && e != '`' && e != '$' && e != '\\') return std::nullopt;
        out += e;
      } else {
        out += c;
      }
    }
  } else {
    for (; i < exec.size() && exec[i] != ' ' && exec[i] != '\t'; ++i) {
      if (exec[i] == '\\' || exec[i] == '"' || exec[i] == '\'') return std::nullopt;
      out += exec[i];
    }
  }
  if (out.find('%') != std::string::npos) return std::nullopt;
  return out;
}

// No programs to start in WebAssembly (the browser, Node): nothing is marked.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
bool session_bus_known() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  return runtime && *runtime == '/' && ::stat((std::string(runtime) + "/bus").c_str(), &st) == 0 &&
         S_ISSOCK(st.st_mode);
}

// Runs `argv` (looked up on PATH) with its output thrown away; true when it
// ends with status 0 within `limit`. A program that takes longer is killed.
bool run_quietly(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  const auto end = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return false;
    if (std::chrono::steady_clock::now() >= end) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

#endif

}  // namespace

std::string desktop_entry_name(const std::string& link_name) {
  const std::string lnk = ".lnk";
  if (link_name.size() > lnk.size() &&
      link_name.compare(link_name.size() - lnk.size(), lnk.size(), lnk) == 0)
    return link_name.substr(0, link_name.size() - lnk.size()) + ".desktop";
  return link_name + ".desktop";
}

std::string desktop_entry_text(const DesktopEntry& e) {
  for (const std::string* s : {&e.name, &e.name_cs, &e.comment, &e.comment_cs, &e.program,
                               &e.folder, &e.icon, &e.categories, &e.wm_class})
    if (!writable_text(*s)) return {};
  if (e.name.empty() || e.program.empty() || e.program.find('%') != std::string::npos) return {};

  std::string t = "[Desktop Entry]\nType=Application\n";
  auto add = [&t](const char* key, const std::string& value) {
    if (!value.empty()) t += std::string(key) + "=" + escaped(value) + "\n";
  };
  add("Name", e.name);
  add("Name[cs]", e.name_cs);
  add("Comment", e.comment);
  add("Comment[cs]", e.comment_cs);
  add("Exec", quoted_argument(e.program));
  add("Path", e.folder);
  add("Icon", e.icon);
  t += "Terminal=false\n";
  add("Categories", e.categories);
  add("StartupWMClass", e.wm_class);
  return t;
}

DesktopEntryLaunch read_desktop_entry_launch(std::string_view text) {
  DesktopEntryLaunch out;
  bool in_group = false, have_exec = false, have_path = false;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      in_group = line == "[Desktop Entry]";
      continue;
    }
    if (!in_group) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq);
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    std::string_view value = line.substr(eq + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    // The first of a repeated key counts.
    if (key == "Exec" && !have_exec) {
      have_exec = true;
      if (const auto exec = unescaped(value))
        if (const auto program = first_argument(*exec)) out.program = *program;
    } else if (key == "Path" && !have_path) {
      have_path = true;
      if (const auto folder = unescaped(value)) out.folder = *folder;
    }
  }
  return out;
}

bool save_desktop_entry(const std::string& path, const DesktopEntry& entry, bool executable) {
  const std::string text = desktop_entry_text(entry);
  if (text.empty()) return false;
  try {
    platform::write_file_atomic(path, std::vector<uint8_t>(text.begin(), text.end()));
  } catch (const std::runtime_error&) {
    return false;
  }
  if (!executable) return true;
#ifdef _WIN32
  return true;
#else
  // Through a descriptor of the file just written, never through a link.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            ::fchmod(fd, (st.st_mode & 07777) | ((st.st_mode & 0444) >> 2)) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
#endif
}

bool mark_trusted([[maybe_unused]] const std::string& path) {
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
  return false;
#else
  if (!session_bus_known()) return false;
  return run_quietly({"gio", "set", path, "metadata::trusted", "true"}, std::chrono::seconds(5));
#endif
}

}  // namespace shell
