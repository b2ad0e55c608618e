#include "platform/sdl/backend.h"

#include <SDL.h>

#include <cstring>
#include <stdexcept>

#include "platform/fonts.h"
#include "platform/midi.h"
#include "platform/mixer.h"
#include "platform/sdl/audio.h"
#include "platform/sdl/clock.h"
#include "platform/sdl/music.h"
#include "platform/sdl/video.h"

namespace platform::sdl {

struct Backend::Impl {
  explicit Impl(const std::string& title) : display(title), system(&display) {}
  ~Impl() {
    // The audio thread reads the mixer and the synthesiser: stop it first.
    audio.close();
  }
  SdlDisplay display;
  SdlSystem system;
  SdlClock clock;
  std::unique_ptr<Mixer> mixer;
  SdlAudio audio;
  std::unique_ptr<FluidMusic> music;
  // Without a synthesiser the pieces still keep time, so the game's
  // end-of-piece handling runs the same way, silently.
  std::unique_ptr<SilentMusicDevice> silent_music;
  bool sound_ok = false;
  std::string audio_note;
};

std::unique_ptr<Backend> Backend::create(const BackendOptions& options) {
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
    throw std::runtime_error(std::string("Cannot open the display (") + SDL_GetError() +
                             "). Start the game from a graphical session.");
  }
  // Without a display SDL may fall back to a driver that draws nowhere; the
  // game would then run unseen. Such a driver is accepted only when asked
  // for by name (tests).
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  const bool invisible = driver && (std::strcmp(driver, "offscreen") == 0 ||
                                    std::strcmp(driver, "dummy") == 0 ||
                                    std::strcmp(driver, "evdev") == 0);
  if (SDL_GetNumVideoDisplays() < 1 || (invisible && !(requested && *requested))) {
    SDL_Quit();
    throw std::runtime_error(
        "Cannot open the display: no graphical session found. Start the game from one.");
  }
  auto impl = std::make_unique<Impl>(options.window_title);
  if (options.audio) {
    impl->mixer = std::make_unique<Mixer>(SdlAudio::kRate);
    std::string error;
    if (impl->audio.open(impl->mixer.get(), error)) {
      impl->sound_ok = true;
      impl->music = FluidMusic::create(SdlAudio::kRate, error);
      if (impl->music) {
        FluidMusic* m = impl->music.get();
        impl->audio.set_music_source([m](int16_t* out, size_t frames) { m->render_add(out, frames); });
      } else {
        impl->audio_note = "no music: " + error;
      }
    } else {
      impl->mixer.reset();
      impl->audio_note = "no sound device (" + error + "): the game runs silent";
    }
  }
  if (!impl->music) impl->silent_music = std::make_unique<SilentMusicDevice>(&impl->clock);
  return std::unique_ptr<Backend>(new Backend(std::move(impl)));
}

Backend::Backend(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Backend::~Backend() {
  impl_.reset();
  SDL_Quit();
}

Services Backend::services() {
  Services s;
  s.display = &impl_->display;
  s.sound = impl_->sound_ok ? impl_->mixer.get() : nullptr;
  s.music = impl_->music ? static_cast<MusicDevice*>(impl_->music.get())
                         : static_cast<MusicDevice*>(impl_->silent_music.get());
  s.clock = &impl_->clock;
  s.system = &impl_->system;
  s.fonts = &default_font_rasterizer();
  return s;
}

const std::string& Backend::audio_note() const { return impl_->audio_note; }

}  // namespace platform::sdl
