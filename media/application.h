#pragma once
// The message loop: takes the platform's window events one after another,
// hands them to the window, and runs the idle handlers (the frame timer)
// between them.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/system.h"

namespace media {

class TDXTimer;

class TApplication {
 public:
  TApplication();
  ~TApplication();

  // The window's event handler.
  std::function<void(const platform::Event&)> OnEvent;

  bool Active() const { return active_; }
  void SetActive(bool active);  // tells the timers (activation notices)

  // Runs until Terminate(): events, then idle handlers; sleeps while nothing
  // is due.
  void Run();
  // One pass: all pending events, then one round of idle handlers.
  void ProcessMessages();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }

  // Timers register here to be called when the loop is idle.
  void AddIdleTimer(TDXTimer* t);
  void RemoveIdleTimer(TDXTimer* t);
  void AddTimer(TDXTimer* t);  // for activation notices
  void RemoveTimer(TDXTimer* t);

  // Milliseconds until the earliest running timer is due (UINT32_MAX: none).
  uint32_t MillisecondsToNextTick();

 private:
  bool HandleEvents();
  void Idle();

  bool active_ = true;
  bool terminated_ = false;
  std::vector<TDXTimer*> idle_timers_;
  std::vector<TDXTimer*> idle_snapshot_;  // reused by Idle()
  int idle_depth_ = 0;
  std::vector<TDXTimer*> timers_;
};

}  // namespace media
