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
    impl->sound = std::make_unique<SoundOutput>();
    std::string error;
    if (!impl->sound->start(impl->audio, error))
      std::fprintf(stderr, "zarnik: no sound device (%s): the game runs silent\n", error.c_str());
    std::string music_error;
    impl->music = MidiOutMusic::create(&impl->clock, music_error);
    if (!impl->music) std::fprintf(stderr, "zarnik: no music: %s\n", music_error.c_str());
  }
  // Without a synthesiser the table has no music: the music player keeps
  // the pieces' time silently.
  const Services table{.display = &impl->display,
                       .sound = impl->sound ? &impl->sound->mixer() : nullptr,
                       .music = impl->music.get(),
                       .clock = &impl->clock,
                       .system = &impl->system,
                       .fonts = &default_font_rasterizer(),
                       .shell = &impl->shell};
  return std::unique_ptr<Backend>(new Backend(std::move(impl), table));
}

void Backend::run(ProgramLoop& loop) { run_blocking(loop); }

Backend::Backend(std::unique_ptr<Impl> impl, const Services& services)
    : impl_(std::move(impl)), services_(services) {}

Backend::~Backend() {
  const bool com = impl_->com;
  impl_.reset();
  if (com) CoUninitialize();
}

}  // namespace platform
