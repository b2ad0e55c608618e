#include "platform/sdl/audio.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace platform::sdl {

bool SdlAudio::open(Mixer* mixer, std::string& error) {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    error = SDL_GetError();
    return false;
  }
  mixer_ = mixer;
  SDL_AudioSpec want{};
  want.freq = kRate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = kBlockFrames;
  want.callback = &SdlAudio::callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts if the hardware differs, so the mixer
  // always sees exactly 44.1 kHz stereo 16-bit.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    error = SDL_GetError();
    mixer_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void SdlAudio::run_silent(Mixer* mixer) {
  if (device_ != 0 || silent_.joinable() || mixer == nullptr) return;
  mixer_ = mixer;
  stop_silent_ = false;
  silent_ = std::thread([this] {
    std::vector<int16_t> block(size_t(kBlockFrames) * 2);
    const auto period = std::chrono::microseconds(int64_t(kBlockFrames) * 1000000 / kRate);
    auto next = std::chrono::steady_clock::now();
    while (!stop_silent_.load()) {
      mixer_->mix(block.data(), size_t(kBlockFrames));
      next += period;
      std::this_thread::sleep_until(next);
    }
  });
}

void SdlAudio::set_music_source(MusicSource source) {
  if (device_) SDL_LockAudioDevice(device_);
  music_ = std::move(source);
  if (device_) SDL_UnlockAudioDevice(device_);
}

void SdlAudio::close() {
  if (silent_.joinable()) {
    stop_silent_ = true;
    silent_.join();
  }
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);
  device_ = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudio::callback(void* self, Uint8* stream, int len) {
  auto* a = static_cast<SdlAudio*>(self);
  auto* out = reinterpret_cast<int16_t*>(stream);
  const size_t frames = size_t(len) / (2 * sizeof(int16_t));
  if (a->mixer_) {
    a->mixer_->mix(out, frames, a->music_);
  } else {
    std::memset(stream, 0, size_t(len));
  }
}

}  // namespace platform::sdl
