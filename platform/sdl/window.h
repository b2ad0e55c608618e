#pragma once
// The program's one SDL window and the sizes offered for it. A full-screen
// window covers the desktop without ever changing the monitor's mode; a
// windowed one has the mode's size. The window stays hidden until show(),
// which the first presented frame calls.
#include <SDL.h>

#include <string>
#include <vector>

#include "platform/display_device.h"
#include "platform/sdl/handles.h"

namespace platform::sdl {

class MainWindow {
 public:
  explicit MainWindow(std::string title) : title_(std::move(title)) {}

  // The monitor's own sizes, each at every depth (the back surface is
  // converted whatever the desktop's depth). Listed once.
  std::vector<DisplayMode> modes();
  bool offers(int width, int height, int bits);

  // Makes the window: covering the desktop, or of width x height, centred.
  bool create(int width, int height, bool fullscreen);
  // A windowed window takes a new size, centred.
  void resize(int width, int height);
  void destroy();

  SDL_Window* get() const { return window_.get(); }
  explicit operator bool() const { return window_ != nullptr; }
  bool fullscreen() const { return fullscreen_; }
  bool shown() const { return shown_; }

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
};

}  // namespace platform::sdl
