#pragma once
// One SDL audio device, 44.1 kHz stereo 16-bit, whose callback pulls the
// software mixer's output; the music source adds its own into the mixer's
// bus, ahead of the headroom and the limiter.
// Without a device a thread of ours pulls the mixer at the same pace into
// nothing, so sounds still start, run their length and end as they would.
#include <SDL.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/mixer.h"

namespace platform::sdl {

// Adds music to the mixer's bus (called on the audio thread).
using MusicSource = Mixer::BusSource;

class SdlAudio {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kBlockFrames = 1024;  // about 23 ms per callback

  // Opens the default device; false (with the reason in error) when there is
  // none, in which case the game runs silent.
  bool open(Mixer* mixer, std::string& error);
  // Pulls the mixer at the device's pace without playing anything (no
  // device). The music source is not called.
  void run_silent(Mixer* mixer);
  void set_music_source(MusicSource source);
  void close();
  ~SdlAudio() { close(); }

 private:
  static void callback(void* self, Uint8* stream, int len);
  SDL_AudioDeviceID device_ = 0;
  Mixer* mixer_ = nullptr;
  MusicSource music_;
  std::thread silent_;
  std::atomic<bool> stop_silent_{false};
};

}  // namespace platform::sdl
