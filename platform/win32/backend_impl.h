#pragma once
// The parts of the Windows backend, for the backend's own tests.
#include <memory>

#include "platform/backend.h"
#include "platform/sound_output.h"
#include "platform/win32/audio.h"
#include "platform/win32/clock.h"
#include "platform/win32/display.h"
#include "platform/win32/events.h"
#include "platform/win32/music.h"
#include "platform/win32/shell.h"

namespace platform {

// The Windows backend: the game's window drawn with GDI, its messages as
// events, the multimedia clock, the software mixer played through the
// system's wave output, music through the system's MIDI synthesiser, text
// through GDI fonts, and shortcuts and shell folders through the shell.
struct Backend::Impl {
  explicit Impl(const std::string& title) : display(title), system(&display) {}
  ~Impl() {
    font_preload.wait();
    // The threads read the mixer and the sequencer: stop them first.
    music.reset();
    if (sound) sound->stop();
  }
  win32::WinClock clock;
  win32::WinDisplay display;
  win32::WinSystem system;
  win32::WinShell shell;
  std::unique_ptr<SoundOutput> sound;
  win32::WaveOutAudio audio;
  std::unique_ptr<win32::MidiOutMusic> music;
  FontPreload font_preload;
  bool com = false;
};

}  // namespace platform
