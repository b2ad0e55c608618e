// Faults around the game's files: a disk that takes no more bytes, folders
// the game may not write to, a process killed while it saves or right after
// a game, and two games in one folder ending games at the same moment.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "game/persistence.h"
#include "harness/game_driver.h"
#include "platform/files.h"
#include "shell/settings_file.h"

namespace {

namespace fs = std::filesystem;
using game_driver::GameDriver;
using Lines = std::vector<std::string>;

const Lines kSettings{"800", "600", "EVA", "/old/zarnik.lnk", "installer line"};
const Lines kScores{"700", "EVA", "300", "PETR"};

std::string fresh_dir(const char* name) {
  const std::string dir = (fs::temp_directory_path() /
                           (std::string("zarnik-proof-") + name + "-" + std::to_string(::getpid())))
                              .string();
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Temporary files of a save of `name` in a folder (left over when the save
// was cut off).
int temporaries_of(const std::string& dir, const std::string& name) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir))
    n += e.path().filename().string().rfind("." + name + ".", 0) == 0;
  return n;
}

// The disk fills up just as the game closes: every file it writes fails.
// The failures are shown in one box, the old files are intact and no
// half-written temporary file is left behind.
TEST(Faults, AFullDiskAtCloseIsReportedAndTheOldFilesStay) {
  game_driver::Options o;
  o.settings = kSettings;
  GameDriver d(o);
  platform::write_file_atomic(d.game_dir() + "/data.dat", game::encode_score_file(kScores));
  const auto old_settings = platform::read_file(d.settings_path());
  const auto old_scores = platform::read_file(d.game_dir() + "/data.dat");
  ASSERT_TRUE(d.create());
  d.tick(250);
  d.form().game.player_name = "ADAM";
  d.form().add_score("ADAM", 900);
  // The result went to disk at once; the full disk comes after.
  const auto old_scores_with_adam = platform::read_file(d.game_dir() + "/data.dat");
  EXPECT_NE(old_scores_with_adam, old_scores);

  // Files may grow to 8 bytes; a write past that fails as on a full disk
  // (with the signal that would end the process ignored, as the write's
  // error is what the game handles).
  struct rlimit old_limit;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 8;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  d.close_window();
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);

  EXPECT_TRUE(d.terminated());
  ASSERT_EQ(d.backend().system.error_boxes.size(), 1u);
  const std::string& text = d.backend().system.error_boxes[0].text;
  EXPECT_NE(text.find("zarnik.ini"), std::string::npos) << text;
  EXPECT_NE(text.find("data.dat"), std::string::npos) << text;
  EXPECT_EQ(platform::read_file(d.settings_path()), old_settings);
  EXPECT_EQ(platform::read_file(d.game_dir() + "/data.dat"), old_scores_with_adam);
  EXPECT_EQ(temporaries_of(d.game_dir(), "data.dat"), 0);
  EXPECT_EQ(temporaries_of(fs::path(d.settings_path()).parent_path().string(), "zarnik.ini"), 0);
}

// The disk is full when a game ends: the result cannot be written then, but
// it is kept, and the close writes it once there is room again.
TEST(Faults, AResultTheFullDiskRefusedIsWrittenAtClose) {
  GameDriver d;
  platform::write_file_atomic(d.game_dir() + "/data.dat", game::encode_score_file(kScores));
  const auto old_scores = platform::read_file(d.game_dir() + "/data.dat");
  ASSERT_TRUE(d.create());
  d.tick(250);
  struct rlimit old_limit;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 8;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  d.form().add_score("ADAM", 900);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(platform::read_file(d.game_dir() + "/data.dat"), old_scores);
  EXPECT_TRUE(d.backend().system.error_boxes.empty()) << "a game's end shows no box";
  d.close_window();
  EXPECT_EQ(game::decode_score_file(platform::read_file(d.game_dir() + "/data.dat")),
            (Lines{"900", "ADAM", "700", "EVA", "300", "PETR"}));
}

