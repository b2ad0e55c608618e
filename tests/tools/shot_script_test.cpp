// The script reader of tools/zarnik-shot.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/zarnik-shot/script.h"

namespace {

shot::Script parse(const std::string& text) {
  std::istringstream in(text);
  return shot::parse_script(in);
}

TEST(ShotScript, SetupAndStepsInOrder) {
  auto s = parse(
      "# a comment\n"
      "size 1024 768\n"
      "name Jan Novak   \n"
      "score EVA 950\n"
      "wait 250   # the splash\n"
      "key Down\n"
      "type zarnik pilot\n"
      "click right\n"
      "shot out.png\n");
  EXPECT_EQ(s.width, 1024);
  EXPECT_EQ(s.height, 768);
  EXPECT_EQ(s.name, "Jan Novak");
  ASSERT_EQ(s.scores.size(), 1u);
  EXPECT_EQ(s.scores[0].second, 950);
  ASSERT_EQ(s.steps.size(), 5u);
  EXPECT_EQ(s.steps[0].verb, "wait");
  EXPECT_EQ(s.steps[2].args[0], "zarnik pilot");
  EXPECT_EQ(s.steps[4].line, 9);
}

TEST(ShotScript, KeysAndButtons) {
  EXPECT_EQ(shot::key_code("enter"), 13);
  EXPECT_EQ(shot::key_code("ESC"), 27);
  EXPECT_EQ(shot::key_code("a"), 'A');
  EXPECT_EQ(shot::key_code("7"), '7');
  EXPECT_EQ(shot::key_code("19"), 19);
  EXPECT_EQ(shot::key_code("f13"), -1);
  EXPECT_EQ(shot::button_code(""), 0);
  EXPECT_EQ(shot::button_code("middle"), 2);
  EXPECT_EQ(shot::button_code("fourth"), -1);
}

TEST(ShotScript, BadLinesNameTheirNumber) {
  for (const char* bad : {"wait\n", "wait x\n", "wait -3\n", "key nokey\n", "jump 3\n",
                          "type abc1\n", "score A 70000\n", "click left right\n"}) {
    try {
      parse(std::string("wait 1\n") + bad);
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind("line 2:", 0), 0u) << e.what();
    }
  }
}

}  // namespace
