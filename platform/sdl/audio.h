#pragma once
// Sound output through one SDL audio device, 44.1 kHz stereo 16-bit, whose
// callback pulls the shared sound output (platform/sound_output.h).
#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sound_output.h"

namespace platform::sdl {

class SdlAudio : public AudioSink {
 public:
  static constexpr int kBlockFrames = 1024;  // about 23 ms per callback

  ~SdlAudio() override { close(); }
  bool open(uint32_t rate, Pull pull, std::string& error) override;
  void close() override;

 private:
  static void callback(void* self, Uint8* stream, int len);
  SDL_AudioDeviceID device_ = 0;
  Pull pull_;
};

}  // namespace platform::sdl
