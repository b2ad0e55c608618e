// The real backend on Linux: an SDL window with its events, the SDL
// millisecond clock, one SDL audio device fed by the software mixer, and
// music rendered by FluidSynth into the same output. create() starts SDL;
// the returned object owns everything and must outlive the game window.
//
// Start-up does the slow parts side by side: the audio device opens and the
// fonts load on threads of their own while the display starts and the game
// reads its files.
#include "platform/backend.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "platform/fonts.h"
#include "platform/sdl/audio.h"
#include "platform/sdl/clock.h"
#include "platform/sdl/display.h"
#include "platform/sdl/events.h"
#include "platform/sdl/music.h"
#include "platform/sound_output.h"

namespace platform {

using sdl::FluidMusic;
using sdl::SdlAudio;

struct Backend::Impl {
  explicit Impl(const std::string& title) : display(title), system(&display) {}
  ~Impl() {
    join_starters();
    // The audio thread reads the mixer and the synthesiser: stop it first.
    if (sound) sound->stop();
  }
  void join_starters() {
    if (audio_starter.joinable()) audio_starter.join();
    font_preload.wait();
  }
  sdl::SdlDisplay display;
  sdl::SdlSystem system;
  sdl::SdlClock clock;
  std::unique_ptr<SoundOutput> sound;
  SdlAudio audio;
  std::unique_ptr<FluidMusic> music;
  std::thread audio_starter;
  std::atomic<bool> audio_started{false};
  FontPreload font_preload;
};

namespace {

// SDL takes the window class (X11) and the application id (Wayland) from
// these variables when its video starts. They are set for that moment only,
// so that programs the game starts (the web browser) do not inherit them.
class AppIdForVideoStart {
 public:
  explicit AppIdForVideoStart(const std::string& id) {
    for (Saved& s : saved_) {
      const char* old = std::getenv(s.name);
      s.had = old != nullptr;
      if (old) s.value = old;
      if (!id.empty()) setenv(s.name, id.c_str(), 1);
    }
  }
  ~AppIdForVideoStart() {
    for (const Saved& s : saved_) {
      if (s.had)
        setenv(s.name, s.value.c_str(), 1);
      else
        unsetenv(s.name);
    }
  }

 private:
  struct Saved {
    const char* name;
    bool had = false;
    std::string value;
  };
  Saved saved_[2] = {{"SDL_VIDEO_X11_WMCLASS", false, {}},
                     {"SDL_VIDEO_WAYLAND_WMCLASS", false, {}}};
};

}  // namespace

std::unique_ptr<Backend> Backend::create(const BackendOptions& options) {
  // SDL's own start-up first; fontconfig and the faces load meanwhile.
  if (SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
    throw std::runtime_error(std::string("SDL nelze spustit (") + SDL_GetError() + ").");
  }
  auto impl = std::make_unique<Impl>(options.window_title);
  Impl* p = impl.get();

  p->font_preload.start(default_font_rasterizer(), options.preload_fonts);

  // The mixer and the synthesiser need no device; the soundfont starts
  // loading now, on a thread of its own.
  std::string music_error;
  if (options.audio) {
    p->sound = std::make_unique<SoundOutput>();
    p->music = FluidMusic::create(int(p->sound->rate()), music_error);
    if (FluidMusic* m = p->music.get())
      p->sound->set_music([m](float* bus, size_t frames) { m->render_add(bus, frames); });
  }

  p->display.set_icon(options.icon, options.icon_size);
  bool video_ok = false;
  {
    AppIdForVideoStart app_id(options.app_id);
    video_ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
  }
  const std::string video_error = video_ok ? "" : SDL_GetError();
  // Without a display SDL may fall back to a driver that draws nowhere; the
  // game would then run unseen. Such a driver is accepted only when asked
  // for by name (tests).
  const char* driver = video_ok ? SDL_GetCurrentVideoDriver() : nullptr;
  const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  const bool invisible =
      driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                 std::strcmp(driver, "evdev") == 0);
  if (!video_ok || SDL_GetNumVideoDisplays() < 1 || (invisible && !(requested && *requested))) {
    impl.reset();
    SDL_Quit();
    if (!video_ok)
      throw std::runtime_error("Obrazovku nelze otevřít (" + video_error +
                               "). Spusťte hru v grafickém prostředí.");
    throw std::runtime_error(
        "Obrazovku nelze otevřít: grafické prostředí nenalezeno. Spusťte hru v něm.");
  }
  if (options.audio) {
    // The mixer is the sound service from the start: sounds loaded and
    // played before the device is open simply wait for it. Probing for a
    // device can take a tenth of a second where there is none, so it runs
    // beside the rest of start-up. It starts after the display: SDL's
    // subsystems must not start on two threads at once.
    p->audio_starter = std::thread([p, music_error] {
      std::string error;
      if (!p->sound->start(p->audio, error))
        std::fprintf(stderr, "zarnik: no sound device (%s): the game runs silent\n", error.c_str());
      else if (!p->music)
        std::fprintf(stderr, "zarnik: no music: %s\n", music_error.c_str());
      p->audio_started = true;
    });
    // Game controllers start on the game's thread once this one is done.
    p->system.set_gamepad_gate([p] { return p->audio_started.load(); });
  }
  // Without a synthesiser the table has no music: the music player keeps
  // the pieces' time silently.
  const Services table{.display = &p->display,
                       .sound = p->sound ? &p->sound->mixer() : nullptr,
                       .music = p->music.get(),
                       .clock = &p->clock,
                       .system = &p->system,
                       .fonts = &default_font_rasterizer()};
  return std::unique_ptr<Backend>(new Backend(std::move(impl), table));
}

void Backend::run(ProgramLoop& loop) { run_blocking(loop); }

Backend::Backend(std::unique_ptr<Impl> impl, const Services& services)
    : impl_(std::move(impl)), services_(services) {}

Backend::~Backend() {
  impl_.reset();
  SDL_Quit();
}

}  // namespace platform
