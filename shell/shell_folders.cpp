#include "shell/shell_folders.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/services.h"
#include "platform/shell.h"

namespace shell {

namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : std::string();
}

std::string home() { return env("HOME"); }

std::string config_home() {
  std::string xdg = env("XDG_CONFIG_HOME");
  return xdg.empty() ? home() + "/.config" : xdg;
}

std::string data_home() {
  std::string xdg = env("XDG_DATA_HOME");
  return xdg.empty() ? home() + "/.local/share" : xdg;
}

// XDG_DESKTOP_DIR from user-dirs.dirs: a shell-style assignment whose value
// is either "$HOME/..." or an absolute path. Empty when not set there.
std::string desktop_from_user_dirs() {
  std::ifstream in(config_home() + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=";
  while (std::getline(in, line)) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    if (line.compare(start, key.size(), key) != 0) continue;
    std::string value = line.substr(start + key.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home() + value.substr(5);
    if (value.empty() || value.front() != '/') return {};
    return value;
  }
  return {};
}

std::string existing_folder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_directory(path, ec)) return {};
  return path;
}

}  // namespace

std::string shell_folder(const std::string& name) {
  // Where the system names its shell folders itself (Windows), it is asked.
  if (platform::Shell* sh = platform::services().shell) return sh->folder(name);
  if (name == "Desktop") {
    std::string desk = desktop_from_user_dirs();
    if (desk.empty() && !home().empty()) desk = home() + "/Desktop";
    return existing_folder(desk);
  }
  if (name == "Start Menu") {
    if (home().empty() && env("XDG_DATA_HOME").empty()) return {};
    return existing_folder(data_home() + "/applications");
  }
  return {};
}

}  // namespace shell
