#pragma once
// The real backend: an SDL window with its events, the SDL millisecond
// clock, one SDL audio device fed by the software mixer, and music rendered
// by FluidSynth into the same output. create() starts SDL; the returned
// object owns everything and must outlive the game window.
//
// Start-up does the slow parts side by side: the audio device opens and the
// fonts load on threads of their own while the display starts and the game
// reads its files.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

namespace platform::sdl {

struct BackendOptions {
  std::string window_title = "Zarnik";
  // The window class (X11) and application id (Wayland) that the desktop
  // entry's StartupWMClass and file name match.
  std::string app_id = "zarnik";
  // The window's icon: icon_size x icon_size pixels of 0xAARRGGBB (none
  // when empty).
  std::vector<uint32_t> icon;
  int icon_size = 0;
  bool audio = true;  // false: no sound device and no music (silent)
  // Font families to load ahead, while the rest of start-up runs.
  std::vector<std::string> preload_fonts;
};

class Backend {
 public:
  // Throws std::runtime_error with a readable text when SDL's video cannot
  // start (no display). A missing audio device or soundfont is not an error:
  // the game then runs silent or without music, and a line on stderr says
  // why.
  static std::unique_ptr<Backend> create(const BackendOptions& options = {});
  ~Backend();

  // The table to install into platform::services().
  Services services();

  struct Impl;

 private:
  explicit Backend(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::sdl
