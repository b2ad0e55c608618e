// The controllers' mapping every backend shares: buttons and the left stick
// as the game's keys and wheel notches, the right stick's pull and the
// cursor it leads. The backends' own tests check only how their system's
// controls reach it.
#include "platform/pad_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

using Key = std::pair<EventType, int>;  // a key's code, or a wheel's delta
constexpr auto kDown = EventType::KeyDown;
constexpr auto kUp = EventType::KeyUp;
constexpr auto kWheel = EventType::Wheel;

std::vector<Key> keys(std::deque<Event>& out) {
  std::vector<Key> v;
  for (const Event& e : out) v.emplace_back(e.type, e.type == kWheel ? e.wheel_delta : e.key);
  out.clear();
  return v;
}

TEST(PadKeys, EachButtonPressesItsKeyOrTurnsTheWheel) {
  const struct {
    PadButton button;
    std::vector<Key> down, up;
  } cases[] = {
      // Space before Enter: in the menu Space does nothing, so a game the
      // Enter starts is not fired into at once.
      {PadButton::A,
       {{kDown, vk::kSpace}, {kDown, vk::kEnter}},
       {{kUp, vk::kEnter}, {kUp, vk::kSpace}}},
      {PadButton::B, {{kDown, vk::kCtrl}}, {{kUp, vk::kCtrl}}},
      {PadButton::Start, {{kDown, vk::kPause}}, {{kUp, vk::kPause}}},
      {PadButton::Back, {{kDown, vk::kEsc}}, {{kUp, vk::kEsc}}},
      {PadButton::Up, {{kDown, vk::kUp}}, {{kUp, vk::kUp}}},
      {PadButton::Down, {{kDown, vk::kDown}}, {{kUp, vk::kDown}}},
      {PadButton::Left, {{kDown, vk::kLeft}}, {{kUp, vk::kLeft}}},
      {PadButton::Right, {{kDown, vk::kRight}}, {{kUp, vk::kRight}}},
      // A notch a press, nothing at the release.
      {PadButton::RightShoulder, {{kWheel, 120}}, {}},
      {PadButton::LeftShoulder, {{kWheel, -120}}, {}},
      {PadButton::Other, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.button));
    PadKeys pad;
    std::deque<Event> out;
    pad.button(c.button, true, out, {7, 9}, 4);
    if (!out.empty() && out.front().type == kWheel) {
      EXPECT_EQ(out.front().x, 7) << "the notch comes at the cursor";
      EXPECT_EQ(out.front().y, 9);
      EXPECT_EQ(out.front().shift, 4u);
    }
    EXPECT_EQ(keys(out), c.down);
    pad.button(c.button, false, out, {7, 9}, 4);
    EXPECT_EQ(keys(out), c.up);
  }
}

TEST(PadKeys, TheLeftStickPressesPastHalfAndLetsGoBelowAThird) {
  // Travel on the x axis, one reading after another, and what each gives.
  const struct {
    double x;
    std::vector<Key> gives;
  } steps[] = {
      {-0.45, {}},                                      // not yet past half
      {-0.55, {{kDown, vk::kLeft}}},                    //
      {-0.4, {}},                                       // back a little: still held
      {-0.6, {}},                                       // no second press
      {-0.3, {{kUp, vk::kLeft}}},                       // below a third
      {1.0, {{kDown, vk::kRight}}},                     //
      {-1.0, {{kDown, vk::kLeft}, {kUp, vk::kRight}}},  // straight across
      {std::nan(""), {{kUp, vk::kLeft}}},               // a broken reading is no pull
  };
  PadKeys pad;
  std::deque<Event> out;
  for (const auto& s : steps) {
    pad.left_stick_x(s.x, out);
    EXPECT_EQ(keys(out), s.gives) << "at " << s.x;
  }
  // The y axis grows downward.
  pad.left_stick_y(-0.9, out);
  pad.left_stick_y(0.9, out);
  EXPECT_EQ(keys(out), (std::vector<Key>{{kDown, vk::kUp}, {kUp, vk::kUp}, {kDown, vk::kDown}}));
}

TEST(PadKeys, ControlsThatShareAKeyPressItOnceAndTheLastToLetGoReleasesIt) {
  PadKeys pad;
  std::deque<Event> out;
  pad.button(PadButton::Left, true, out, {}, 0);
  pad.left_stick_x(-1, out);
  EXPECT_EQ(keys(out), (std::vector<Key>{{kDown, vk::kLeft}}));
  pad.button(PadButton::Left, false, out, {}, 0);
  EXPECT_TRUE(keys(out).empty()) << "the stick still holds it";
  pad.left_stick_x(0, out);
  EXPECT_EQ(keys(out), (std::vector<Key>{{kUp, vk::kLeft}}));
  // A release of what was never pressed gives nothing.
  pad.button(PadButton::B, false, out, {}, 0);
  EXPECT_TRUE(keys(out).empty());
}

