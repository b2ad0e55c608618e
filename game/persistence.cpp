#include "game/persistence.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

#include "platform/files.h"
#include "shell/settings_file.h"

namespace game {

bool is_positive_decimal(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && end == s.data() + s.size() && value > 0;
}

void repair_settings_lines(std::vector<std::string>& lines) {
  if (lines.size() < 1) lines.emplace_back(kDefaultWidth);
  if (lines.size() < 2) lines.emplace_back(kDefaultHeight);
  if (lines.size() < 3) lines.emplace_back();
  if (!is_positive_decimal(lines[0])) lines[0] = kDefaultWidth;
  if (!is_positive_decimal(lines[1])) lines[1] = kDefaultHeight;
  if (lines[2].size() > kMaxFileNameLength) lines[2].resize(kMaxFileNameLength);
}

void update_settings_lines(std::vector<std::string>& lines, int width, int height,
                           const std::string& player_name, const std::string& shortcut_path) {
  while (lines.size() < 3) lines.emplace_back();
  lines[0] = std::to_string(width);
  lines[1] = std::to_string(height);
  lines[2] = player_name;
  // The line holds the path in the file's code page (the file's edge).
  std::string line;
  const bool writable =
      shell::is_single_line(shortcut_path) && platform::to_file_text(shortcut_path, line);
  if (lines.size() == 3)
    lines.push_back(writable ? line : std::string());
  else if (writable)
    lines[3] = line;
}

std::string shift_line(std::string_view plain) {
  std::string out(plain);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(static_cast<uint8_t>(out[i]) + static_cast<uint8_t>(i + 1));
  return out;
}

std::string unshift_line(std::string_view stored) {
  std::string out(stored);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(static_cast<uint8_t>(out[i]) - static_cast<uint8_t>(i + 1));
  return out;
}

std::vector<std::string> decode_score_file(const std::vector<uint8_t>& bytes) {
  // A zero byte is damage inside one line: the line is kept as it is (a
  // score line that is no number ranks as 0), and every line after it is
  // read as usual, rather than the table being cut there.
  std::vector<std::string> lines =
      platform::split_lines(bytes, kMaxScoreFileLines, /*stop_at_zero=*/false);
  for (auto& l : lines) l = unshift_line(l);
  return lines;
}

std::vector<uint8_t> encode_score_file(const std::vector<std::string>& lines) {
  std::vector<std::string> shifted;
  shifted.reserve(lines.size());
  for (const auto& l : lines) shifted.push_back(shift_line(l));
  return platform::join_lines(shifted);
}

namespace {
bool shifts_badly(uint8_t c, size_t position) {
  const uint8_t stored = static_cast<uint8_t>(c + static_cast<uint8_t>(position));
  return stored == 0 || stored == '\r' || stored == '\n';
}
}  // namespace

std::string score_safe_name(std::string_view name) {
  std::string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    const size_t p = i + 1;
    if (!shifts_badly(static_cast<uint8_t>(out[i]), p)) continue;
    out[i] = shifts_badly('?', p) ? ' ' : '?';
  }
  return out;
}

int64_t score_value(std::string_view line) {
  std::string_view s = line;
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return 0;
  for (char c : s)
    if (c < '0' || c > '9') return 0;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return 0;
  return negative ? -value : value;
}

void insert_score(std::vector<std::string>& table, std::string_view name, uint16_t score) {
  const size_t old_entries = table.size() / 2;
  std::vector<std::string> scores, names;
  std::vector<int64_t> values;
  scores.reserve(old_entries + 1);
  names.reserve(old_entries + 1);
  for (size_t k = 0; k < old_entries; ++k) {
    scores.push_back(std::move(table[2 * k]));
    names.push_back(std::move(table[2 * k + 1]));
  }
  scores.push_back(std::to_string(score));
  names.push_back(score_safe_name(name));
  values.reserve(scores.size());
  for (const auto& s : scores) values.push_back(score_value(s));

  // Exchange sort, best first. Equal scores never swap with each other, so a
  // new score lands after the equal ones; two older equal entries can still
  // change places when a higher score moves past them. Round i settles
  // position i for good and later rounds touch only positions after it, so
  // the first 15 rounds give the 15 entries that are kept exactly as the
  // whole sort would.
  const size_t n = scores.size();
  const size_t kept = std::min<size_t>(n, kMaxScoreEntries);
  for (size_t i = 0; i < kept; ++i)
    for (size_t j = i + 1; j < n; ++j)
      if (values[i] < values[j]) {
        std::swap(values[i], values[j]);
        std::swap(scores[i], scores[j]);
        std::swap(names[i], names[j]);
      }

  table.clear();
  for (size_t k = 0; k < kept; ++k) {
    table.push_back(std::move(scores[k]));
    table.push_back(std::move(names[k]));
  }
}

}  // namespace game
