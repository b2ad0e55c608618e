// Controllers through the Gamepad API as the keys and notches of Linux.
#include "platform/web/gamepad.h"

#include <gtest/gtest.h>

#include <cmath>

namespace platform::web {
namespace {

struct Pads : ::testing::Test {
  Gamepads pads;
  std::deque<Event> out;
  PadSample pad;
  Pads() {
    pad.connected = true;
    pad.buttons.assign(17, false);
    pad.axes.assign(4, 0.0);
  }
  void sample() { pads.update({pad}, out, {10, 20}, 0); }
  std::vector<std::pair<EventType, int>> events() {
    std::vector<std::pair<EventType, int>> v;
    for (const Event& e : out)
      v.emplace_back(e.type, e.type == EventType::Wheel ? e.wheel_delta : e.key);
    out.clear();
    return v;
  }
};

using E = std::vector<std::pair<EventType, int>>;
constexpr auto D = EventType::KeyDown;
constexpr auto U = EventType::KeyUp;

// The mapping itself is shared (tests/platform/pad_input_test.cpp): here,
// that the standard mapping's buttons and axes reach it as what they are,
// once per change of a button, whatever the frames sample.
TEST_F(Pads, TheStandardMappingsControlsReachTheSharedMapping) {
  sample();
  pad.buttons[Gamepads::kA] = true;
  sample();
  EXPECT_EQ(events(), (E{{D, 32}, {D, 13}}));
  pad.buttons[Gamepads::kA] = false;
  pad.buttons[Gamepads::kB] = pad.buttons[Gamepads::kStart] = pad.buttons[Gamepads::kBack] = true;
  pad.buttons[Gamepads::kDpadUp] = pad.buttons[Gamepads::kDpadRight] = true;
  sample();
  EXPECT_EQ(events(), (E{{U, 13}, {U, 32}, {D, 17}, {D, 27}, {D, 19}, {D, 38}, {D, 39}}));
  pad.buttons[Gamepads::kRightShoulder] = true;
  sample();
  sample();  // held: one notch
  EXPECT_EQ(events(), (E{{EventType::Wheel, 120}}));
  pad.axes[Gamepads::kLeftX] = -0.6;
  pad.axes[Gamepads::kLeftY] = 0.9;
  sample();
  EXPECT_EQ(events(), (E{{D, 37}, {D, 40}}));
}

TEST_F(Pads, AButtonHeldAtConnectionPressesOnlyWhenPressedAgain) {
  pad.buttons[Gamepads::kA] = true;
  sample();
  EXPECT_TRUE(events().empty());
  pad.buttons[Gamepads::kA] = false;
  sample();
  EXPECT_TRUE(events().empty());
}

TEST_F(Pads, AControllerThatGoesLetsGo) {
  sample();
  pad.buttons[Gamepads::kB] = true;
  pad.axes[Gamepads::kLeftX] = 1;
  sample();
  events();
  pads.update({}, out, {0, 0}, 0);
  EXPECT_EQ(events(), (E{{U, 17}, {U, 39}}));
  EXPECT_EQ(pads.count(), 0);
}

TEST_F(Pads, TheRightStickPullsTheCursor) {
  pad.axes[Gamepads::kRightX] = 0.2;  // inside the dead zone
  pad.axes[Gamepads::kRightY] = -1;
  sample();
  float x = 1, y = 1;
  pads.cursor_pull(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_FLOAT_EQ(y, -1);
  pad.axes.assign(4, std::nan(""));  // a broken report pulls nowhere
  sample();
  pads.cursor_pull(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

}  // namespace
}  // namespace platform::web
