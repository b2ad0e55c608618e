#pragma once
// The browser's millisecond clock: the page's monotonic time, or during a
// pass of the loop the time of the display frame it draws for (so that
// passes made once per display frame are exactly a frame apart). Never goes
// back. A test may hold it and move it on itself.
#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdint>

#include "platform/clock.h"

namespace platform::web {

class WebClock : public Clock {
 public:
  uint32_t now_ms() override {
    if (held_) return held_ms_;
    const double t = frame_time_ >= 0 ? frame_time_ : emscripten_get_now();
    uint32_t ms = uint32_t(uint64_t(std::floor(t)));
    if (int32_t(ms - last_) < 0) ms = last_;
    last_ = ms;
    return ms;
  }
  // A browser cannot sleep; nothing the game runs in the browser waits.
  void sleep_ms(uint32_t ms) override {
    if (held_) held_ms_ += ms;
  }

  // The display frame's time for the pass that follows (< 0: none).
  void set_frame_time(double t) { frame_time_ = t; }
  void hold() {
    held_ms_ = now_ms();
    held_ = true;
  }
  void advance(uint32_t ms) { held_ms_ += ms; }
  bool held() const { return held_; }

 private:
  double frame_time_ = -1;
  uint32_t last_ = 0;
  bool held_ = false;
  uint32_t held_ms_ = 0;
};

}  // namespace platform::web
