#pragma once
// The program's message loop as a backend drives it. The desktop backends
// run it to its end on the program's thread (run_blocking); the browser's
// makes one pass before each frame it shows, since a page must never block.
#include <cstdint>

namespace platform {

class ProgramLoop {
 public:
  virtual ~ProgramLoop() = default;
  // One pass: the events that came, then the timers that are due. False
  // once the program has ended (no further pass is made).
  virtual bool pass() = 0;
  // Milliseconds until the next tick falls due (UINT32_MAX: none runs).
  virtual uint32_t next_due_ms() = 0;
  // Runs once, after the last pass.
  virtual void ended() = 0;
};

// The desktop's driver: passes until one returns false, then ended().
// Between passes it waits (wait_for_next_pass).
void run_blocking(ProgramLoop& loop);

// Between two passes of a blocking loop: sleeps in the installed system's
// event wait until the next tick is due (a little before, the last
// millisecond on the clock, which is precise), so input still wakes it at
// once; with no tick running, at most a tenth of a second.
void wait_for_next_pass(uint32_t next_due_ms);

}  // namespace platform
