#include "platform/sdl/window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/sdl/x11_window.h"

namespace platform::sdl {

std::vector<DisplayMode> MainWindow::modes() {
  if (!modes_.empty()) return modes_;
  std::vector<std::pair<int, int>> sizes;
  const int n = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) == 0) sizes.emplace_back(m.w, m.h);
  }
  SDL_DisplayMode desk;
  if (SDL_GetDesktopDisplayMode(0, &desk) == 0) sizes.emplace_back(desk.w, desk.h);
  std::sort(sizes.begin(), sizes.end());
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  for (auto [w, h] : sizes) {
    if (w <= 0 || h <= 0) continue;
    for (int bits : {8, 16, 24, 32}) modes_.push_back({w, h, bits});
  }
  return modes_;
}

bool MainWindow::offers(int width, int height, int bits) {
  const auto list = modes();
  return std::any_of(list.begin(), list.end(), [&](const DisplayMode& m) {
    return m.width == width && m.height == height && m.bits == bits;
  });
}

bool MainWindow::create(int width, int height, bool fullscreen) {
  // Hidden until the first frame is presented, so no empty or windowed
  // stage flashes up while the game starts. A full-screen window is made
  // the size of the desktop at once, so the renderer chosen for it and the
  // first frame's scaling are those of the final window.
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS;
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED, w = width, h = height;
  bool ask_window_manager = false;
  if (fullscreen) {
    SDL_Rect desk;
    if (SDL_GetDisplayBounds(0, &desk) == 0 && desk.w > 0 && desk.h > 0) {
      x = desk.x;
      y = desk.y;
      w = desk.w;
      h = desk.h;
    }
    // On X11, SDL's own full-screen switch waits up to a tenth of a second
    // for a window manager to answer (the whole wait where there is none);
    // the window's state is set directly instead, which the window manager
    // reads when the window is mapped.
    const char* driver = SDL_GetCurrentVideoDriver();
    ask_window_manager = driver && std::strcmp(driver, "x11") == 0;
    if (!ask_window_manager) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  }
  window_.reset(SDL_CreateWindow(title_.c_str(), x, y, w, h, flags));
  if (!window_) {
    std::fprintf(stderr, "zarnik: cannot create the window: %s\n", SDL_GetError());
    return false;
  }
  wm_fullscreen_ = ask_window_manager && set_x11_fullscreen_state(window_.get());
  if (ask_window_manager && !wm_fullscreen_)
    SDL_SetWindowFullscreen(window_.get(), SDL_WINDOW_FULLSCREEN_DESKTOP);
  fullscreen_ = fullscreen;
  shown_ = false;
  return true;
}

void MainWindow::resize(int width, int height) {
  SDL_SetWindowSize(window_.get(), width, height);
  SDL_SetWindowPosition(window_.get(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void MainWindow::destroy() {
  window_.reset();
  shown_ = false;
  wm_fullscreen_ = false;
}

void MainWindow::show() {
  shown_ = true;
  // Starting OpenGL may have made the X window anew, without the state.
  if (wm_fullscreen_) set_x11_fullscreen_state(window_.get());
  SDL_ShowWindow(window_.get());
  SDL_RaiseWindow(window_.get());
}

void MainWindow::hide() {
  if (window_) SDL_HideWindow(window_.get());
  shown_ = false;
}

}  // namespace platform::sdl
