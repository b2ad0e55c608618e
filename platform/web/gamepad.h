#pragma once
// Game controllers as the browser's Gamepad API reports them (sampled once a
// frame), turned into the keys and wheel notches a keyboard and mouse would
// give, the same as on Linux (platform/pad_input.h). The right stick moves
// the cursor; its pull is read with cursor_pull(). Buttons and axes are
// numbered as the API's standard mapping has them.
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/pad_input.h"
#include "platform/system.h"

namespace platform::web {

// One controller as sampled: buttons pressed, axes -1..1.
struct PadSample {
  long index = 0;  // the API's index of the controller
  bool connected = false;
  std::vector<bool> buttons;
  std::vector<double> axes;
};

class Gamepads {
 public:
  // The standard mapping's numbers.
  enum Button {
    kA = 0,
    kB = 1,
    kLeftShoulder = 4,
    kRightShoulder = 5,
    kBack = 8,
    kStart = 9,
    kDpadUp = 12,
    kDpadDown = 13,
    kDpadLeft = 14,
    kDpadRight = 15
  };
  enum Axis { kLeftX = 0, kLeftY = 1, kRightX = 2, kRightY = 3 };

  // Takes this frame's samples of every controller present. Controllers
  // that went (or are missing from the list) let go of what they held.
  // Events go to out; wheel notches at `cursor` with modifier bits `shift`.
  void update(const std::vector<PadSample>& pads, std::deque<Event>& out, Point cursor,
              uint32_t shift);

  // The right stick's pull on each axis, -1..1, zero inside the dead zone;
  // the first controller pulled wins.
  void cursor_pull(float& x, float& y) const;
  int count() const { return int(pads_.size()); }

 private:
  struct Pad {
    long index = 0;
    bool seen = false;
    std::vector<bool> buttons;  // as last sampled
    PadKeys keys;
  };

  std::vector<Pad> pads_;
};

}  // namespace platform::web
