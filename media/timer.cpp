// The frame timer. It is driven from the application's idle processing: each
// idle round asks whether Interval has passed since the last tick and, if so,
// calls OnTimer with the number of whole steps that went by.
#include "media/timer.h"

#include <algorithm>
#include <cmath>

#include "media/application.h"
#include "platform/clock.h"
#include "platform/services.h"

namespace media {

namespace {
uint32_t Now() {
  platform::Clock* c = platform::services().clock;
  return c != nullptr ? c->now_ms() : 0;
}
}  // namespace

TDXTimer::TDXTimer(TApplication* app) : app_(app) {
  if (app_ != nullptr) app_->AddTimer(this);
  if (enabled_) Start();
}

TDXTimer::~TDXTimer() {
  if (app_ != nullptr) {
    app_->RemoveIdleTimer(this);
    app_->RemoveTimer(this);
  }
}

void TDXTimer::SetEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  if (loading_) return;
  if (on)
    Start();
  else
    Stop();
}

void TDXTimer::SetInterval(uint32_t ms) { interval_ = ms; }

void TDXTimer::BeginLoading() { loading_ = true; }

void TDXTimer::EndLoading() {
  if (!loading_) return;
  loading_ = false;
  if (enabled_ && !running_) Start();
  if (!enabled_ && running_) Stop();
}

void TDXTimer::Start() {
  if (!ActiveOnly || app_ == nullptr || app_->Active()) {
    last_ = Now();
    frame_window_start_ = last_;
    frame_count_ = 0;
    InstallIdle();
  }
  running_ = true;
}

void TDXTimer::Stop() {
  RemoveIdle();
  running_ = false;
}

void TDXTimer::InstallIdle() {
  if (idle_installed_) return;
  idle_installed_ = true;
  if (app_ != nullptr) app_->AddIdleTimer(this);
}

void TDXTimer::RemoveIdle() {
  if (!idle_installed_) return;
  idle_installed_ = false;
  if (app_ != nullptr) app_->RemoveIdleTimer(this);
}

void TDXTimer::Idle() {
  if (!idle_installed_) return;
  uint32_t now = Now();
  uint32_t elapsed = now - last_;  // wraps with the clock
  if (elapsed < interval_) return;
  uint32_t step = std::max<uint32_t>(interval_, 1);
  int lag = static_cast<int>(std::max<uint32_t>(elapsed / step, 1));
  last_ = now;
  ++frame_count_;
  uint32_t window = now - frame_window_start_;
  if (window >= 1000) {
    frame_rate_ = static_cast<int>(std::nearbyint(frame_count_ * 1000.0 / window));
    frame_count_ = 0;
    frame_window_start_ = now;
  }
  if (OnTimer) OnTimer(this, lag);
}

void TDXTimer::AppActivated() {
  if (OnActivate) OnActivate();
  if (running_ && ActiveOnly) {
    // Time spent inactive is not made up: the next tick is one interval away.
    last_ = Now();
    InstallIdle();
  }
}

void TDXTimer::AppDeactivated() {
  if (OnDeactivate) OnDeactivate();
  if (running_ && ActiveOnly) RemoveIdle();
}

uint32_t TDXTimer::MillisecondsToNextTick() {
  if (!idle_installed_) return UINT32_MAX;
  uint32_t elapsed = Now() - last_;
  return elapsed >= interval_ ? 0 : interval_ - elapsed;
}

}  // namespace media
