#pragma once
// The game's two small line files: the settings lines ("zarnik.ini") and the
// high-score table ("data.dat"). These are the pure parts of reading,
// repairing and writing them; TForm1 does the file access.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace game {

// Settings lines as the game uses them: 1 width, 2 height, 3 player name,
// 4 the game's shortcut path, 5 and later belong to the installer.
inline constexpr const char* kDefaultWidth = "800";
inline constexpr const char* kDefaultHeight = "600";

// True for a plain positive decimal number that fits in an int ("800";
// not "", "0", "-5", "12x", " 800").
bool is_positive_decimal(std::string_view s);

// Names read from a file (the player name of the settings file, the names
// and scores of the score file) are kept and drawn up to this many
// characters. Typed names are far shorter; only a file edited by hand or
// damaged holds a longer one.
inline constexpr size_t kMaxFileNameLength = 255;

// At most the first kMaxFileNameLength characters of a name.
inline std::string_view bounded_name(std::string_view name) {
  return name.substr(0, kMaxFileNameLength);
}

// Brings settings lines read from a file into a usable state: missing lines
// 1..3 are added, a width or height that is not a positive decimal number is
// replaced by its default, a name longer than kMaxFileNameLength is cut.
// Lines after the fourth are never touched.
void repair_settings_lines(std::vector<std::string>& lines);

// The lines written back at close: width, height and name in lines 1..3,
// the shortcut path in line 4 (appended when there were only three lines),
// every later line as it was. The lines are the file's own 8-bit text: the
// shortcut path (UTF-8) is converted into the system's code page
// (platform::to_file_text). A shortcut path that cannot be a line of the
// file (a line break in it, or a character the code page cannot spell)
// leaves line 4 as it was, or empty when the file had none.
void update_settings_lines(std::vector<std::string>& lines, int width, int height,
                           const std::string& player_name, const std::string& shortcut_path);

// The largest score file the game reads: a million lines fit many times.
inline constexpr uint64_t kMaxScoreFileBytes = uint64_t(64) << 20;
// The most lines of it the game keeps (a table has 30): every line costs a
// string's size even when empty, so 64 MiB of line ends would cost
// gigabytes. Reading stops there.
inline constexpr size_t kMaxScoreFileLines = size_t(1) << 20;

// The per-character shift of the score file: position p (from 1) of a line
// is stored as (c + p) mod 256 and read back as (c - p) mod 256.
std::string shift_line(std::string_view plain);
std::string unshift_line(std::string_view stored);

// The score file's bytes to table lines: reading stops after
// kMaxScoreFileLines lines, lines end at CR LF, CR or LF, each line is
// unshifted. A zero byte, which the game never writes, is kept as a
// character of its line: a damaged entry stays as it is (and is written back
// so), and the entries after it are not lost.
std::vector<std::string> decode_score_file(const std::vector<uint8_t>& bytes);
// Table lines to the file's bytes: each line shifted, every line ended by CR LF.
std::vector<uint8_t> encode_score_file(const std::vector<std::string>& lines);

// A name made safe for the score file: a character that the shift would turn
// into CR, LF or a zero byte (possible only for names edited by hand in the
// settings file) becomes '?' (or a space where '?' itself would shift badly).
std::string score_safe_name(std::string_view name);

// The value a stored score line ranks with: its decimal value, or 0 when the
// line is not a number.
int64_t score_value(std::string_view line);

// Inserts one entry into the table (score line, then name line, best first)
// and keeps the best 15: the new entry goes last, then an exchange sort moves
// a score ahead of every strictly lower one. A trailing odd line is dropped.
// Only the sort's first 15 rounds are run (the later ones order entries that
// are dropped), so the time grows linearly with the table.
void insert_score(std::vector<std::string>& table, std::string_view name, uint16_t score);

inline constexpr int kMaxScoreEntries = 15;

}  // namespace game
