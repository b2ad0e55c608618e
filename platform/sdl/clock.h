#pragma once
#include "platform/clock.h"

namespace platform::sdl {

// Milliseconds since SDL started; wraps after 2^32 ms like the system clock.
class SdlClock : public Clock {
 public:
  uint32_t now_ms() override;
  void sleep_ms(uint32_t ms) override;
};

}  // namespace platform::sdl
