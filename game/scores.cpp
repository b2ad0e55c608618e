// The table of the best 15 results: "data.dat" beside the game, each line
// stored with a per-character shift.
#include "game/form.h"
#include "game/game_files.h"
#include "game/persistence.h"
#include "platform/files.h"

namespace game {

void TForm1::load_scores() {
  const std::string path = game_dir + kScoreFile;
  if (!platform::file_exists(path)) return;
  for (auto& line : decode_score_file(platform::read_file(path, kMaxScoreFileBytes)))
    score_table.push_back(line);
}

void TForm1::save_scores() {
  platform::write_file_atomic(game_dir + kScoreFile, encode_score_file(score_table));
}

void TForm1::add_score(const std::string& name, uint16_t score) {
  insert_score(score_table, name, score);
}

}  // namespace game
