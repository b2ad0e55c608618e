// A game controller as the game sees it: SDL's virtual controller plugged
// into the real event translation (off-screen video driver), its buttons and
// sticks turned into the keys, wheel notches and cursor moves of a keyboard
// and mouse; and unplugged while held, which lets every key go.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "platform/sdl/display.h"
#include "platform/sdl/events.h"
#include "tests/sdl/virtual_pad.h"

namespace platform::sdl {
namespace {

using namespace std::chrono_literals;

class Gamepad : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // The off-screen window never has the keyboard focus, without which SDL
    // holds controller events back.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ok_ = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
  }
  static void TearDownTestSuite() {
    if (ok_) SDL_Quit();
  }
  void SetUp() override {
    if (!ok_) GTEST_SKIP() << "SDL's off-screen video driver is not available";
    ASSERT_TRUE(display_.set_mode(200, 100, 16, false));
    ASSERT_TRUE(system_.start_gamepads());
    ASSERT_TRUE(pad_.attach()) << SDL_GetError();
    drain();
    ASSERT_EQ(system_.gamepads(), 1);
  }

  // Every pending event except mouse moves (or only those).
  std::vector<Event> drain(bool moves = false) {
    std::vector<Event> out;
    Event e;
    while (system_.poll_event(e))
      if ((e.type == EventType::MouseMove) == moves) out.push_back(e);
    return out;
  }
  static std::vector<std::pair<EventType, int>> keys(const std::vector<Event>& events) {
    std::vector<std::pair<EventType, int>> out;
    for (const Event& e : events)
      out.emplace_back(e.type, e.type == EventType::Wheel ? e.wheel_delta : e.key);
    return out;
  }

  static inline bool ok_ = false;
  SdlDisplay display_{"test"};
  SdlSystem system_{&display_};
  VirtualPad pad_;
};

constexpr auto kDown = EventType::KeyDown;
constexpr auto kUp = EventType::KeyUp;

// The mapping itself is shared (tests/platform/pad_input_test.cpp): here,
// that SDL's buttons and axes reach it as the controls they are.
TEST_F(Gamepad, SdlsButtonsAndAxesReachTheSharedMapping) {
  using P = std::pair<EventType, int>;
  const std::pair<SDL_GameControllerButton, P> buttons[] = {
      {SDL_CONTROLLER_BUTTON_A, {kDown, vk::kSpace}},
      {SDL_CONTROLLER_BUTTON_B, {kDown, vk::kCtrl}},
      {SDL_CONTROLLER_BUTTON_START, {kDown, vk::kPause}},
      {SDL_CONTROLLER_BUTTON_BACK, {kDown, vk::kEsc}},
      {SDL_CONTROLLER_BUTTON_DPAD_UP, {kDown, vk::kUp}},
      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, {kDown, vk::kDown}},
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, {kDown, vk::kLeft}},
      {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, {kDown, vk::kRight}},
      {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, {EventType::Wheel, 120}},
      {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, {EventType::Wheel, -120}}};
  for (auto [button, first] : buttons) {
    SCOPED_TRACE(int(button));
    pad_.button(button, true);
    const auto down = keys(drain());
    ASSERT_FALSE(down.empty());
    EXPECT_EQ(down.front(), first);
    pad_.button(button, false);
    drain();
  }
  // Buttons the game has no use for give nothing.
  pad_.button(SDL_CONTROLLER_BUTTON_X, true);
  pad_.button(SDL_CONTROLLER_BUTTON_GUIDE, true);
  EXPECT_TRUE(drain().empty());
  // The left stick over SDL's whole range, both axes (y grows downward).
  std::vector<P> got;
  for (auto [axis, value] : {std::pair{SDL_CONTROLLER_AXIS_LEFTX, int16_t(-32768)},
                             {SDL_CONTROLLER_AXIS_LEFTX, int16_t(32767)},
                             {SDL_CONTROLLER_AXIS_LEFTY, int16_t(-32768)},
                             {SDL_CONTROLLER_AXIS_LEFTY, int16_t(32767)}}) {
    pad_.axis(axis, value);
    for (const P& k : keys(drain())) got.push_back(k);
  }
  EXPECT_EQ(got, (std::vector<P>{{kDown, vk::kLeft},
                                 {kUp, vk::kLeft},
                                 {kDown, vk::kRight},
                                 {kDown, vk::kUp},
                                 {kUp, vk::kUp},
                                 {kDown, vk::kDown}}));
}

TEST_F(Gamepad, UnpluggedWhileHeldLetsEveryKeyGoAndAnotherCanBePluggedIn) {
  pad_.button(SDL_CONTROLLER_BUTTON_A, true);
  pad_.axis(SDL_CONTROLLER_AXIS_LEFTX, 30000);
  EXPECT_EQ(drain().size(), 3u) << "changes between two looks come together";
  pad_.detach();
  std::vector<int> released;
  for (const Event& e : drain()) {
    EXPECT_EQ(e.type, kUp);
    released.push_back(e.key);
  }
  std::sort(released.begin(), released.end());
  EXPECT_EQ(released, (std::vector<int>{vk::kEnter, vk::kSpace, vk::kRight}));
  EXPECT_EQ(system_.gamepads(), 0);
  VirtualPad second;
  ASSERT_TRUE(second.attach());
  drain();
  EXPECT_EQ(system_.gamepads(), 1);
  second.button(SDL_CONTROLLER_BUTTON_B, true);
  ASSERT_EQ(drain().size(), 1u);
}

TEST_F(Gamepad, TheRightStickMovesTheCursor) {
  const Point start = system_.cursor_pos();
  pad_.axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  pad_.axis(SDL_CONTROLLER_AXIS_RIGHTY, 6000);  // inside the dead zone
  std::vector<Event> moves;
  for (int i = 0; i < 40 && (moves.empty() || moves.back().x < start.x + 20); ++i) {
    std::this_thread::sleep_for(10ms);
    for (const Event& e : drain(true)) moves.push_back(e);
  }
  ASSERT_FALSE(moves.empty());
  for (size_t i = 1; i < moves.size(); ++i) EXPECT_GT(moves[i].x, moves[i - 1].x);
  EXPECT_GE(moves.back().x, start.x + 20);
  EXPECT_EQ(moves.back().y, start.y);
  EXPECT_EQ(system_.cursor_pos().x, moves.back().x) << "the game reads where the stick put it";
  // At rest it stays; it never leaves the surface.
  pad_.axis(SDL_CONTROLLER_AXIS_RIGHTX, 0);
  std::this_thread::sleep_for(20ms);
  drain(true);
  const Point rest = system_.cursor_pos();
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(drain(true).empty());
  EXPECT_EQ(system_.cursor_pos().x, rest.x);
  pad_.axis(SDL_CONTROLLER_AXIS_RIGHTX, 32767);
  for (int i = 0; i < 300 && system_.cursor_pos().x < 199; ++i) {
    std::this_thread::sleep_for(10ms);
    drain(true);
  }
  EXPECT_EQ(system_.cursor_pos().x, 199);
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(drain(true).empty()) << "held at the edge";
  }
}

}  // namespace
}  // namespace platform::sdl
