// Start-up, new game, end of game and shut-down, driven through the window's
// own events over the headless backend.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "game/persistence.h"
#include "harness/game_driver.h"
#include "platform/files.h"
#include "platform/screen_fit.h"

namespace {

namespace fs = std::filesystem;
using game_driver::GameDriver;
using Lines = std::vector<std::string>;
namespace vk = game_driver;
// The separator the game puts into the paths it makes (a backslash on
// Windows); the tests reach the files with either.
const std::string kSep(1, platform::kPathSeparator);

std::string file_text(const std::string& path) {
  auto b = platform::read_file(path);
  return {b.begin(), b.end()};
}

// From the menu (after the splash) to a running game through the keyboard.
void start_game(GameDriver& d) {
  auto& g = d.form().game;
  while (g.start_selected == 0) d.press(vk::kDown);
  d.press(vk::kEnter);
}

TEST(Lifecycle, FirstRunWithoutSettingsOpensDefaultsAndWritesFourLines) {
  game_driver::Options o;
  o.settings = {};
  GameDriver d(o);
  ASSERT_TRUE(d.create());
  auto& f = d.form();
  EXPECT_EQ(f.W(), 800);
  EXPECT_EQ(f.H(), 600);
  EXPECT_EQ(f.DXDraw1.Display.BitCount(), 16);
  EXPECT_TRUE(d.backend().display.fullscreen);
  EXPECT_EQ(f.game.player_name, "");
  EXPECT_EQ(f.game_dir, d.game_dir() + kSep);
  EXPECT_EQ(f.game.in_menu, 1);
  EXPECT_EQ(f.game.splash_frames, 0);
  EXPECT_EQ(f.game.start_glow, 55);
  EXPECT_TRUE(f.DXTimer1.Enabled());
  EXPECT_FALSE(d.backend().system.cursor_visible);
  // The menu music, with the doubled separator.
  EXPECT_EQ(d.backend().music.path(), d.game_dir() + kSep + kSep + "menu.mid");
  d.close_window();
  EXPECT_TRUE(d.terminated());
  EXPECT_EQ(file_text(d.settings_path()),
            "800\r\n600\r\n\r\n" + d.game_dir() + kSep + "zarnik.lnk\r\n");
  EXPECT_TRUE(platform::file_exists(d.game_dir() + "/zarnik.lnk"));
  EXPECT_EQ(file_text(d.game_dir() + "/data.dat"), "");
  EXPECT_TRUE(d.backend().system.error_boxes.empty());
}

TEST(Lifecycle, InstalledSettingsKeepTheirLaterLinesAndTheNameSurvives) {
  game_driver::Options o;
  o.settings = {"1024", "768", "Jiøí", "/old/zarnik.lnk", "/opt/z/zarnik", "/opt/z/hra.mid"};
  GameDriver d(o);
  ASSERT_TRUE(d.create());
  EXPECT_EQ(d.form().W(), 1024);
  EXPECT_EQ(d.form().H(), 768);
  // A hand-written name is taken as it is (any case, any length).
  EXPECT_EQ(d.form().game.player_name, "Jiøí");
  d.close_window();
  EXPECT_EQ(file_text(d.settings_path()), "1024\r\n768\r\nJiøí\r\n" + d.game_dir() + kSep +
                                              "zarnik.lnk\r\n/opt/z/zarnik\r\n/opt/z/hra.mid\r\n");
}

// Started in a folder whose name holds line breaks, the game keeps the
// file's lines as they were: line 4 is not rewritten with a path that would
// add lines (the uninstaller reads those lines).
TEST(Lifecycle, AGameFolderWithLineBreaksAddsNoLinesToTheSettings) {
  const std::string dir =
      (fs::temp_directory_path() / ("zarnik-lf-" + std::to_string(::getpid()) + "\n/home/eva/x\r"))
          .string();
  game_driver::Options o;
  o.game_dir = dir;
  o.config_dir = dir + "-config";
  o.settings = {"800", "600", "EVA", "/d/zarnik.lnk", "/d/zarnik.exe"};
  {
    GameDriver d(o);
    ASSERT_TRUE(d.create());
    d.close_window();
    EXPECT_TRUE(d.backend().system.error_boxes.empty());
    EXPECT_EQ(file_text(d.settings_path()),
              "800\r\n600\r\nEVA\r\n/d/zarnik.lnk\r\n/d/zarnik.exe\r\n");
  }
  fs::remove_all(dir);
  fs::remove_all(o.config_dir);
}

// A zero byte ends the settings file for the game as for the uninstaller:
// what follows it is not read and is not written back.
TEST(Lifecycle, ASettingsFileEndsAtAZeroByte) {
  game_driver::Options o;
  o.write_settings = false;
  GameDriver d(o);
  fs::create_directories(fs::path(d.settings_path()).parent_path());
  const std::string bytes("1024\r\n768\r\nEV\0A\r\n/x/zarnik.lnk\r\n", 32);
  platform::write_file_atomic(d.settings_path(), {bytes.begin(), bytes.end()});
  ASSERT_TRUE(d.create());
  EXPECT_EQ(d.form().W(), 1024);
  EXPECT_EQ(d.form().game.player_name, "EV");
  d.close_window();
  EXPECT_EQ(file_text(d.settings_path()),
            "1024\r\n768\r\nEV\r\n" + d.game_dir() + platform::kPathSeparator + "zarnik.lnk\r\n");
}

TEST(Lifecycle, ShortOrBrokenSettingsGiveDefaultsForWhatIsBad) {
  {
    game_driver::Options o;
    o.settings = {"1024"};
    GameDriver d(o);
    ASSERT_TRUE(d.create());
    EXPECT_EQ(d.form().W(), 1024);
    EXPECT_EQ(d.form().H(), 768);  // 1024 x 600 is not offered: the nearest larger mode
    EXPECT_EQ(d.form().game.player_name, "");
  }
  {
    game_driver::Options o;
    o.settings = {"wide", "-1", "EVA", "/x/zarnik.lnk", "keep me"};
    GameDriver d(o);
    ASSERT_TRUE(d.create());
    EXPECT_EQ(d.form().W(), 800);
    EXPECT_EQ(d.form().H(), 600);
    EXPECT_EQ(d.form().game.player_name, "EVA");
    d.close_window();
    EXPECT_EQ(file_text(d.settings_path()),
              "800\r\n600\r\nEVA\r\n" + d.game_dir() + kSep + "zarnik.lnk\r\nkeep me\r\n");
  }
}

TEST(Lifecycle, ASizeThisScreenCannotHoldFallsBackToTheDefaultAndIsRepaired) {
  game_driver::Options o;
  // Saved on a larger screen; this one offers up to 1024 x 768.
  o.settings = {"1920", "1080", "EVA", "/x/zarnik.lnk", "installer line"};
  GameDriver d(o);
  ASSERT_TRUE(d.create());
  EXPECT_TRUE(d.backend().system.error_boxes.empty());
  EXPECT_EQ(d.form().W(), 800);
  EXPECT_EQ(d.form().H(), 600);
  EXPECT_EQ(d.backend().display.mode.width, 800);
  d.close_window();
  EXPECT_EQ(file_text(d.settings_path()),
            "800\r\n600\r\nEVA\r\n" + d.game_dir() + kSep + "zarnik.lnk\r\ninstaller line\r\n");
}

TEST(Lifecycle, ASmallScreenStartsTheGameAtItsDefaultSizeScaledDown) {
  static_assert(platform::kDefaultSize == std::pair{800, 600});
  EXPECT_EQ(std::to_string(platform::kDefaultSize.first), game::kDefaultWidth);
  EXPECT_EQ(std::to_string(platform::kDefaultSize.second), game::kDefaultHeight);
  // What a 640 x 480 desktop offers, at the backends' four depths.
  std::vector<platform::DisplayMode> modes;
  for (auto [w, h] : platform::offered_sizes({{640, 480}}, 640, 480))
    for (int bits : {8, 16, 24, 32}) modes.push_back({w, h, bits});
  // No settings file, and a size saved on a larger screen.
  for (const Lines& settings : {Lines{}, Lines{"1024", "768", "EVA"}}) {
    SCOPED_TRACE(settings.empty() ? "no settings" : "1024 x 768 saved");
    game_driver::Options o;
    o.settings = settings;
    o.modes = modes;
    GameDriver d(o);
    ASSERT_TRUE(d.create());
    EXPECT_TRUE(d.backend().system.error_boxes.empty());
    EXPECT_EQ(d.form().W(), 800);
    EXPECT_EQ(d.form().H(), 600);
    EXPECT_TRUE(d.backend().display.fullscreen);
    d.tick(3);
    EXPECT_EQ(d.frame_width(), 800);
    d.close_window();
    EXPECT_EQ(platform::split_lines(platform::read_file(d.settings_path()))[0], "800");
  }
}

TEST(Lifecycle, AStartUpErrorIsShownAndNothingIsOverwritten) {
  const Lines settings{"800", "600", "PETR", "/x/zarnik.lnk", "installer line"};
  // The player reads Czech: what failed and, for a file that is not
  // there, where the game looked and how it must be started. The media
  // services' own texts stay, in brackets after a Czech sentence.
  struct Case {
    const char* what;
    std::function<void(GameDriver&)> spoil;
    std::function<std::string(GameDriver&)> text;
  };
  std::vector<Case> cases = {
      {"sounds missing", [](GameDriver& d) { fs::remove(d.game_dir() + "/zvuk.xxx"); },
       [](GameDriver& d) {
         return "Soubor \"zvuk.xxx\" ve složce \"" + d.game_dir() + kSep +
                "\" není.\n\nHra čte svá data ze složky, ze které je spuštěna. Spouštějte ji z "
                "její složky: to dělá její zástupce i položka v nabídce.";
       }},
      {"menu pictures broken",
       [](GameDriver& d) {
         platform::write_file_atomic(d.game_dir() + "/menu.xxx", {1, 2, 3});
       },
       [](GameDriver&) {
         return std::string(
             "Soubor \"menu.xxx\" nelze načíst. Data jsou poškozená (Invalid stream format).");
       }},
      {"menu music unreadable",
       [](GameDriver& d) {
         fs::remove(d.game_dir() + "/menu.mid");
         fs::create_directory(d.game_dir() + "/menu.mid");
       },
       [](GameDriver&) { return std::string("Soubor \"menu.mid\" nelze načíst. Hudbu nelze"); }},
      {"display mode refused",
       [](GameDriver& d) {
         d.backend().display.mode_list = {{640, 480, 16}};
       },
       [](GameDriver&) {
         return std::string(
             "Obraz hry nelze zobrazit (Display mode cannot be changed (800x600 16bit)).");
       }},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    game_driver::Options o;
    o.settings = settings;
    GameDriver d(o);
    const std::vector<uint8_t> scores = game::encode_score_file({"500", "EVA"});
    platform::write_file_atomic(d.game_dir() + "/data.dat", scores);
    c.spoil(d);
    EXPECT_FALSE(d.create());
    EXPECT_TRUE(d.form().StartupFailed());
    EXPECT_TRUE(d.terminated());
    ASSERT_EQ(d.backend().system.error_boxes.size(), 1u);
    EXPECT_EQ(d.backend().system.error_boxes[0].text.rfind(c.text(d), 0), 0u)
        << d.backend().system.error_boxes[0].text;
    EXPECT_FALSE(d.form().DXTimer1.Enabled());
    d.form().Close();
    EXPECT_EQ(platform::split_lines(platform::read_file(d.settings_path())), settings);
    EXPECT_EQ(platform::read_file(d.game_dir() + "/data.dat"), scores);
    EXPECT_FALSE(platform::file_exists(d.game_dir() + "/zarnik.lnk"));
  }
}

TEST(Lifecycle, ShutDownRunsEveryStepAndReportsFailures) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  d.form().game.player_name = "ADAM";
  // The shortcut and the score file cannot be written: folders stand where
  // the files would go.
  fs::create_directory(d.game_dir() + "/zarnik.lnk");
  fs::create_directory(d.game_dir() + "/data.dat");
  d.close_window();
  EXPECT_TRUE(d.terminated());
  // The settings between the two failing steps were still written.
  EXPECT_EQ(platform::split_lines(platform::read_file(d.settings_path()))[2], "ADAM");
  ASSERT_EQ(d.backend().system.error_boxes.size(), 1u);
  const std::string& text = d.backend().system.error_boxes[0].text;
  EXPECT_NE(text.find("zarnik.lnk"), std::string::npos) << text;
  EXPECT_NE(text.find("data.dat"), std::string::npos) << text;
  // A second close request does nothing more.
  d.form().Close();
  EXPECT_EQ(d.backend().system.error_boxes.size(), 1u);
}

