#pragma once
// The settings file "zarnik.ini" that the game and the installer share: a
// list of 8-bit lines ended by CR LF, in the "Windows directory".
#include <string>
#include <vector>

namespace shell {

// The settings file's full path in the "Windows directory".
std::string settings_file_path();

// Reads all lines; an absent file gives an empty list. Throws
// std::runtime_error when the file exists but cannot be read.
std::vector<std::string> read_settings_lines(const std::string& path);

// Writes all lines whole (temporary file, then rename). Throws
// std::runtime_error on failure; the old file is then left as it was.
void write_settings_lines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace shell
