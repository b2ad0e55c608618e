// What every backend's window-system services share: the event queue a
// backend fills, the rules of the mouse's buttons, and the cursor a
// controller's stick leads until the mouse moves.
#include "platform/queued_system.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/headless/headless.h"

namespace platform {
namespace {

TEST(MouseButtons, PressesOnTheBarsAreDroppedAndOnlyPressedButtonsAreReleased) {
  // Each step: press or release, the button, whether on the surface, whether
  // the system counts it a second click; what reaches the window.
  const struct {
    bool press;
    int button;
    bool on_surface, second;
    std::vector<EventType> gives;
  } steps[] = {
      {true, 0, false, false, {}},  // on the bars
      {false, 0, true, false, {}},  // its press was dropped
      {true, 1, true, false, {EventType::MouseDown}},
      {false, 1, false, false, {EventType::MouseUp}},  // released anywhere
      {false, 1, true, false, {}},                     // only once
      {true, 0, true, false, {EventType::MouseDown}},
      {false, 0, true, false, {EventType::MouseUp}},
      {true, 0, true, true, {EventType::DoubleClick, EventType::MouseDown}},
      {false, 0, true, false, {EventType::MouseUp}},
      {true, 2, true, true, {EventType::MouseDown}},  // only the left button's double clicks
      {true, 3, true, false, {}},                     // no such button
  };
  MouseButtons buttons;
  std::deque<Event> out;
  for (size_t i = 0; i < std::size(steps); ++i) {
    const auto& s = steps[i];
    SCOPED_TRACE(i);
    Event e;
    e.button = s.button;
    e.x = 5;
    e.y = 6;
    e.shift = 2;
    const bool queued =
        s.press ? buttons.press(e, s.on_surface, s.second, out) : buttons.release(e, out);
    EXPECT_EQ(queued, !s.gives.empty());
    std::vector<EventType> got;
    for (const Event& g : out) {
      got.push_back(g.type);
      EXPECT_EQ(g.button, s.button);
      EXPECT_EQ(g.x, 5);
      EXPECT_EQ(g.shift, 2u);
    }
    out.clear();
    EXPECT_EQ(got, s.gives);
  }
  EXPECT_TRUE(buttons.any_down()) << "the middle button is still down";
  buttons.release_all({1, 2}, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].type, EventType::MouseUp);
  EXPECT_EQ(out[0].button, 2);
  EXPECT_EQ(out[0].x, 1);
  EXPECT_FALSE(buttons.any_down());
}

// A backend whose system hands over its events in batches.
class FakeSystem : public QueuedSystem {
 public:
  explicit FakeSystem(DisplayDevice* display) : QueuedSystem(display) {}
  std::deque<std::vector<Event>> waiting;
  Point mouse{3, 4};
  int fills = 0;

  void wait_event(uint32_t) override {}
  void show_cursor(bool) override {}
  bool shell_open(const std::string&) override { return false; }
  void error_box(const std::string&, const std::string&) override {}
  bool confirm_box(const std::string&, const std::string&) override { return false; }

  using QueuedSystem::clamp_to_surface;
  using QueuedSystem::lead_cursor;
  using QueuedSystem::mouse_moved;
  using QueuedSystem::pad_leads;

 private:
  void fill() override {
    ++fills;
    if (waiting.empty()) return;
    for (const Event& e : waiting.front()) queue_.push_back(e);
    waiting.pop_front();
  }
  Point system_cursor() override { return mouse; }
};

Event key(int k) {
  Event e;
  e.key = k;
  return e;
}

TEST(QueuedSystem, EventsComeOldestFirstAndTheSystemIsAskedOnlyWhenNoneWaits) {
  headless::HeadlessDisplay display;
  FakeSystem sys(&display);
  sys.waiting = {{key(1), key(2)}, {}, {key(3)}};
  Event e;
  ASSERT_TRUE(sys.poll_event(e));
  EXPECT_EQ(e.key, 1);
  ASSERT_TRUE(sys.poll_event(e));
  EXPECT_EQ(e.key, 2);
  EXPECT_EQ(sys.fills, 1);
  EXPECT_FALSE(sys.poll_event(e)) << "a batch without events";
  ASSERT_TRUE(sys.poll_event(e));
  EXPECT_EQ(e.key, 3);
  EXPECT_FALSE(sys.poll_event(e));
}

TEST(QueuedSystem, TheStickLeadsTheCursorUntilTheMouseMovesItself) {
  headless::HeadlessDisplay display;  // 640 x 480
  FakeSystem sys(&display);
  EXPECT_EQ(sys.cursor_pos().x, 3);
  Point to;
  EXPECT_FALSE(sys.lead_cursor(1, 0, 1000, 0, to)) << "the first pull starts the clock";
  EXPECT_TRUE(sys.pad_leads());
  EXPECT_TRUE(sys.lead_cursor(1, 0, 1010, 4, to));
  EXPECT_EQ(to.x, 3 + 640 / 100);
  EXPECT_EQ(to.y, 4);
  EXPECT_EQ(sys.cursor_pos().x, to.x) << "the game reads where the stick put it";
  Event e;
  ASSERT_TRUE(sys.poll_event(e));
  EXPECT_EQ(e.type, EventType::MouseMove);
  EXPECT_EQ(e.x, to.x);
  EXPECT_EQ(e.shift, 4u);
  sys.mouse_moved();
  EXPECT_EQ(sys.cursor_pos().x, 3) << "the mouse leads again";
  int x = -5, y = 900;
  sys.clamp_to_surface(x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 479);
}

}  // namespace
}  // namespace platform
