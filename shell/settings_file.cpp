#include "shell/settings_file.h"

#include <stdexcept>

#include "platform/files.h"

namespace shell {

std::string settings_file_path() {
  return platform::settings_directory() + platform::kPathSeparator + "zarnik.ini";
}

std::vector<std::string> read_settings_lines(const std::string& path) {
  if (!platform::file_exists(path)) return {};
  return platform::split_lines(platform::read_file(path, kMaxSettingsFileBytes));
}

bool is_single_line(const std::string& line) {
  return line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

void write_settings_lines(const std::string& path, const std::vector<std::string>& lines) {
  for (const auto& line : lines)
    if (!is_single_line(line))
      throw std::runtime_error("Cannot write file \"" + path + "\": a line holds a line break");
  platform::write_file_atomic(path, platform::join_lines(lines));
}

}  // namespace shell
