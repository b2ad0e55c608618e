// The table of the best 15 results: "data.dat" beside the game, each line
// stored with a per-character shift. Two games in one folder share it: every
// write reads the file again under a lock and enters this game's new results
// into what is there.
#include "game/form.h"
#include "game/game_files.h"
#include "game/persistence.h"
#include "platform/files.h"

namespace game {

void TForm1::load_scores() {
  const std::string path = game_dir + kScoreFile;
  if (!platform::file_exists(path)) return;
  // Not while another game replaces it (on Windows a reader would make that
  // replacement fail).
  platform::FileLock lock(path, false);
  for (auto& line : decode_score_file(platform::read_file(path, kMaxScoreFileBytes)))
    score_table.push_back(std::move(line));
}

void TForm1::save_scores() {
  const std::string path = game_dir + kScoreFile;
  platform::FileLock lock(path, true);
  // The file as another game may have left it, with this game's new results
  // entered as add_score entered them here. A file that cannot be read is
  // replaced by the table as this game has it.
  try {
    std::vector<std::string> merged;
    if (platform::file_exists(path))
      merged = decode_score_file(platform::read_file(path, kMaxScoreFileBytes));
    for (const auto& [name, score] : unsaved_scores_) insert_score(merged, name, score);
    score_table = std::move(merged);
  } catch (const std::exception&) {}
  platform::write_file_atomic(path, encode_score_file(score_table));
  unsaved_scores_.clear();
}

void TForm1::add_score(const std::string& name, uint16_t score) {
  insert_score(score_table, name, score);
  unsaved_scores_.emplace_back(name, score);
  // Written at once, so a crash or a power cut later in the evening loses
  // nothing. A failure leaves the result for the next write.
  try {
    save_scores();
  } catch (const std::exception&) {}
}

}  // namespace game
