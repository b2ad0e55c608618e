#pragma once
// Game controllers through SDL's game controller support, plugged in and out
// while the game runs, turned into the keys and wheel notches a keyboard and
// mouse would give (platform/pad_input.h has the mapping, the same on every
// backend). The right stick moves the cursor; its pull is read with
// cursor_pull().
#include <SDL.h>

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/pad_input.h"
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
    PadKeys keys;
  };
  Pad* find(SDL_JoystickID id);

  bool started_ = false;
  std::vector<Pad> pads_;
};

}  // namespace platform::sdl
