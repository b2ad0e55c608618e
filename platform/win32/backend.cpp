#include "platform/backend.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <cstdio>

#include "platform/fonts.h"
#include "platform/win32/backend_impl.h"

namespace platform {

using win32::MidiOutMusic;
using win32::WaveOutAudio;

std::unique_ptr<Backend> Backend::create(const BackendOptions& options) {
  // The window is drawn in the monitor's own pixels: without this, a
  // scaled desktop would stretch the game's frame a second time.
  if (HMODULE user = GetModuleHandleW(L"user32.dll"))
    if (auto aware = reinterpret_cast<BOOL(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDPIAware"))))
      aware();
  auto impl = std::make_unique<Impl>(options.window_title);
  impl->display.set_icon(options.icon, options.icon_size);
  impl->font_preload.start(default_font_rasterizer(), options.preload_fonts);
  // COM for the shell's calls on the game's thread (web address, shortcuts).
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  impl->com = hr == S_OK || hr == S_FALSE;
  if (options.audio) {
    // The mixer is the sound service from the start; without an output
    // device it is pulled silently at the same pace.
    impl->mixer = std::make_unique<Mixer>(WaveOutAudio::kRate);
    std::string error;
    if (!impl->audio.open(impl->mixer.get(), error))
      std::fprintf(stderr, "zarnik: no sound device (%s): the game runs silent\n", error.c_str());
    std::string music_error;
    impl->music = MidiOutMusic::create(&impl->clock, music_error);
    if (!impl->music) std::fprintf(stderr, "zarnik: no music: %s\n", music_error.c_str());
  }
  if (!impl->music) impl->silent_music = std::make_unique<SilentMusicDevice>(&impl->clock);
  MusicDevice* music = impl->music ? static_cast<MusicDevice*>(impl->music.get())
                                   : static_cast<MusicDevice*>(impl->silent_music.get());
  const Services table{.display = &impl->display,
                       .sound = impl->mixer.get(),
                       .music = music,
                       .clock = &impl->clock,
                       .system = &impl->system,
                       .fonts = &default_font_rasterizer(),
                       .shell = &impl->shell};
  return std::unique_ptr<Backend>(new Backend(std::move(impl), table));
}

Backend::Backend(std::unique_ptr<Impl> impl, const Services& services)
    : impl_(std::move(impl)), services_(services) {}

Backend::~Backend() {
  const bool com = impl_->com;
  impl_.reset();
  if (com) CoUninitialize();
}

}  // namespace platform