// A game ended with Esc (its result entered), then the process is killed:
// the result is on disk.
TEST(Faults, AKillRightAfterAGameEndedKeepsItsScore) {
  const std::string dir = fresh_dir("kill-after-game");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    game_driver::Options o;
    o.game_dir = dir;
    GameDriver d(o);
    if (!d.create()) ::_exit(11);
    d.tick(250);
    d.form().game.player_name = "KAREL";
    for (int i = 0; i < 4 && d.form().game.start_selected != 1; ++i) d.press(game_driver::kDown);
    d.press(game_driver::kEnter);
    if (d.form().game.in_menu != 0) ::_exit(12);
    d.tick(20);
    d.form().game.score = 4321;
    d.press(game_driver::kEsc);
    ::kill(::getpid(), SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  const Lines table = game::decode_score_file(platform::read_file(dir + "/data.dat"));
  EXPECT_EQ(table, (Lines{"4321", "KAREL"}));
  fs::remove_all(dir);
}

// Two games run in one folder; each ends a game at nearly the same moment
// (up to 3 ms apart) and then closes. Both results are in the file, in the
// table's order, in every one of ten rounds.
TEST(Faults, TwoGamesInOneFolderEndingGamesAtOnceKeepBothResults) {
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    const std::string dir = fresh_dir("two-games");
    game_driver::write_data_files(dir);
    platform::write_file_atomic(dir + "/data.dat", game::encode_score_file(kScores));
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[2];
    for (int k = 0; k < 2; ++k) {
      children[k] = ::fork();
      ASSERT_GE(children[k], 0);
      if (children[k] != 0) continue;
      ::close(go[1]);
      game_driver::Options o;
      o.game_dir = dir;
      o.write_data = false;
      o.config_dir = dir + "/config" + std::to_string(k);
      GameDriver d(o);
      if (!d.create()) ::_exit(11);
      d.tick(250);
      for (int i = 0; i < 4 && d.form().game.start_selected != 1; ++i) d.press(game_driver::kDown);
      d.press(game_driver::kEnter);
      if (d.form().game.in_menu != 0) ::_exit(12);
      d.tick(5);
      d.form().game.player_name = k == 0 ? "PRVNI" : "DRUHY";
      d.form().game.score = uint16_t(500 + k);
      char byte;
      if (::read(go[0], &byte, 1) != 1) ::_exit(13);
      std::this_thread::sleep_for(std::chrono::microseconds(k * round * 300));
      d.press(game_driver::kEsc);  // back to the menu: the result is entered
      if (d.form().game.in_menu != 1) ::_exit(14);
      d.press(game_driver::kEsc);  // and the game closes
      ::_exit(d.terminated() ? 0 : 15);
    }
    ::close(go[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // both in play
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    ::close(go[1]);
    for (const pid_t c : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(c, &status, 0), c);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0) << "11 start-up, 12 no game, 13 no go, 14 no menu, "
                                           "15 not closed";
    }
    EXPECT_EQ(game::decode_score_file(platform::read_file(dir + "/data.dat")),
              (Lines{"700", "EVA", "501", "DRUHY", "500", "PRVNI", "300", "PETR"}));
    fs::remove_all(dir);
  }
}

// The game's folder and the settings folder are read-only at close. The game
// runs as an ordinary user in a child process (root would write anyway); it
// must show the failures, end normally, and leave both files as they were.
TEST(Faults, ReadOnlyFoldersAtCloseAreReportedAndTheOldFilesStay) {
  const std::string game_dir = fresh_dir("ro");
  const std::string config_dir = game_dir + "/config";
  fs::create_directories(config_dir);
  game_driver::write_data_files(game_dir);
  shell::write_settings_lines(config_dir + "/zarnik.ini", kSettings);
  platform::write_file_atomic(game_dir + "/data.dat", game::encode_score_file(kScores));
  const auto old_settings = platform::read_file(config_dir + "/zarnik.ini");
  const auto old_scores = platform::read_file(game_dir + "/data.dat");
  for (const auto& e : fs::recursive_directory_iterator(game_dir))
    ::chmod(e.path().c_str(), e.is_directory() ? 0555 : 0444);
  ::chmod(game_dir.c_str(), 0555);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Exit codes tell the parent which check failed.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
    game_driver::Options o;
    o.game_dir = game_dir;
    o.config_dir = config_dir;
    o.write_settings = false;
    o.write_data = false;
    int code = 0;
    {
      GameDriver d(o);
      if (!d.create()) ::_exit(11);
      d.tick(300);
      d.form().game.player_name = "ADAM";
      d.form().add_score("ADAM", 900);
      d.close_window();
      if (!d.terminated()) code = 12;
      const auto& boxes = d.backend().system.error_boxes;
      if (boxes.size() != 1)
        code = 13;
      else if (boxes[0].text.find("zarnik.ini") == std::string::npos ||
               boxes[0].text.find("data.dat") == std::string::npos ||
               boxes[0].text.find("zarnik.lnk") == std::string::npos)
        code = 14;
    }
    ::_exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the game did not end normally";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10 user switch, 11 start-up, 12 did not end, "
                                       "13 not one error box, 14 a file not named";
  EXPECT_EQ(platform::read_file(config_dir + "/zarnik.ini"), old_settings);
  EXPECT_EQ(platform::read_file(game_dir + "/data.dat"), old_scores);
  ::chmod(game_dir.c_str(), 0755);
  for (const auto& e : fs::recursive_directory_iterator(game_dir)) ::chmod(e.path().c_str(), 0755);
  fs::remove_all(game_dir);
}

