#pragma once
// One SDL audio device, 44.1 kHz stereo 16-bit, whose callback pulls the
// software mixer's output and then lets the music source add its own.
#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/mixer.h"

namespace platform::sdl {

// Adds music to an interleaved stereo block (called on the audio thread).
using MusicSource = std::function<void(int16_t* out, size_t frames)>;

class SdlAudio {
 public:
  static constexpr int kRate = 44100;

  // Opens the default device; false (with the reason in error) when there is
  // none, in which case the game runs silent.
  bool open(Mixer* mixer, std::string& error);
  void set_music_source(MusicSource source);
  void close();
  ~SdlAudio() { close(); }

 private:
  static void callback(void* self, Uint8* stream, int len);
  SDL_AudioDeviceID device_ = 0;
  Mixer* mixer_ = nullptr;
  MusicSource music_;
};

}  // namespace platform::sdl
