// The browser's input as the game's events: keys by layout letter or
// physical place, the page's own switch, mouse presses on the picture only,
// double clicks, wheel notches, and what losing the focus lets go of.
#include "platform/web/input.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/web/keymap.h"

namespace platform::web {
namespace {

using K = InputTranslator::KeyAction;

struct Input : ::testing::Test {
  std::deque<Event> out;
  InputTranslator in{out};
  Input() {
    // An 800 x 600 surface shown twice as large in a wider page: bars of
    // 200 device pixels left and right.
    in.set_layout(fit_viewport(800, 600, 2000, 1200), 800, 600);
  }
  Event take() {
    EXPECT_FALSE(out.empty());
    if (out.empty()) return {};
    Event e = out.front();
    out.pop_front();
    return e;
  }
};

TEST(KeyMap, LettersFollowTheLayoutOtherKeysTheirPlace) {
  EXPECT_EQ(virtual_key("KeyY", "z"), 'Z');  // Z on a Czech keyboard
  EXPECT_EQ(virtual_key("KeyZ", "y"), 'Y');
  EXPECT_EQ(virtual_key("KeyA", "A"), 'A');    // with Shift
  EXPECT_EQ(virtual_key("Digit2", "ě"), '2');  // the Czech number row
  EXPECT_EQ(virtual_key("KeyQ", "\\"), 'Q');   // AltGr gives no letter
  EXPECT_EQ(virtual_key("Space", " "), 32);
  EXPECT_EQ(virtual_key("ArrowLeft", "ArrowLeft"), 37);
  EXPECT_EQ(virtual_key("ControlRight", "Control"), 17);
  EXPECT_EQ(virtual_key("NumpadEnter", "Enter"), 13);
  EXPECT_EQ(virtual_key("Pause", "Pause"), 19);
  EXPECT_EQ(virtual_key("F1", "F1"), 112);
  EXPECT_EQ(virtual_key("F13", "F13"), 0);
  EXPECT_EQ(virtual_key("Unidentified", ""), 0);
  EXPECT_TRUE(browser_keeps("F5", false));
  EXPECT_TRUE(browser_keeps("F12", false));
  EXPECT_TRUE(browser_keeps("KeyR", true));
  EXPECT_FALSE(browser_keeps("F11", false));
  EXPECT_FALSE(browser_keeps("KeyF", false));
  EXPECT_FALSE(browser_keeps("Backspace", false));
}

TEST_F(Input, KeysAreTakenAndTheirReleaseNamesTheirPress) {
  EXPECT_EQ(in.key(true, "KeyY", "z", false, 0, false), K::Taken);
  EXPECT_EQ(take().key, 'Z');
  // The layout changed while the key was held: it still comes up as Z.
  EXPECT_EQ(in.key(false, "KeyY", "y", false, 0, false), K::Taken);
  Event up = take();
  EXPECT_EQ(up.type, EventType::KeyUp);
  EXPECT_EQ(up.key, 'Z');
  // Auto-repeat passes through; a release whose press went elsewhere does not.
  in.key(true, "Space", " ", false, 0, false);
  in.key(true, "Space", " ", true, 0, false);
  EXPECT_EQ(out.size(), 2u);
  out.clear();
  EXPECT_EQ(in.key(false, "ArrowUp", "ArrowUp", false, 0, false), K::Taken);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(in.key(true, "F5", "F5", false, 0, false), K::Ignored);
  EXPECT_TRUE(out.empty());
}

TEST_F(Input, TheFullScreenSwitchIsThePagesOwn) {
  EXPECT_EQ(in.key(true, "F11", "F11", false, 0, false), K::ToggleFullscreen);
  EXPECT_EQ(in.key(true, "F11", "F11", true, 0, false), K::Taken);  // held: once
  EXPECT_EQ(in.key(false, "F11", "F11", false, 0, false), K::Taken);
  EXPECT_EQ(in.key(true, "Enter", "Enter", false, kAlt, false), K::ToggleFullscreen);
  // Alt let go before Enter: the Enter's release is still the switch's.
  EXPECT_EQ(in.key(false, "Enter", "Enter", false, 0, false), K::Taken);
  EXPECT_TRUE(out.empty());
  in.key(true, "Enter", "Enter", false, 0, false);
  EXPECT_EQ(take().key, 13);
}

TEST_F(Input, PressesCountOnThePictureReleasesAnywhere) {
  in.mouse_button(true, 0, 100, 600, 0, 0);  // on the left bar
  EXPECT_TRUE(out.empty());
  in.mouse_button(true, 2, 201, 601, 0, 0);  // the DOM's right button
  Event down = take();
  EXPECT_EQ(down.type, EventType::MouseDown);
  EXPECT_EQ(down.button, 1);
  EXPECT_EQ(down.x, 0);
  EXPECT_EQ(down.y, 300);
  in.mouse_button(false, 2, 1990, 5, 0, 0);  // released over the right bar
  Event up = take();
  EXPECT_EQ(up.type, EventType::MouseUp);
  EXPECT_EQ(up.x, 799);  // kept on the surface
  in.mouse_button(true, 1, 1000, 600, 0, 0);
  EXPECT_EQ(take().button, 2);  // middle
  in.mouse_move(1999, 1199, 0);
  EXPECT_EQ(in.cursor().x, 799);
  EXPECT_EQ(in.cursor().y, 599);
}

TEST_F(Input, DoubleClicksComeBetweenTheFirstReleaseAndTheSecondPress) {
  auto click = [&](double x, double t) {
    in.mouse_button(true, 0, x, 600, t, 0);
    in.mouse_button(false, 0, x, 600, t + 50, 0);
  };
  click(1000, 0);
  click(1004, 200);  // two surface pixels away, in time
  std::vector<EventType> types;
  for (const Event& e : out) types.push_back(e.type);
  EXPECT_EQ(types, (std::vector<EventType>{EventType::MouseDown, EventType::MouseUp,
                                           EventType::DoubleClick, EventType::MouseDown,
                                           EventType::MouseUp}));
  out.clear();
  click(1004, 400);  // a third press starts counting again
  EXPECT_EQ(out.size(), 2u);
  out.clear();
  click(1004, 1500);  // too late
  click(1100, 1600);  // too far
  EXPECT_EQ(out.size(), 4u);
}

TEST_F(Input, WheelNotches) {
  auto notches = [&] {
    int n = 0;
    for (const Event& e : out) n += e.wheel_delta / 120;
    out.clear();
    return n;
  };
  in.wheel(100, 0, 0);  // a notch towards the user
  EXPECT_EQ(notches(), -1);
  in.wheel(-53, 0, 0);  // a browser that scales its notch
  EXPECT_EQ(notches(), 1);
  in.wheel(-3, 1, 0);  // lines
  EXPECT_EQ(notches(), 1);
  in.wheel(300, 0, 0);  // fast: three at once
  EXPECT_EQ(notches(), -3);
  for (int i = 0; i < 9; ++i) in.wheel(10, 0, 0);  // a touchpad's small steps
  EXPECT_EQ(notches(), 0);
  in.wheel(10, 0, 0);
  EXPECT_EQ(notches(), -1);
  in.wheel(1e9, 0, 0);  // bounded
  EXPECT_EQ(notches(), -10);
}

TEST_F(Input, LosingTheFocusLetsGoFirst) {
  in.key(true, "ArrowLeft", "ArrowLeft", false, 0, false);
  in.mouse_button(true, 0, 1000, 600, 0, 0);
  out.clear();
  in.set_visible(false);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].type, EventType::KeyUp);
  EXPECT_EQ(out[0].key, 37);
  EXPECT_EQ(out[1].type, EventType::MouseUp);
  EXPECT_EQ(out[2].type, EventType::Deactivate);
  out.clear();
  in.set_focused(false);  // still inactive: nothing new
  in.set_visible(true);
  EXPECT_TRUE(out.empty());
  in.set_focused(true);
  EXPECT_EQ(take().type, EventType::Activate);
  // The key's release, seen after the focus came back, is not passed on.
  in.key(false, "ArrowLeft", "ArrowLeft", false, 0, false);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace platform::web
