#pragma once
// The frame timer, driven from the application's idle processing.
#include <cstdint>
#include <functional>

namespace media {

class TApplication;

class TDXTimer {
 public:
  explicit TDXTimer(TApplication* app);
  ~TDXTimer();

  bool ActiveOnly = true;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t ms);
  int FrameRate() const { return frame_rate_; }

  std::function<void(TDXTimer* sender, int lag_count)> OnTimer;
  std::function<void()> OnActivate, OnDeactivate;

  // While the component is loading, Enabled is only stored.
  void BeginLoading();
  void EndLoading();

  // Called by the application: the idle step and the activation notices.
  void Idle();
  void AppActivated();
  void AppDeactivated();
  // Milliseconds until the next tick is due (0 = due now); used by the
  // application loop to sleep instead of spinning.
  uint32_t MillisecondsToNextTick();
  bool Running() const { return running_; }
  // The application is going away before the timer.
  void DetachApplication() {
    app_ = nullptr;
    idle_installed_ = false;
  }

 private:
  void Start();
  void Stop();
  void InstallIdle();
  void RemoveIdle();

  TApplication* app_;
  bool enabled_ = true;
  bool loading_ = false;
  bool running_ = false;
  bool idle_installed_ = false;
  uint32_t interval_ = 1000;
  uint32_t last_ = 0;
  uint32_t frame_count_ = 0;
  uint32_t frame_window_start_ = 0;
  int frame_rate_ = 0;
};

}  // namespace media
