#pragma once
#include "platform/clock.h"

namespace platform::win32 {

// The multimedia millisecond clock (timeGetTime), wrapping after 2^32 ms.
// While one exists the system timer runs at a resolution of 1 ms, so that
// sleeps and event waits end within a millisecond of their time.
class WinClock : public Clock {
 public:
  WinClock();
  ~WinClock() override;
  WinClock(const WinClock&) = delete;
  WinClock& operator=(const WinClock&) = delete;
  uint32_t now_ms() override;
  void sleep_ms(uint32_t ms) override;

 private:
  bool fine_ = false;
};

}  // namespace platform::win32
