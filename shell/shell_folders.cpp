#include "shell/shell_folders.h"

#include <cstdlib>
#include <string_view>

#include "platform/files.h"
#include "platform/folder_entries.h"
#include "platform/services.h"
#include "platform/shell.h"

namespace shell {

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : std::string();
}

std::string home() { return env("HOME"); }

// An XDG folder variable that is no absolute path is ignored, as the XDG
// rules say: it would name a folder relative to wherever the program runs.
std::string config_home() {
  std::string xdg = env("XDG_CONFIG_HOME");
  return platform::is_absolute_path(xdg) ? xdg : home() + "/.config";
}

std::string data_home() {
  std::string xdg = env("XDG_DATA_HOME");
  return platform::is_absolute_path(xdg) ? xdg : home() + "/.local/share";
}

// The user-dirs file as written by xdg-user-dirs is well under a kilobyte.
constexpr uint64_t kMaxUserDirsBytes = 64 << 10;

std::string desktop_from_user_dirs() {
  const std::string path = config_home() + "/user-dirs.dirs";
  if (!platform::file_exists(path)) return {};
  try {
    const auto bytes = platform::read_file(path, kMaxUserDirsBytes);
    return desktop_in_user_dirs(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), home());
  } catch (const std::exception&) {
    return {};  // unreadable: as if it named no desktop
  }
}

std::string existing_folder(std::string path) {
  while (path.size() > 1 && path.back() == platform::kPathSeparator) path.pop_back();
  if (!platform::folder_exists(path)) return {};
  return path;
}

}  // namespace

std::string desktop_in_user_dirs(std::string_view text, const std::string& home) {
  const std::string_view key = "XDG_DESKTOP_DIR=";
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == '#') continue;
    if (line.compare(start, key.size(), key) != 0) continue;
    std::string value(line.substr(start + key.size()));
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value.replace(0, 5, home);
    if (value.empty() || value.front() != '/') return {};
    return value;
  }
  return {};
}

std::string shell_folder_path(const std::string& name) {
  // Where the system names its shell folders itself (Windows), it is asked.
  if (platform::Shell* sh = platform::services().shell) return sh->folder(name);
  std::string path;
  if (name == "Desktop") {
    path = desktop_from_user_dirs();
    if (path.empty() && !home().empty()) path = home() + "/Desktop";
  } else if (name == platform::kStartMenu) {
    if (!home().empty() || platform::is_absolute_path(env("XDG_DATA_HOME")))
      path = data_home() + "/applications";
  } else if (name == platform::kPrograms) {
    path = shell_folder_path(platform::kStartMenu);
    if (!path.empty()) path += "/Programy";
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string shell_folder(const std::string& name) {
  return existing_folder(shell_folder_path(name));
}

std::string make_shell_folder(const std::string& name) {
  const std::string path = shell_folder_path(name);
  // Never relative to the current folder.
  if (!platform::is_absolute_path(path)) return {};
  platform::make_folders(path);
  return existing_folder(path);
}

}  // namespace shell
