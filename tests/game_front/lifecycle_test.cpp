#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/game_driver.h"

namespace {

using game_driver::GameDriver;
using Lines = std::vector<std::string>;

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
  EXPECT_EQ(f.game_dir, d.game_dir() + "/");
  EXPECT_EQ(f.game.in_menu, 1);
  EXPECT_EQ(f.game.splash_frames, 0);
  EXPECT_FALSE(d.backend().system.cursor_visible);
  d.close_window();
  EXPECT_TRUE(d.terminated());
  auto bytes = platform::read_file(d.settings_path());
  std::string expected = "800\r\n600\r\n\r\n" + d.game_dir() + "/zarnik.lnk\r\n";
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
  EXPECT_TRUE(platform::file_exists(d.game_dir() + "/zarnik.lnk"));
  EXPECT_TRUE(platform::file_exists(d.game_dir() + "/data.dat"));
}

}  // namespace
