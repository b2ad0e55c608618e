// The message loop: window events one after another, then the idle handlers.
#include "media/application.h"

#include <algorithm>

#include "media/timer.h"
#include "platform/loop.h"
#include "platform/services.h"

namespace media {

TApplication::TApplication() = default;

TApplication::~TApplication() {
  // Timers that outlive the application must not call back into it.
  for (TDXTimer* t : timers_) t->DetachApplication();
}

void TApplication::SetActive(bool active) {
  if (active_ == active) return;
  active_ = active;
  std::vector<TDXTimer*> copy = timers_;
  for (TDXTimer* t : copy) {
    if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
    if (active)
      t->AppActivated();
    else
      t->AppDeactivated();
  }
}

bool TApplication::HandleEvents() {
  platform::System* sys = platform::services().system;
  if (sys == nullptr) return false;
  bool any = false;
  platform::Event e;
  while (!terminated_ && sys->poll_event(e)) {
    any = true;
    if (e.type == platform::EventType::Activate) SetActive(true);
    if (e.type == platform::EventType::Deactivate) SetActive(false);
    if (OnEvent) OnEvent(e);
  }
  return any;
}

void TApplication::Idle() {
  // The timers are walked over a snapshot, since a handler may stop (or
  // destroy) a timer. The snapshot lives in a member so that an idle round
  // costs no heap allocation; a nested round (a handler running the loop
  // itself) takes a copy of its own.
  std::vector<TDXTimer*> nested;
  std::vector<TDXTimer*>& copy = idle_depth_ == 0 ? idle_snapshot_ : nested;
  copy.assign(idle_timers_.begin(), idle_timers_.end());
  struct Depth {
    int& d;
    explicit Depth(int& depth) : d(depth) { ++d; }
    ~Depth() { --d; }
  } depth(idle_depth_);
  for (TDXTimer* t : copy) {
    if (terminated_) return;
    if (std::find(idle_timers_.begin(), idle_timers_.end(), t) == idle_timers_.end()) continue;
    t->Idle();
  }
}

void TApplication::ProcessMessages() {
  HandleEvents();
  if (!terminated_) Idle();
}

uint32_t TApplication::MillisecondsToNextTick() {
  uint32_t next = UINT32_MAX;
  for (TDXTimer* t : idle_timers_) next = std::min(next, t->MillisecondsToNextTick());
  return next;
}

void TApplication::Run() {
  while (!terminated_) {
    ProcessMessages();
    if (terminated_) break;
    // The timers only need the loop when a tick is due; until then it sleeps
    // in the event wait, so input still wakes it at once.
    platform::wait_for_next_pass(MillisecondsToNextTick());
  }
}

void TApplication::AddIdleTimer(TDXTimer* t) {
  if (std::find(idle_timers_.begin(), idle_timers_.end(), t) == idle_timers_.end())
    idle_timers_.push_back(t);
}

void TApplication::RemoveIdleTimer(TDXTimer* t) {
  idle_timers_.erase(std::remove(idle_timers_.begin(), idle_timers_.end(), t), idle_timers_.end());
}

void TApplication::AddTimer(TDXTimer* t) {
  if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) timers_.push_back(t);
}

void TApplication::RemoveTimer(TDXTimer* t) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), t), timers_.end());
}

}  // namespace media
