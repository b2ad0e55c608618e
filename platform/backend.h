#pragma once
// The real backend a game program runs on: SDL on Linux (platform/sdl), the
// Win32 one on Windows (platform/win32), the browser's in the web build
// (platform/web). A program links exactly one of them; that library defines
// Backend::create(), run(), its constructor and destructor and the parts the
// backend owns (Backend::Impl). What every real backend has alike is written
// here once: the options a program starts it with, the fonts it loads ahead,
// and the table of services it hands out.
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/loop.h"
#include "platform/services.h"

namespace platform {

struct BackendOptions {
  std::string window_title = "Zarnik";
  // The window class (X11) and application id (Wayland) that the desktop
  // entry's StartupWMClass and file name match; unused where the system
  // names windows otherwise.
  std::string app_id = "zarnik";
  // The window's icon: icon_size x icon_size pixels of 0xAARRGGBB (none
  // when empty).
  std::vector<uint32_t> icon;
  int icon_size = 0;
  bool audio = true;  // false: no sound device and no music (silent)
  // Font families to load ahead, while the rest of start-up runs.
  std::vector<std::string> preload_fonts;
};

// Draws one glyph of each family on a thread of its own, so that the faces
// are found and loaded by the time the game first draws text. wait() (or the
// destructor) waits for the thread.
class FontPreload {
 public:
  FontPreload() = default;
  FontPreload(const FontPreload&) = delete;
  FontPreload& operator=(const FontPreload&) = delete;
  ~FontPreload() { wait(); }

  void start(FontRasterizer& fonts, std::vector<std::string> families);
  void wait();

 private:
  std::thread thread_;
};

class Backend {
 public:
  // Throws std::runtime_error with a readable text when the backend cannot
  // show the game (no display). A missing sound or music device is not an
  // error: the game then runs silent or without music, and a line on stderr
  // says why.
  static std::unique_ptr<Backend> create(const BackendOptions& options = {});
  ~Backend();
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;

  // The table to install into platform::services(), made by create().
  const Services& services() const { return services_; }

  // Drives the program's message loop. On the desktop it runs the loop on
  // this thread until it ends (run_blocking) and returns. In a browser it
  // hands the loop to the page, which makes a pass before each frame, and
  // does not return: main() is left without unwinding, so what the program
  // made before lives on with the page.
  void run(ProgramLoop& loop);

  // The backend's own parts (for its tests).
  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  Backend(std::unique_ptr<Impl> impl, const Services& services);
  std::unique_ptr<Impl> impl_;
  Services services_;
};

}  // namespace platform
