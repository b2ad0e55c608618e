#include "platform/win32/clock.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <mmsystem.h>
// clang-format on

namespace platform::win32 {

WinClock::WinClock() { fine_ = timeBeginPeriod(1) == TIMERR_NOERROR; }

WinClock::~WinClock() {
  if (fine_) timeEndPeriod(1);
}

uint32_t WinClock::now_ms() { return timeGetTime(); }

void WinClock::sleep_ms(uint32_t ms) { Sleep(ms); }

}  // namespace platform::win32
