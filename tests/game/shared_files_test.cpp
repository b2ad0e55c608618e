// What the game keeps at once, not only at close: the name when its editing
// ends or the window loses the focus, and the score table merged so that a
// backend whose games keep copies of the file (browser tabs) can make the
// same merge on the copy they share and tell the game when another changed
// it.
#include "platform/shared_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "game/persistence.h"
#include "harness/game_driver.h"
#include "platform/files.h"
#include "platform/services.h"
#include "shell/settings_file.h"

namespace {

namespace fs = std::filesystem;
using game_driver::GameDriver;
using Lines = std::vector<std::string>;

// A game folder of the test's own, removed when the test ends: declared
// before the driver, it goes after the game has closed its files (Windows
// removes no folder that an open file or the current directory is in).
struct FreshDir {
  explicit FreshDir(const char* name)
      : path((fs::temp_directory_path() / (std::string("zarnik-kept-") + name)).string()) {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~FreshDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string path;
};

// The merges the game hands on, as a backend with a shared copy takes them.
struct SharedCopy : platform::SharedFiles {
  std::vector<std::pair<std::string, platform::FileMerge>> merges;
  void merged(const std::string& path, platform::FileMerge merge) override {
    merges.emplace_back(path, std::move(merge));
  }
};

void start_game(GameDriver& d) {
  for (int i = 0; i < 4 && d.form().game.start_selected != 1; ++i) d.press(game_driver::kDown);
  d.press(game_driver::kEnter);
}

TEST(KeptAtOnce, TheNameIsWrittenWhenItsEditingEndsAndWhenTheWindowLosesTheFocus) {
  game_driver::Options o;
  const FreshDir dir("name");
  o.game_dir = dir.path;
  GameDriver d(o);
  ASSERT_TRUE(d.create());
  d.tick(250);
  d.move_to(740, 528);
  d.double_click();  // the field emptied, editing on
  d.type("JAN");
  EXPECT_EQ(shell::read_settings_lines(d.settings_path())[2], "");  // still typing
  d.press(game_driver::kEnter);
  EXPECT_EQ(shell::read_settings_lines(d.settings_path())[2], "JAN");
  // Typing again; another window takes the focus before Enter.
  d.double_click();
  d.type("EVA");
  platform::Event e;
  e.type = platform::EventType::Deactivate;
  d.send(e);
  EXPECT_EQ(shell::read_settings_lines(d.settings_path())[2], "EVA");
}

TEST(KeptAtOnce, TheScoreMergeIsHandedOnAndMakesTheSameResultOnAnotherCopy) {
  game_driver::Options o;
  const FreshDir dir("merge");
  o.game_dir = dir.path;
  GameDriver d(o);
  ASSERT_TRUE(d.create());
  SharedCopy shared;
  platform::services().shared_files = &shared;
  d.tick(250);
  d.form().game.player_name = "KAREL";
  start_game(d);
  d.tick(5);
  d.form().game.score = 650;
  d.press(game_driver::kEsc);  // the result entered and written
  platform::services().shared_files = nullptr;
  ASSERT_EQ(shared.merges.size(), 1u);
  // The game folder as the game holds it: with its own separator at the end.
  EXPECT_EQ(shared.merges[0].first, d.form().game_dir + "data.dat");
  EXPECT_EQ(d.form().game_dir.substr(0, o.game_dir.size()), o.game_dir);
  // The copy other games share holds results this game never saw.
  const std::vector<uint8_t> other = game::encode_score_file({"900", "BARA", "100", "EVA"});
  EXPECT_EQ(game::decode_score_file(shared.merges[0].second(&other)),
            (Lines{"900", "BARA", "650", "KAREL", "100", "EVA"}));
  // A copy that cannot be read gets the table as this game has it.
  EXPECT_EQ(game::decode_score_file(shared.merges[0].second(nullptr)), (Lines{"650", "KAREL"}));
}

TEST(KeptAtOnce, AnotherGamesChangeOfTheFileReachesTheTableShown) {
  game_driver::Options o;
  const FreshDir dir("reload");
  o.game_dir = dir.path;
  GameDriver d(o);
  ASSERT_TRUE(d.create());
  d.tick(250);
  platform::write_file_atomic(o.game_dir + "/data.dat", game::encode_score_file({"900", "BARA"}));
  EXPECT_TRUE(d.form().score_table.empty());
  platform::Event e;
  e.type = platform::EventType::SharedFileChanged;
  d.send(e);
  EXPECT_EQ(d.form().score_table, (Lines{"900", "BARA"}));
}

}  // namespace