TEST(PadKeys, AControllerThatGoesLetsGoOfEverythingItHeld) {
  PadKeys pad;
  std::deque<Event> out;
  pad.button(PadButton::A, true, out, {}, 0);
  pad.button(PadButton::Left, true, out, {}, 0);
  pad.left_stick_x(-1, out);
  pad.left_stick_y(1, out);
  pad.right_stick_x(1);
  keys(out);
  pad.release_all(out);
  std::vector<Key> got = keys(out);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<Key>{
                     {kUp, vk::kEnter}, {kUp, vk::kSpace}, {kUp, vk::kLeft}, {kUp, vk::kDown}}))
      << "each key once, however many controls held it";
  float x = 1, y = 1;
  EXPECT_FALSE(pad.cursor_pull(x, y)) << "nor does its right stick pull any more";
  pad.release_all(out);
  EXPECT_TRUE(keys(out).empty());
  // The stick starts afresh: held past half it presses again.
  pad.left_stick_x(-1, out);
  EXPECT_EQ(keys(out), (std::vector<Key>{{kDown, vk::kLeft}}));
}

TEST(StickPull, ADeadZoneThenASquaredPullUpToFull) {
  const struct {
    double travel;
    float pull;
  } cases[] = {
      {0, 0},
      {kCursorDeadZone, 0},
      {-kCursorDeadZone, 0},
      {1, 1},
      {-1, -1},
      {1.5, 1},  // beyond full travel (SDL's -32768 / 32767)
      {kCursorDeadZone + (1 - kCursorDeadZone) / 2, 0.25f},
      {-(kCursorDeadZone + (1 - kCursorDeadZone) / 2), -0.25f},
      {std::nan(""), 0},
  };
  for (const auto& c : cases) EXPECT_FLOAT_EQ(stick_pull(c.travel), c.pull) << c.travel;
  PadKeys pad;
  float x = 1, y = 1;
  pad.right_stick_x(0.1);
  pad.right_stick_y(-1);
  EXPECT_TRUE(pad.cursor_pull(x, y));
  EXPECT_EQ(x, 0);
  EXPECT_FLOAT_EQ(y, -1);
}

TEST(PadCursor, AFullPullCrossesTheWidthInASecondAndStaysOnTheSurface) {
  PadCursor c;
  Point to;
  // The first pull starts from the system cursor and only starts the clock.
  EXPECT_FALSE(c.move(1, 0, 1000, {100, 50}, 200, 100, to));
  EXPECT_TRUE(c.leading());
  EXPECT_EQ(c.position(200, 100).x, 100);
  const struct {
    uint32_t now_ms;
    float pull_x, pull_y;
    bool moved;
    Point at;
  } steps[] = {
      {1010, 1, 0, true, {102, 50}},     // 200 px/s for 10 ms
      {1020, 0.5f, 0, true, {103, 50}},  // half as fast
      {1030, 0, 1, true, {103, 52}},     // y moves by the width's speed too
      {1500, 1, 0, true, {113, 52}},     // a pause of the loop counts as 50 ms
      {1510, -1, -1, true, {111, 50}},  {3000, 1, 1, true, {121, 60}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.now_ms);
    EXPECT_EQ(c.move(s.pull_x, s.pull_y, s.now_ms, {0, 0}, 200, 100, to), s.moved);
    EXPECT_EQ(to.x, s.at.x);
    EXPECT_EQ(to.y, s.at.y);
  }
  // Held at the edge, it stops there and reports no move.
  for (uint32_t t = 3050; t < 5000; t += 50) c.move(1, 1, t, {}, 200, 100, to);
  EXPECT_EQ(to.x, 199);
  EXPECT_EQ(to.y, 99);
  EXPECT_FALSE(c.move(1, 1, 5050, {}, 200, 100, to));
  // At rest the clock starts afresh: no jump after a pause.
  EXPECT_FALSE(c.move(0, 0, 6000, {}, 200, 100, to));
  EXPECT_FALSE(c.move(-1, 0, 9000, {}, 200, 100, to));
  EXPECT_EQ(c.position(200, 100).x, 199);
  // Once the mouse has moved, the pull goes on from the system cursor.
  c.let_go();
  EXPECT_FALSE(c.leading());
  EXPECT_TRUE(c.move(-1, 0, 9100, {20, 30}, 200, 100, to));
  EXPECT_EQ(to.x, 10);
  EXPECT_EQ(to.y, 30);
}

TEST(PadCursor, AStepQueuesTheMoveAsTheWindowsMouseMove) {
  PadCursor c;
  std::deque<Event> out;
  Point to;
  EXPECT_FALSE(c.step(1, 0, 100, {10, 10}, 200, 100, 1, out, to));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(c.step(1, 0, 150, {10, 10}, 200, 100, 1, out, to));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].type, EventType::MouseMove);
  EXPECT_EQ(out[0].x, 20);
  EXPECT_EQ(out[0].y, 10);
  EXPECT_EQ(out[0].shift, 1u);
  EXPECT_EQ(to.x, 20);
}

}  // namespace
}  // namespace platform
