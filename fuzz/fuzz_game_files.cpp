// Feeds arbitrary bytes to the game as its two line files: the settings
// file (display mode, player name, shortcut, the installer's lines) and the
// score file, split at the first bytes' count. The game is started on the
// headless backend, shows a menu frame with the name field and one with the
// score list (the names read from the files are drawn), and is closed.
//  - It either starts in a mode the display offers, or ends with a message.
//  - The written settings file holds the game's four lines, then every line
//    read after the fourth unchanged; its name is the one read, bounded.
//  - The written score file reads back as the table the game had.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "game/persistence.h"
#include "harness/game_driver.h"
#include "platform/files.h"
#include "shell/settings_file.h"

namespace {

namespace fs = std::filesystem;

std::string game_dir() {
  static const std::string dir = [] {
    const std::string d =
        (fs::temp_directory_path() / ("zarnik-fuzz-game-" + std::to_string(::getpid()))).string();
    fs::create_directories(d);
    game_driver::write_data_files(d);
    return d;
  }();
  return dir;
}

void put(const std::string& path, const uint8_t* data, size_t size) {
  platform::write_file_atomic(path, std::vector<uint8_t>(data, data + size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t split = std::min<size_t>(size - 2, data[0] | (data[1] << 8));
  const uint8_t* settings = data + 2;
  const uint8_t* scores = settings + split;
  const size_t scores_size = size - 2 - split;

  game_driver::Options o;
  o.game_dir = game_dir();
  o.write_data = false;
  o.write_settings = false;
  game_driver::GameDriver d(o);
  put(d.settings_path(), settings, split);
  put(d.game_dir() + "/data.dat", scores, scores_size);
  const std::vector<std::string> read = shell::read_settings_lines(d.settings_path());
  const std::vector<std::string> table =
      game::decode_score_file(std::vector<uint8_t>(scores, scores + scores_size));

  if (!d.create()) {
    if (d.backend().system.error_boxes.empty()) std::abort();  // a failure says why
    return 0;
  }
  bool offered = false;
  for (const auto& m : d.backend().display.mode_list)
    offered |= m.width == d.form().W() && m.height == d.form().H();
  if (!offered) std::abort();
  if (d.form().score_table != table) std::abort();

  d.form().game.splash_frames = 250;  // straight to the menu
  d.tick(1);
  d.form().game.scores_shown = 1;
  d.tick(1);
  d.close_window();

  const std::vector<std::string> written = shell::read_settings_lines(d.settings_path());
  if (written.size() != std::max<size_t>(read.size(), 4)) std::abort();
  if (written[0] != std::to_string(d.form().W()) || written[1] != std::to_string(d.form().H()))
    std::abort();
  const std::string name = read.size() > 2 ? read[2] : "";
  if (written[2] != std::string(game::bounded_name(name))) std::abort();
  for (size_t i = 4; i < read.size(); ++i)
    if (written[i] != read[i]) std::abort();
  // The score line text of a name the settings file gave may have been made
  // safe for the file; the table itself reads back as the game had it.
  if (game::decode_score_file(platform::read_file(d.game_dir() + "/data.dat")) !=
      d.form().score_table)
    std::abort();
  return 0;
}
