// Feeds arbitrary bytes to the high-score file reader as the game uses it:
// decoded into table lines (no more than kMaxScoreFileLines), one result
// inserted, encoded and read back. The table must keep at most the best 15
// entries in order, the new name must survive, and the written file must
// read back as the same table. A game's write enters its results into the
// file as read again: for a game alone that must give exactly the table it
// shows (the result inserted into the file it wrote, or into the lines it
// read, is the same).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/persistence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // The first bytes choose the score and the name's length; the name is
  // taken from the end, the rest is the file.
  const uint16_t score = uint16_t(data[0] | (data[1] << 8));
  const size_t name_len = std::min<size_t>(data[2] % 24, size - 3);
  const std::string name(reinterpret_cast<const char*>(data + size - name_len), name_len);
  const std::vector<uint8_t> file(data + 3, data + size - name_len);

  std::vector<std::string> table = game::decode_score_file(file);
  if (table.size() > game::kMaxScoreFileLines) std::abort();
  std::vector<std::string> merged = game::decode_score_file(game::encode_score_file(table));
  game::insert_score(table, name, score);
  game::insert_score(merged, name, score);
  if (merged != table) std::abort();
  if (table.size() % 2 != 0 || table.size() > 2 * size_t(game::kMaxScoreEntries)) std::abort();
  for (size_t i = 2; i < table.size(); i += 2)
    if (game::score_value(table[i - 2]) < game::score_value(table[i])) std::abort();

  const std::vector<uint8_t> bytes = game::encode_score_file(table);
  if (game::decode_score_file(bytes) != table) std::abort();
  return 0;
}
