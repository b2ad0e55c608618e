#include "shell/settings_file.h"

#include "platform/files.h"

namespace shell {

std::string settings_file_path() {
  return platform::windows_directory() + platform::kPathSeparator + "zarnik.ini";
}

std::vector<std::string> read_settings_lines(const std::string& path) {
  if (!platform::file_exists(path)) return {};
  return platform::split_lines(platform::read_file(path));
}

void write_settings_lines(const std::string& path, const std::vector<std::string>& lines) {
  platform::write_file_atomic(path, platform::join_lines(lines));
}

}  // namespace shell
