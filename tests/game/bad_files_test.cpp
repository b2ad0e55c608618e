// Damaged, foreign and oversized data files, as a user might leave them
// beside the game: the game tells which file is wrong, never crashes, and
// never writes a bad file over a good one.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "game/persistence.h"
#include "harness/game_driver.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;
using game_driver::GameDriver;
using Lines = std::vector<std::string>;

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> b(n);
  for (auto& c : b) c = static_cast<uint8_t>(rng());
  return b;
}

void put(const std::string& path, const std::vector<uint8_t>& bytes) {
  platform::write_file_atomic(path, bytes);
}

std::string only_error(GameDriver& d) {
  const auto& boxes = d.backend().system.error_boxes;
  if (boxes.size() != 1) return "<" + std::to_string(boxes.size()) + " error boxes>";
  return boxes[0].text;
}

// Brings the game from the splash into a new game with the keyboard.
void start_game(GameDriver& d) {
  d.tick(250);
  for (int i = 0; i < 4 && d.form().game.start_selected != 1; ++i) d.press(game_driver::kDown);
  d.press(game_driver::kEnter);
}

// A data file the start-up reads that is missing, empty or of the other
// kind: start-up stops with a message naming that file, and the settings
// and scores on disk stay exactly as they were.
TEST(BadFiles, AStartUpContainerMissingEmptyOrOfTheOtherKindIsNamedAndNothingIsWritten) {
  const Lines settings{"800", "600", "EVA", "/x/zarnik.lnk", "installer line"};
  const std::vector<uint8_t> scores = game::encode_score_file({"500", "EVA"});
  struct Case {
    const char* what;
    const char* file;
    std::function<void(const std::string&)> spoil;
  };
  const std::vector<Case> cases = {
      {"sounds missing", "zvuk.xxx", [](const std::string& dir) { fs::remove(dir + "/zvuk.xxx"); }},
      {"sounds empty", "zvuk.xxx", [](const std::string& dir) { put(dir + "/zvuk.xxx", {}); }},
      {"menu pictures empty", "menu.xxx",
       [](const std::string& dir) { put(dir + "/menu.xxx", {}); }},
      {"pictures in place of the sounds", "zvuk.xxx",
       [](const std::string& dir) {
         put(dir + "/zvuk.xxx", platform::read_file(dir + "/menu.xxx"));
       }},
      {"sounds in place of the menu pictures", "menu.xxx",
       [](const std::string& dir) {
         put(dir + "/menu.xxx", platform::read_file(dir + "/zvuk.xxx"));
       }},
      {"random bytes as the sounds", "zvuk.xxx",
       [](const std::string& dir) { put(dir + "/zvuk.xxx", random_bytes(5000, 3)); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    game_driver::Options o;
    o.settings = settings;
    GameDriver d(o);
    put(d.game_dir() + "/data.dat", scores);
    c.spoil(d.game_dir());
    EXPECT_FALSE(d.create());
    EXPECT_TRUE(d.terminated());
    const std::string text = only_error(d);
    EXPECT_NE(text.find(c.file), std::string::npos)
        << "the message does not name the file: " << text;
    d.form().Close();
    EXPECT_EQ(platform::split_lines(platform::read_file(d.settings_path())), settings);
    EXPECT_EQ(platform::read_file(d.game_dir() + "/data.dat"), scores);
  }
}

// The game's pictures are read only when a game starts. Missing, empty or
// the sound container under their name: the message names the file, the
// game closes in order, and the settings and scores are saved as usual.
TEST(BadFiles, GamePicturesMissingEmptyOrOfTheOtherKindCloseTheGameInOrder) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> spoil;
  };
  const std::vector<Case> cases = {
      {"missing", [](const std::string& dir) { fs::remove(dir + "/obrazky.xxx"); }},
      {"empty", [](const std::string& dir) { put(dir + "/obrazky.xxx", {}); }},
      {"zvuk.xxx renamed",
       [](const std::string& dir) {
         put(dir + "/obrazky.xxx", platform::read_file(dir + "/zvuk.xxx"));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GameDriver d;
    put(d.game_dir() + "/data.dat", game::encode_score_file({"500", "EVA"}));
    ASSERT_TRUE(d.create());
    d.form().game.player_name = "ADAM";
    c.spoil(d.game_dir());
    start_game(d);
    EXPECT_TRUE(d.form().Closed());
    EXPECT_TRUE(d.terminated());
    const std::string text = only_error(d);
    EXPECT_NE(text.find("obrazky.xxx"), std::string::npos)
        << "the message does not name the file: " << text;
    EXPECT_EQ(platform::split_lines(platform::read_file(d.settings_path()))[2], "ADAM");
    EXPECT_EQ(game::decode_score_file(platform::read_file(d.game_dir() + "/data.dat")),
              (Lines{"500", "EVA"}));
  }
}

// Garbage in the settings file: the game runs at the default size, and at
// close the first four lines are the game's again while every later line is
// written back as it was read.
TEST(BadFiles, GarbageSettingsGiveDefaultsAndKeepTheInstallersLines) {
  game_driver::Options o;
  o.write_settings = false;
  GameDriver d(o);
  std::vector<uint8_t> garbage = random_bytes(4096, 11);
  for (auto& c : garbage)
    if (c == 0) c = 1;  // a zero byte would end the file early
  put(d.settings_path(), garbage);
  const Lines read = platform::split_lines(garbage);
  ASSERT_GT(read.size(), 5u);
  ASSERT_TRUE(d.create());
  EXPECT_EQ(d.form().DXDraw1.Width(), 800);
  EXPECT_EQ(d.form().DXDraw1.Height(), 600);
  d.tick(300);
  d.close_window();
  EXPECT_TRUE(d.backend().system.error_boxes.empty());
  const Lines written = platform::split_lines(platform::read_file(d.settings_path()));
  ASSERT_EQ(written.size(), read.size());
  EXPECT_EQ(written[0], "800");
  EXPECT_EQ(written[1], "600");
  EXPECT_EQ(written[3], d.game_dir() + platform::kPathSeparator + "zarnik.lnk");
  for (size_t i = 4; i < read.size(); ++i) EXPECT_EQ(written[i], read[i]) << "line " << i + 1;
}

// A score file of random bytes, small and of 10 MB: the game starts, shows
// the score list, plays and ends a game, and the file written at close holds
// the table the game had, with the new result among the best 15.
TEST(BadFiles, ARandomScoreFileSmallOrHugeNeverStopsTheGame) {
  for (const size_t size : {size_t(4096), size_t(10) << 20}) {
    SCOPED_TRACE(size);
    GameDriver d;
    put(d.game_dir() + "/data.dat", random_bytes(size, 5));
    ASSERT_TRUE(d.create());
    d.tick(250);
    // The score list with the file's many entries: a few frames of it must
    // not take long (a hang would show as a timeout here).
    d.form().game.scores_shown = 1;
    const auto t0 = std::chrono::steady_clock::now();
    d.tick(3);
    const double list_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(list_seconds, 2.0) << "three frames of the score list";
    d.press(game_driver::kEsc);
    ASSERT_EQ(d.form().game.scores_shown, 0);

    start_game(d);
    ASSERT_EQ(d.form().game.in_menu, 0);
    d.tick(100);
    d.form().game.score = 60000;
    d.press(game_driver::kEsc);
    ASSERT_EQ(d.form().game.in_menu, 1);
    const Lines table = d.form().score_table;
    ASSERT_LE(table.size(), 30u);
    EXPECT_EQ(table[0], "60000");
    d.close_window();
    EXPECT_TRUE(d.backend().system.error_boxes.empty());
    EXPECT_EQ(game::decode_score_file(platform::read_file(d.game_dir() + "/data.dat")), table);
  }
}

}  // namespace
