#include "platform/loop.h"

#include <thread>

#include "platform/clock.h"
#include "platform/services.h"
#include "platform/system.h"

namespace platform {

namespace {

// The event wait ends this many milliseconds before a tick is due: a wait may
// overshoot a little, and a tick must not come late.
constexpr uint32_t kWaitMargin = 1;
// Longest single sleep while no timer is running (events still wake it).
constexpr uint32_t kIdleWait = 100;

}  // namespace

void wait_for_next_pass(uint32_t next) {
  System* sys = services().system;
  Clock* clock = services().clock;
  if (next == UINT32_MAX) {
    if (sys != nullptr) sys->wait_event(kIdleWait);
  } else if (next > kWaitMargin) {
    if (sys != nullptr) sys->wait_event(next - kWaitMargin);
  } else if (next > 0) {
    if (clock != nullptr)
      clock->sleep_ms(next);
    else
      std::this_thread::yield();
  }
}

void run_blocking(ProgramLoop& loop) {
  while (loop.pass()) wait_for_next_pass(loop.next_due_ms());
  loop.ended();
}

}  // namespace platform
