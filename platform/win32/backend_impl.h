#pragma once
// The parts of the Windows backend, for the backend's own tests.
#include <memory>
#include <thread>

#include "platform/midi.h"
#include "platform/mixer.h"
#include "platform/win32/audio.h"
#include "platform/win32/backend.h"
#include "platform/win32/clock.h"
#include "platform/win32/display.h"
#include "platform/win32/events.h"
#include "platform/win32/gdi_text.h"
#include "platform/win32/music.h"
#include "platform/win32/shell.h"

namespace platform::win32 {

struct Backend::Impl {
  explicit Impl(const std::string& title) : display(title), system(&display) {}
  ~Impl() {
    if (font_loader.joinable()) font_loader.join();
    // The threads read the mixer and the sequencer: stop them first.
    music.reset();
    audio.close();
  }
  WinClock clock;
  WinDisplay display;
  WinSystem system;
  WinShell shell;
  std::unique_ptr<Mixer> mixer;
  WaveOutAudio audio;
  std::unique_ptr<MidiOutMusic> music;
  // Without a MIDI device the pieces still keep time, so the game's
  // end-of-piece handling runs the same way, silently.
  std::unique_ptr<SilentMusicDevice> silent_music;
  std::thread font_loader;
  bool com = false;
};

}  // namespace platform::win32
