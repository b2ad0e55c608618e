#pragma once
// The real backend: an SDL window with its events, the SDL millisecond
// clock, one SDL audio device fed by the software mixer, and music rendered
// by FluidSynth into the same output. create() starts SDL; the returned
// object owns everything and must outlive the game window.
#include <memory>
#include <string>

#include "platform/services.h"

namespace platform::sdl {

struct BackendOptions {
  std::string window_title = "Zarnik";
  bool audio = true;  // false: no sound device and no music (silent)
};

class Backend {
 public:
  // Throws std::runtime_error with a readable text when SDL's video cannot
  // start (no display). A missing audio device or soundfont is not an error:
  // the services then lack sound or music.
  static std::unique_ptr<Backend> create(const BackendOptions& options = {});
  ~Backend();

  // The table to install into platform::services().
  Services services();

  // A readable line on what the audio side found (for the program's log on
  // stderr when something is missing).
  const std::string& audio_note() const;

  struct Impl;

 private:
  explicit Backend(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::sdl