// The files are written through temporary files beside them. A name such a
// file once had, taken by a folder or by a link to another file, neither
// stops the save nor is written through.
TEST(Lifecycle, WhatIsPlantedBesideTheFilesIsNeitherInTheWayNorWrittenThrough) {
  const Lines settings{"800", "600", "OLD", "/x/zarnik.lnk"};
  game_driver::Options o;
  o.settings = settings;
  GameDriver d(o);
  ASSERT_TRUE(d.create());
  d.form().game.player_name = "NEW";
  d.form().add_score("NEW", 900);
  const std::string pid = std::to_string(::getpid());
  const std::string victim = d.game_dir() + "/victim.txt";
  platform::write_file_atomic(victim, {'m', 'i', 'n', 'e'});
  fs::create_directory(d.settings_path() + ".tmp" + pid);
  fs::create_symlink(victim, d.game_dir() + "/data.dat.tmp" + pid);
  d.close_window();
  EXPECT_TRUE(d.backend().system.error_boxes.empty());
  EXPECT_EQ(platform::split_lines(platform::read_file(d.settings_path()))[2], "NEW");
  EXPECT_EQ(game::decode_score_file(platform::read_file(d.game_dir() + "/data.dat")),
            (Lines{"900", "NEW"}));
  EXPECT_EQ(platform::read_file(victim), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_TRUE(fs::is_directory(d.settings_path() + ".tmp" + pid));
  EXPECT_TRUE(fs::is_symlink(d.game_dir() + "/data.dat.tmp" + pid));
}

TEST(Lifecycle, SplashRunsTwoHundredFiftyFramesThenTheMenu) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  auto& f = d.form();
  d.tick(1);
  // The built-in picture, centred: something inside its 320 x 240 box,
  // nothing outside.
  int inside = 0, outside = 0;
  for (int y = 0; y < f.H(); y += 2)
    for (int x = 0; x < f.W(); x += 2) {
      const bool in_box = x >= f.W() / 2 - 160 && x < f.W() / 2 + 160 && y >= f.H() / 2 - 120 &&
                          y < f.H() / 2 + 120;
      (in_box ? inside : outside) += d.pixel(x, y) != 0;
    }
  EXPECT_GT(inside, 1000);
  EXPECT_EQ(outside, 0);
  d.tick(248);
  EXPECT_EQ(f.game.splash_frames, 249);
  ASSERT_NE(f.DXImageList2, nullptr);
  d.tick(1);
  EXPECT_EQ(f.game.splash_frames, 250);
  EXPECT_EQ(f.DXImageList2, nullptr);
  // The next frame is the menu: the title picture's mark at its corner.
  d.tick(1);
  EXPECT_EQ(game_driver::mark_of(d.pixel(f.W() / 2 - 100, f.H() / 2 - 185)),
            (game_driver::Mark{2, 0}));
  d.tick(10);
  EXPECT_EQ(f.game.splash_frames, 250);
}

