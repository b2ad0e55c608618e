#pragma once
// Game controllers through SDL's game controller support, plugged in and out
// while the game runs, turned into the keys and wheel notches a keyboard and
// mouse would give, so the game's rules for them apply unchanged:
//
//   D-pad and left stick   the arrow keys
//   A                      Space and Enter (fire in play, choose in the menu)
//   B                      Ctrl (homing missile)
//   right / left shoulder  a wheel notch up / down (thrust)
//   Start                  Pause
//   Back                   Esc
//
// The right stick moves the cursor; its pull is read with cursor_pull().
#include <SDL.h>

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/sdl/handles.h"
#include "platform/system.h"

namespace platform::sdl {

class Gamepads {
 public:
  Gamepads() = default;
  Gamepads(const Gamepads&) = delete;
  Gamepads& operator=(const Gamepads&) = delete;
  ~Gamepads();

  // Starts SDL's game controller support; controllers already plugged in
  // then arrive as added devices. False when SDL refuses.
  bool start();
  bool started() const { return started_; }
  int count() const { return int(pads_.size()); }

  // Takes one SDL event. Returns false when it is no controller's event;
  // otherwise the window events it makes are queued (wheel notches at
  // `cursor`, with modifier bits `shift`).
  bool translate(const SDL_Event& ev, std::deque<Event>& out, Point cursor, uint32_t shift);

  // The right stick's pull on each axis, -1..1, zero inside the dead zone;
  // the first controller pulled wins.
  void cursor_pull(float& x, float& y) const;

 private:
  struct Pad {
    SDL_JoystickID id = -1;
    ControllerPtr controller;
    // How many of the pad's controls hold each key down (the D-pad and the
    // stick may hold the same arrow).
    std::array<uint8_t, 64> held{};
    // Left stick directions held: left, right, up, down.
    std::array<bool, 4> stick{};
    int16_t right_x = 0, right_y = 0;
  };
  Pad* find(SDL_JoystickID id);
  void press(Pad& pad, int key, bool down, std::deque<Event>& out);
  void release_all(Pad& pad, std::deque<Event>& out);

  bool started_ = false;
  std::vector<Pad> pads_;
};

}  // namespace platform::sdl
