#pragma once
// The program's one SDL window and the sizes offered for it. A full-screen
// window covers the desktop without ever changing the monitor's mode; a
// windowed one has the mode's size, and the player may resize it. The window
// stays hidden until show(), which the first presented frame calls.
#include <SDL.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/display_device.h"
#include "platform/screen_fit.h"
#include "platform/sdl/handles.h"

namespace platform::sdl {

using platform::offered_sizes;  // the sizes offered (platform/screen_fit.h)

class MainWindow {
 public:
  explicit MainWindow(std::string title) : title_(std::move(title)) {}

  // The offered sizes, each at every depth (the back surface is converted
  // whatever the desktop's depth). Listed once.
  std::vector<DisplayMode> modes();
  bool offers(int width, int height, int bits);

  // The window's icon: size x size pixels of 0xAARRGGBB, set on every window
  // made from now on.
  void set_icon(std::vector<uint32_t> argb, int size);

  // Makes the window: covering the desktop, or of width x height, centred.
  bool create(int width, int height, bool fullscreen);
  // A windowed window takes a new size, centred.
  void resize(int width, int height);
  void destroy();

  SDL_Window* get() const { return window_.get(); }
  explicit operator bool() const { return window_ != nullptr; }
  bool fullscreen() const { return fullscreen_; }
  bool shown() const { return shown_; }

  // Switches between covering the desktop and a framed, resizable window of
  // width x height (smaller where the desktop is), centred.
  void set_fullscreen(bool fullscreen, int width, int height);

  // Maps the window and raises it; nothing drawn before that is kept.
  void show();
  // Unmapped until the next show().
  void hide();

 private:
  std::string title_;
  WindowPtr window_;
  bool fullscreen_ = false;
  bool shown_ = false;
  // Full screen asked of the window manager directly (X11), not by SDL.
  bool wm_fullscreen_ = false;
  std::vector<DisplayMode> modes_;
  std::vector<uint32_t> icon_;
  int icon_size_ = 0;
};

}  // namespace platform::sdl