TEST(Lifecycle, EnterDuringTheSplashStartsAGameShownAfterTheSplash) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  auto& f = d.form();
  d.tick(10);
  d.press(vk::kDown);
  d.press(vk::kEnter);
  EXPECT_EQ(f.game.in_menu, 0);
  EXPECT_EQ(d.backend().music.path(), d.game_dir() + kSep + kSep + "hra.mid");
  const uint8_t frames_before = f.game.splash_frames;
  d.tick(250 - frames_before);
  EXPECT_EQ(f.game.splash_frames, 250);
  // The play world has not moved while the splash ran.
  const uint8_t wait = f.meteor.wait_count;
  EXPECT_EQ(wait, 0);
  d.tick(1);
  EXPECT_EQ(f.meteor.wait_count, wait + 1);
}

TEST(Lifecycle, EscDuringTheSplashCloses) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  d.tick(3);
  d.press(vk::kEsc);
  EXPECT_TRUE(d.form().Closed());
  EXPECT_TRUE(d.terminated());
  EXPECT_TRUE(platform::file_exists(d.settings_path()));
}

TEST(Lifecycle, StartResetsTheWorldAndKeepsWhatItShould) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  auto& f = d.form();
  d.tick(250);
  f.game.player_name = "HRAC";
  start_game(d);
  d.tick(30);
  // Spoil what a game changes, leave a player rocket in flight, then end it.
  f.game.score = 1234;
  f.level = 7;
  f.ship.shield = 3;
  f.ship.missiles = 1;
  f.ship.x = 10;
  f.ship.y = 20;
  f.ship.speed = 5;
  f.game.paused = 1;
  f.player_rockets[4].active = 1;
  f.player_rockets[4].x = 77;
  f.explosions[0].free = 0;
  f.stars[3].size = 2;
  d.press(vk::kEsc);
  EXPECT_EQ(f.game.in_menu, 1);
  EXPECT_EQ(f.score_table, (Lines{"1234", "HRAC"}));

  const uint32_t before = game::random_state();
  start_game(d);
  EXPECT_EQ(f.level, 1);
  EXPECT_EQ(f.game.score, 0);
  EXPECT_EQ(f.game.paused, 0);
  EXPECT_EQ(f.game.level_mark, 100);
  EXPECT_EQ(f.ship.shield, 100);
  EXPECT_EQ(f.ship.missiles, 20);
  EXPECT_EQ(f.ship.x, 400);
  EXPECT_EQ(f.ship.y, 300);
  EXPECT_EQ(f.ship.speed, 1);
  EXPECT_EQ(f.ship.alive, 1);
  EXPECT_EQ(f.bonus.gone, 1);
  EXPECT_EQ(f.game.player_name, "HRAC");
  EXPECT_EQ(f.game.splash_frames, 250);
  // Kept from the last game.
  EXPECT_EQ(f.player_rockets[4].active, 1);
  EXPECT_EQ(f.player_rockets[4].x, 77);
  EXPECT_EQ(f.stars[3].size, 2);
  for (int j = 0; j <= 80; ++j) EXPECT_EQ(f.explosions[j].free, 1) << j;
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(f.enemy_rockets[i].active, 0);
  EXPECT_EQ(f.planets[2].x, 400);
  EXPECT_EQ(f.planets[9].picture, 39);
  EXPECT_EQ(f.planets[6].angle, 253);
  // The generator's draws come in the order meteor, stars.
  game::set_random_state(before);
  EXPECT_EQ(f.meteor.x, int32_t(game::Random(800)));
  EXPECT_EQ(f.meteor.y, int32_t(game::Random(600)));
  EXPECT_EQ(f.meteor.heading, game::Random(256));
  EXPECT_EQ(f.meteor.wait_limit, game::Random(250));
  EXPECT_EQ(f.stars[0].x, int32_t(game::Random(800)));
  EXPECT_EQ(f.stars[0].y, int32_t(game::Random(600)));
  EXPECT_EQ(f.stars[0].brightness, game::Random(255));
  // Enemy 1 waits no more after the first spawn pass; 2..10 still wait.
  EXPECT_EQ(f.enemies[1].respawn, 0);
  EXPECT_EQ(f.enemies[2].respawn, 1);
  EXPECT_TRUE(f.DXTimer1.Enabled());
}

