#include "platform/sound_output.h"

#include <algorithm>
#include <chrono>

namespace platform {

namespace {
constexpr size_t kScratchFrames = 1024;
}

size_t SilentPace::due(double now_ms) {
  if (start_ms_ < 0 || now_ms < start_ms_) {
    start_ms_ = now_ms;
    return 0;
  }
  const auto due = size_t((now_ms - start_ms_) * rate_ / 1000);
  // Whole frames only: the rest of a frame counts towards the next call.
  start_ms_ += double(due) * 1000 / rate_;
  return std::min<size_t>(due, rate_ / 4);
}

SoundOutput::SoundOutput(uint32_t rate) : mixer_(rate) {}

bool SoundOutput::start(AudioSink& sink, std::string& error) {
  stop();
  if (sink.open(
          rate(), [this](int16_t* out, size_t frames) { pull(out, frames); }, error)) {
    sink_ = &sink;
    return true;
  }
  stopping_ = false;
  silent_ = std::thread([this] {
    SilentPace pace(rate());
    const auto t0 = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      const std::chrono::duration<double, std::milli> now = std::chrono::steady_clock::now() - t0;
      const size_t frames = pace.due(now.count());
      lock.unlock();
      pull_silently(frames);
      lock.lock();
      wake_.wait_for(lock, std::chrono::milliseconds(kSilentPeriodMs),
                     [this] { return stopping_; });
    }
  });
  return false;
}

void SoundOutput::stop() {
  if (sink_ != nullptr) {
    sink_->close();
    sink_ = nullptr;
  }
  if (silent_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    silent_.join();
  }
}

void SoundOutput::pull(int16_t* out, size_t frames) {
  mixer_.mix(out, frames, music_);
  pulled_ += frames;
}

void SoundOutput::pull_silently(size_t frames) {
  scratch_.resize(2 * kScratchFrames);
  pulled_ += frames;
  while (frames > 0) {
    const size_t n = std::min(frames, kScratchFrames);
    mixer_.mix(scratch_.data(), n);
    frames -= n;
  }
}

}  // namespace platform
