#include "platform/win32/clock.h"

#include <mmsystem.h>
#include <windows.h>

namespace platform::win32 {

WinClock::WinClock() { fine_ = timeBeginPeriod(1) == TIMERR_NOERROR; }

WinClock::~WinClock() {
  if (fine_) timeEndPeriod(1);
}

uint32_t WinClock::now_ms() { return timeGetTime(); }

void WinClock::sleep_ms(uint32_t ms) { Sleep(ms); }

}  // namespace platform::win32
