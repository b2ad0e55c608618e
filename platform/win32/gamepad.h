#pragma once
// Game controllers on Windows through XInput, which every Xbox-style pad
// speaks: up to four, plugged in and out while the game runs, mapped onto
// the game's keys and wheel as on every backend (platform/pad_input.h).
// XInput sends no events: the pads' states are read and what changed since
// the last reading becomes events.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>

#include "platform/pad_input.h"
#include "platform/system.h"

namespace platform::win32 {

// One pad's state as XInput reports it: its XINPUT_GAMEPAD_* button bits and
// its sticks, whose y grows upward.
struct PadState {
  uint16_t buttons = 0;
  int16_t left_x = 0, left_y = 0, right_x = 0, right_y = 0;
};

// Reads pad `index` (0..3): false when no pad is connected there.
using PadReader = std::function<bool(unsigned index, PadState& state)>;

// The system's reader (XInputGetState from the system's XInput library),
// or one that finds no pads where the system has no XInput.
PadReader system_pad_reader();

class XInputPads {
 public:
  static constexpr unsigned kSlots = 4;
  // How often a slot without a pad is asked again: asking an empty slot is
  // slow on some systems.
  static constexpr uint32_t kRetryMs = 1000;

  // `reader` stands in for the system's XInput (tests give their own).
  explicit XInputPads(PadReader reader) : reader_(std::move(reader)) {}

  // Reads the pads at `now_ms` and appends the events of what changed (a
  // wheel notch at `cursor`, with the modifier bits `shift`); a pad that
  // went away lets go of everything it held.
  void poll(uint32_t now_ms, std::deque<Event>& out, Point cursor, uint32_t shift);
  int count() const;
  // The right stick's pull on each axis, -1..1; the first pad pulled wins.
  void cursor_pull(float& x, float& y) const;

 private:
  struct Slot {
    bool connected = false;
    bool asked = false;  // asked at least once
    uint32_t asked_at = 0;
    PadState last;
    PadKeys keys;
  };
  PadReader reader_;
  std::array<Slot, kSlots> slots_{};
};

}  // namespace platform::win32
