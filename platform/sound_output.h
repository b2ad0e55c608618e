#pragma once
// The sound a backend plays: the software mixer with the music added into
// its bus, pulled by the system's output device at the device's pace. Where
// there is no device the mixer is pulled at the same pace into nothing, so
// sounds still start, run their length and end as they would; the music is
// then not rendered. A backend writes only its AudioSink (or, where the
// system never calls back, pulls itself: the browser after each pass).
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/mixer.h"

namespace platform {

// The system's sound output: stereo, 16-bit, at the rate asked for.
class AudioSink {
 public:
  // Fills `frames` frames of interleaved stereo; called on the device's
  // thread.
  using Pull = std::function<void(int16_t* out, size_t frames)>;
  virtual ~AudioSink() = default;
  // Opens the default output at `rate` and calls pull from then on, as the
  // device asks for sound, until close(). False (with the reason in error)
  // when there is no device.
  virtual bool open(uint32_t rate, Pull pull, std::string& error) = 0;
  // Stops the device; no pull runs once it returns.
  virtual void close() = 0;
};

// The frames due, by a clock, for an output that plays nothing.
class SilentPace {
 public:
  explicit SilentPace(uint32_t rate) : rate_(rate) {}
  // The frames due at now_ms since the call before: none at the first call
  // (or after restart()), and at most a quarter of a second's, so a long
  // pause (a suspended machine, a hidden page) is not made up at once.
  size_t due(double now_ms);
  void restart() { start_ms_ = -1; }

 private:
  uint32_t rate_;
  double start_ms_ = -1;  // the time up to which frames were counted
};

class SoundOutput {
 public:
  static constexpr uint32_t kRate = 44100;
  // How often the pull into nothing runs without a device.
  static constexpr uint32_t kSilentPeriodMs = 10;

  explicit SoundOutput(uint32_t rate = kRate);
  ~SoundOutput() { stop(); }
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;

  Mixer& mixer() { return mixer_; }
  uint32_t rate() const { return mixer_.output_rate(); }

  // What renders the music into the mixer's bus (called on the device's
  // thread). Set before start().
  void set_music(Mixer::BusSource music) { music_ = std::move(music); }

  // Starts playing through `sink`. Without a device (false, with the reason
  // in error) a thread of ours pulls the mixer into nothing at the same
  // pace instead, until stop().
  bool start(AudioSink& sink, std::string& error);
  // Closes the sink, or ends the pulling thread.
  void stop();
  bool has_device() const { return sink_ != nullptr; }

  // The device's pull: the mixer's output with the music.
  void pull(int16_t* out, size_t frames);
  // Mixes `frames` into nothing, without the music.
  void pull_silently(size_t frames);
  // Frames pulled so far, either way (for tests).
  uint64_t frames_pulled() const { return pulled_.load(); }

 private:
  Mixer mixer_;
  Mixer::BusSource music_;
  AudioSink* sink_ = nullptr;
  std::vector<int16_t> scratch_;  // the silent pull's
  std::thread silent_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::atomic<uint64_t> pulled_{0};
};

}  // namespace platform
