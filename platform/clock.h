#pragma once
#include <cstdint>

namespace platform {

// The millisecond clock (wraps around after 2^32 ms like the system's).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t now_ms() = 0;
  // Blocks the calling thread for about ms milliseconds (the headless clock
  // simply advances).
  virtual void sleep_ms(uint32_t ms) = 0;
};

}  // namespace platform
