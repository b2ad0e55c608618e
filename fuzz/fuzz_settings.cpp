// Feeds arbitrary bytes to the settings file reader as the game uses it:
// split into lines, repaired, updated at close and written back. The
// repaired width and height must be usable numbers, the lines after the
// fourth must pass through untouched, and what is written must read back
// as the same lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/persistence.h"
#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines = platform::split_lines(std::vector<uint8_t>(data, data + size));
  const std::vector<std::string> read = lines;
  game::repair_settings_lines(lines);
  if (lines.size() < 3) std::abort();
  if (!game::is_positive_decimal(lines[0]) || !game::is_positive_decimal(lines[1])) std::abort();
  if (std::stoll(lines[0]) > INT32_MAX || std::stoll(lines[1]) > INT32_MAX) std::abort();
  for (size_t i = 3; i < read.size(); ++i)
    if (lines[i] != read[i]) std::abort();

  game::update_settings_lines(lines, std::stoi(lines[0]), std::stoi(lines[1]), lines[2],
                              "/home/hráč/zarnik/zarnik.lnk");
  if (lines.size() < 4 || lines.size() != std::max<size_t>(read.size(), 4)) std::abort();
  for (size_t i = 4; i < read.size(); ++i)
    if (lines[i] != read[i]) std::abort();
  // A line holding a CR or LF of its own cannot come from splitting, so the
  // lines must survive the round trip through the file's bytes.
  if (platform::split_lines(platform::join_lines(lines)) != lines) std::abort();
  return 0;
}
