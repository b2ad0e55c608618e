#include "shell/settings_file.h"

#include <stdexcept>

#include "platform/files.h"

namespace shell {

std::string settings_file_path() {
  return platform::settings_directory() + platform::kPathSeparator + kSettingsFileName;
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

std::vector<std::string> read_settings_text(const std::string& path) {
  std::vector<std::string> lines = read_settings_lines(path);
  for (auto& line : lines) line = platform::from_file_text(line);
  return lines;
}

void write_settings_text(const std::string& path, const std::vector<std::string>& lines) {
  std::vector<std::string> file_lines(lines.size());
  for (size_t i = 0; i < lines.size(); ++i)
    if (!platform::to_file_text(lines[i], file_lines[i]))
      throw std::runtime_error("Soubor \"" + path + "\" nelze zapsat: znaky \"" +
                               unspellable_characters(lines[i]) +
                               "\" nelze zapsat v kódové stránce systému");
  write_settings_lines(path, file_lines);
}

std::string unspellable_characters(const std::string& text) {
  std::string out, spelled;
  for (size_t i = 0; i < text.size();) {
    // One UTF-8 sequence: its lead byte tells its length.
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    const std::string character = text.substr(i, length);
    i += length;
    if (!platform::to_file_text(character, spelled) && out.find(character) == std::string::npos)
      out += character;
  }
  return out;
}

}  // namespace shell