// A process that saves the score table and the settings over and over is
// killed at random moments. Whenever it dies, each file holds either the
// old contents or the new, never a mix or a truncated file. What a kill
// leaves behind is removed by the next save of the same file.
TEST(Faults, AProcessKilledWhileSavingLeavesTheOldFileOrTheNewOne) {
  const std::string dir = fresh_dir("kill");
  const std::string scores_path = dir + "/data.dat";
  const std::string settings_path = dir + "/zarnik.ini";
  // Two versions of each; the second large enough that a kill often lands
  // in the middle of writing it.
  Lines big_table;
  for (int i = 0; i < 20000; ++i) {
    big_table.push_back(std::to_string(60000 - i));
    big_table.push_back("PILOT" + std::to_string(i));
  }
  const std::vector<uint8_t> scores_a = game::encode_score_file(kScores);
  const std::vector<uint8_t> scores_b = game::encode_score_file(big_table);
  Lines settings_b = kSettings;
  for (int i = 0; i < 5000; ++i) settings_b.push_back("installed file " + std::to_string(i));
  platform::write_file_atomic(scores_path, scores_a);
  shell::write_settings_lines(settings_path, kSettings);
  const std::vector<uint8_t> settings_a = platform::read_file(settings_path);
  shell::write_settings_lines(settings_path, settings_b);
  const std::vector<uint8_t> settings_b_bytes = platform::read_file(settings_path);

  std::mt19937 rng(42);
  int kills = 0, mixed = 0, cut_off = 0, most_left = 0;
  for (int round = 0; round < 150; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (uint64_t i = 0;; ++i) {
        platform::write_file_atomic(scores_path, i % 2 ? scores_b : scores_a);
        shell::write_settings_lines(settings_path, i % 2 ? settings_b : kSettings);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200 + rng() % 5000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ++kills;
    const auto s = platform::read_file(scores_path);
    const auto t = platform::read_file(settings_path);
    if (s != scores_a && s != scores_b) ++mixed;
    if (t != settings_a && t != settings_b_bytes) ++mixed;
    const int left = temporaries_of(dir, "data.dat") + temporaries_of(dir, "zarnik.ini");
    cut_off += left > 0;
    most_left = std::max(most_left, left);
  }
  EXPECT_EQ(kills, 150);
  EXPECT_EQ(mixed, 0) << "files found neither old nor new after a kill";
  // The kills did land inside saves (each leaves its temporary file), and
  // the saves after them cleared what earlier kills had left.
  EXPECT_GT(cut_off, 10);
  EXPECT_LE(most_left, 4);
  // A save of each after all that still works and leaves nothing behind.
  platform::write_file_atomic(scores_path, scores_a);
  shell::write_settings_lines(settings_path, kSettings);
  EXPECT_EQ(platform::read_file(scores_path), scores_a);
  EXPECT_EQ(temporaries_of(dir, "data.dat") + temporaries_of(dir, "zarnik.ini"), 0);
  fs::remove_all(dir);
}

}  // namespace