TEST(Lifecycle, ScoresPersistAcrossRunsAndTheTableKeepsFifteen) {
  std::string dir;
  {
    GameDriver first;
    dir = first.game_dir();
    ASSERT_TRUE(first.create());
    first.tick(250);
    for (int game_no = 1; game_no <= 16; ++game_no) {
      start_game(first);
      first.form().game.score = static_cast<uint16_t>(game_no * 10);
      first.press(vk::kEsc);
    }
    EXPECT_EQ(first.form().score_table.size(), 30u);
    EXPECT_EQ(first.form().score_table.front(), "160");
    EXPECT_EQ(first.form().score_table[28], "20");  // 10 dropped
    first.close_window();
    // Keep the folder for the next run.
    fs::copy(dir, dir + "-kept", fs::copy_options::recursive);
  }
  {
    game_driver::Options o;
    o.game_dir = dir + "-kept";
    o.write_data = false;
    o.write_settings = false;
    o.config_dir = dir + "-kept/config";
    GameDriver second(o);
    ASSERT_TRUE(second.create());
    EXPECT_EQ(second.form().score_table.size(), 30u);
    EXPECT_EQ(second.form().score_table[0], "160");
    EXPECT_EQ(second.form().score_table[1], "");
    second.close_window();
  }
  // Removed once the driver has left it (Windows cannot remove the current
  // directory).
  fs::remove_all(dir + "-kept");
}

TEST(Lifecycle, AnOddScoreFileIsWrittenBackUnchangedWhenNoGameEnds) {
  GameDriver d;
  const std::vector<uint8_t> bytes = game::encode_score_file({"300", "A", "200", "B", "stray"});
  platform::write_file_atomic(d.game_dir() + "/data.dat", bytes);
  ASSERT_TRUE(d.create());
  EXPECT_EQ(d.form().score_table.size(), 5u);
  d.close_window();
  EXPECT_EQ(platform::read_file(d.game_dir() + "/data.dat"), bytes);
}

TEST(Lifecycle, AVanishedDataFileDuringPlayClosesCleanly) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  d.tick(250);
  fs::remove(d.game_dir() + "/obrazky.xxx");
  start_game(d);
  EXPECT_TRUE(d.form().Closed());
  EXPECT_EQ(d.backend().system.error_boxes.size(), 1u);
  EXPECT_TRUE(platform::file_exists(d.settings_path()));
}

}  // namespace
