#pragma once
// Game controllers turned into the keys and wheel notches a keyboard and
// mouse would give, so the game's rules for them apply unchanged. The same
// on every backend: each reports its pads' buttons and sticks in the terms
// below (SDL's game controllers on Linux, XInput on Windows).
//
//   D-pad and left stick   the arrow keys
//   A                      Space and Enter (fire in play, choose in the menu)
//   B                      Ctrl (homing missile)
//   right / left shoulder  a wheel notch up / down (thrust)
//   Start                  Pause
//   Back                   Esc
//
// The right stick moves the cursor: PadMapper::cursor_pull gives its pull,
// PadCursor turns the pull into a position over time.
#include <array>
#include <cstdint>
#include <deque>

#include "platform/system.h"

namespace platform {

enum class PadButton {
  A,
  B,
  Back,
  Start,
  LeftShoulder,
  RightShoulder,
  DpadUp,
  DpadDown,
  DpadLeft,
  DpadRight,
};

// Stick axes with values -32768..32767; a stick's y grows downward.
enum class PadAxis { LeftX, LeftY, RightX, RightY };

// One pad's state as the game's events see it.
class PadMapper {
 public:
  // A button went down or up: its events are appended to `out` (a wheel
  // notch at `cursor`, with the modifier bits `shift`).
  void button(PadButton b, bool down, std::deque<Event>& out, Point cursor, uint32_t shift);
  // An axis now stands at `value`.
  void axis(PadAxis a, int16_t value, std::deque<Event>& out);
  // The pad is gone: every key the game saw go down comes up.
  void release_all(std::deque<Event>& out);
  // The right stick's pull on each axis, -1..1, zero inside the dead zone.
  void cursor_pull(float& x, float& y) const;

 private:
  void press(int key, bool down, std::deque<Event>& out);

  // How many of the pad's controls hold each key down (the D-pad and the
  // stick may hold the same arrow).
  std::array<uint8_t, 64> held_{};
  // Left stick directions held: left, right, up, down.
  std::array<bool, 4> stick_{};
  int16_t right_x_ = 0, right_y_ = 0;
};

// The cursor as the right stick moves it, in back-surface pixels: a full
// pull crosses the surface's width in a second.
class PadCursor {
 public:
  // Moves by the pull (-1..1 each) since the last step at `now_ms`, from
  // `from` when the stick starts pulling. True, with the new position in
  // `at`, when it moved to another pixel. A stick at rest ends the motion;
  // a pause in the loop (a loading screen) does not make the cursor jump.
  bool step(float pull_x, float pull_y, uint32_t now_ms, int width, int height, Point from,
            Point& at);
  // Whether the stick leads the cursor (until the mouse moves again).
  bool leading() const { return leading_; }
  void let_go() { leading_ = false; }
  Point position() const;

 private:
  bool leading_ = false;
  float x_ = 0, y_ = 0;
  uint32_t tick_ = 0;
};

}  // namespace platform
