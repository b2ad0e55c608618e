// The table of the best 15 results: "data.dat" beside the game, each line
// stored with a per-character shift. Two games in one folder share it: every
// write reads the file again under a lock and enters this game's new results
// into what is there.
#include "game/form.h"
#include "game/game_files.h"
#include "game/persistence.h"
#include "platform/files.h"
#include "platform/shared_files.h"

namespace game {

namespace {
// The score file's lines, read under its lock (not while another game
// replaces it: on Windows a reader would make that replacement fail).
std::vector<std::string> read_score_file(const std::string& path) {
  if (!platform::file_exists(path)) return {};
  platform::FileLock lock(path, false);
  return decode_score_file(platform::read_file(path, kMaxScoreFileBytes));
}
}  // namespace

void TForm1::load_scores() {
  for (auto& line : read_score_file(game_dir + kScoreFile)) score_table.push_back(std::move(line));
}

void TForm1::reload_scores() {
  // The file as the other game left it, with this game's results that are
  // not written yet.
  std::vector<std::string> table = read_score_file(game_dir + kScoreFile);
  for (const auto& [name, score] : unsaved_scores_) insert_score(table, name, score);
  score_table = std::move(table);
}

void TForm1::save_scores() {
  // The file as another game may have left it, with this game's new results
  // entered as add_score entered them here. A file that cannot be read is
  // replaced by the table as this game has it. The same merge is what a
  // backend whose games keep copies of the file makes on the shared copy.
  const platform::FileMerge merge = [entries = unsaved_scores_,
                                     fallback = score_table](const std::vector<uint8_t>* present) {
    if (!present) return encode_score_file(fallback);
    std::vector<std::string> merged = decode_score_file(*present);
    for (const auto& [name, score] : entries) insert_score(merged, name, score);
    return encode_score_file(merged);
  };
  score_table = decode_score_file(
      platform::merge_shared_file(game_dir + kScoreFile, kMaxScoreFileBytes, merge));
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
