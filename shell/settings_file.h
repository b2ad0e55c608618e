#pragma once
// The settings file "zarnik.ini" that the game and the installer share: a
// list of 8-bit lines ended by CR LF, in the "Windows directory". The game,
// the installer and the uninstaller all read and write it through here.
#include <cstdint>
#include <string>
#include <vector>

namespace shell {

// The settings file's name in its folder.
inline constexpr const char* kSettingsFileName = "zarnik.ini";

// The largest settings file the programs read: far above the 17 lines an
// installation writes, far below what could hurt.
inline constexpr uint64_t kMaxSettingsFileBytes = uint64_t(16) << 20;

// The settings file's full path in the "Windows directory".
std::string settings_file_path();

// Reads all lines (platform::split_lines: lines end at CR LF, CR or LF, and
// reading stops at a zero byte). An absent file, or anything at the path that is not a
// regular file, gives an empty list; a file that cannot be read or is larger
// than kMaxSettingsFileBytes throws std::runtime_error naming it.
std::vector<std::string> read_settings_lines(const std::string& path);

// Whether a line can be written as one line: no CR, LF or zero byte in it.
bool is_single_line(const std::string& line);

// Writes all lines whole (see platform::write_file_atomic). Throws
// std::runtime_error on failure, also for a line that holds a line break or
// a zero byte (it would change the file's lines); the old file is then left
// as it was.
void write_settings_lines(const std::string& path, const std::vector<std::string>& lines);

// The same for the installer and the uninstaller, whose lines are paths and
// numbers: the lines as UTF-8 text, converted at the file's edge from and to
// the system's ANSI code page (platform::to_file_text). Writing throws
// std::runtime_error, leaving the old file as it was, when a line holds a
// character the code page cannot spell.
std::vector<std::string> read_settings_text(const std::string& path);
void write_settings_text(const std::string& path, const std::vector<std::string>& lines);

// The characters of `text` (UTF-8) that the settings file's code page
// cannot spell, each once, in the order met; empty when it spells them all.
std::string unspellable_characters(const std::string& text);

}  // namespace shell
