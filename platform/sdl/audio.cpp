#include "platform/sdl/audio.h"

namespace platform::sdl {

bool SdlAudio::open(uint32_t rate, Pull pull, std::string& error) {
  close();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = SDL_GetError();
    return false;
  }
  pull_ = std::move(pull);
  SDL_AudioSpec want{};
  want.freq = int(rate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kBlockFrames;
  want.callback = &SdlAudio::callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts if the hardware differs, so the mixer
  // always sees exactly the rate asked for, stereo 16-bit.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    error = SDL_GetError();
    pull_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void SdlAudio::close() {
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  pull_ = nullptr;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudio::callback(void* self, Uint8* stream, int len) {
  auto* a = static_cast<SdlAudio*>(self);
  a->pull_(reinterpret_cast<int16_t*>(stream), size_t(len) / (2 * sizeof(int16_t)));
}

}  // namespace platform::sdl
