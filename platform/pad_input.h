#pragma once
// Game controllers as the keys and wheel notches a keyboard and mouse would
// give, the same on every backend that has them (SDL's game controllers on
// Linux, XInput on Windows, the Gamepad API in a browser), so the game's
// rules for those keys apply unchanged:
//
//   D-pad and left stick   the arrow keys
//   A                      Space and Enter (fire in play, choose in the menu)
//   B                      Ctrl (homing missile)
//   right / left shoulder  a wheel notch up / down (thrust)
//   Start                  Pause
//   Back                   Esc
//
// The right stick moves the cursor (PadCursor). A backend names its
// controls with PadButton, passes stick travel as -1..1 (y growing
// downward), and moves the system's own cursor where PadCursor::step puts
// it.
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
  Up,
  Down,
  Left,
  Right,
  Other
};

// What one controller holds down.
class PadKeys {
 public:
  // The left stick presses an arrow past half its travel and lets it go
  // below a third, so a stick held near the edge does not chatter.
  static constexpr double kStickPress = 0.5, kStickRelease = 1.0 / 3;

  // A button pressed or let go; wheel notches at `cursor`.
  void button(PadButton b, bool down, std::deque<Event>& out, Point cursor, uint32_t shift);
  // The left stick's travel on one axis.
  void left_stick_x(double v, std::deque<Event>& out);
  void left_stick_y(double v, std::deque<Event>& out);
  // The right stick's travel on one axis, and the pull on the cursor it
  // makes (stick_pull of each axis): true when it pulls at all.
  void right_stick_x(double v) { right_x_ = v; }
  void right_stick_y(double v) { right_y_ = v; }
  bool cursor_pull(float& x, float& y) const;
  // Lets go of everything (the controller went): a key the game saw go down
  // must come up.
  void release_all(std::deque<Event>& out);

 private:
  // A key down for the first control that holds it, up for the last.
  void press(int key, bool down, std::deque<Event>& out);
  void direction(int index, int key, bool pulled, bool within, std::deque<Event>& out);
  std::array<uint8_t, 64> held_{};
  std::array<bool, 4> stick_{};  // left, right, up, down
  double right_x_ = 0, right_y_ = 0;
};

// The right stick's pull on one axis, -1..1: zero inside the dead zone (a
// stick at rest is rarely at zero), squared for fine moves near the centre.
float stick_pull(double v);
inline constexpr double kCursorDeadZone = 8000.0 / 32767;

// The cursor a right stick moves: a full pull crosses the surface's width in
// a second; a pause of the loop does not make it jump.
class PadCursor {
 public:
  // Moves the cursor for a pull at the time now_ms, starting where `from`
  // is when it was not moving. True (with the new position) when it moved
  // to another pixel of a surface of width x height.
  bool move(float pull_x, float pull_y, uint32_t now_ms, Point from, int width, int height,
            Point& to);
  // The same, and the move queued as the window's MouseMove (modifier bits
  // `shift`) when the cursor reached another pixel.
  bool step(float pull_x, float pull_y, uint32_t now_ms, Point from, int width, int height,
            uint32_t shift, std::deque<Event>& out, Point& to);
  // Whether the stick leads the cursor (until the mouse moves it).
  bool leading() const { return leading_; }
  // The stick is at rest (the next pull starts timing afresh).
  void rest() { tick_ = 0; }
  void let_go() { leading_ = false; }
  Point position(int width, int height) const;

 private:
  bool leading_ = false;
  float x_ = 0, y_ = 0;
  uint32_t tick_ = 0;
};

}  // namespace platform
