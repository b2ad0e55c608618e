// The game program as a backend drives it (game/program.h): the desktop's
// blocking driver runs it to the close, which saves; a failed start-up is
// shown, ends the loop at its first pass and writes nothing.
#include "game/program.h"

#include <gtest/gtest.h>

#include "harness/game_driver.h"
#include "platform/files.h"
#include "platform/loop.h"

namespace {

using game_driver::GameDriver;

TEST(Program, TheBlockingDriverRunsItToTheCloseWhichSaves) {
  game_driver::Options o;
  o.write_settings = false;
  GameDriver d(o);  // the folder, the data files and the headless backend
  game::Program program;
  program.start();
  ASSERT_FALSE(platform::file_exists(d.settings_path()));
  d.backend().system.push(platform::EventType::Close);
  platform::run_blocking(program);
  EXPECT_TRUE(program.form().Closed());
  EXPECT_TRUE(program.app().Terminated());
  EXPECT_EQ(program.status(), 0);
  EXPECT_TRUE(platform::file_exists(d.settings_path())) << "the close wrote the settings";
  EXPECT_TRUE(d.backend().system.error_boxes.empty());
}

TEST(Program, AFailedStartIsShownEndsTheLoopAndWritesNothing) {
  game_driver::Options o;
  o.write_settings = false;
  o.write_data = false;  // no data files
  GameDriver d(o);
  game::Program program;
  program.start();
  ASSERT_EQ(d.backend().system.error_boxes.size(), 1u);
  EXPECT_FALSE(program.pass()) << "the loop has ended";
  program.ended();
  EXPECT_EQ(program.status(), 1);
  EXPECT_FALSE(platform::file_exists(d.settings_path()));
}

}  // namespace
