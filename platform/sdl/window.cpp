#include "platform/sdl/window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/screen_fit.h"
#include "platform/sdl/x11_window.h"

namespace platform::sdl {

namespace {

bool is_x11() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && std::strcmp(driver, "x11") == 0;
}

}  // namespace

std::vector<DisplayMode> MainWindow::modes() {
  if (!modes_.empty()) return modes_;
  std::vector<std::pair<int, int>> monitor;
  const int n = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < n; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) == 0) monitor.emplace_back(m.w, m.h);
  }
  SDL_DisplayMode desk{};
  if (SDL_GetDesktopDisplayMode(0, &desk) != 0) desk.w = desk.h = 0;
  for (auto [w, h] : offered_sizes(std::move(monitor), desk.w, desk.h))
    for (int bits : {8, 16, 24, 32}) modes_.push_back({w, h, bits});
  return modes_;
}

bool MainWindow::offers(int width, int height, int bits) {
  const auto list = modes();
  return std::any_of(list.begin(), list.end(), [&](const DisplayMode& m) {
    return m.width == width && m.height == height && m.bits == bits;
  });
}

void MainWindow::set_icon(std::vector<uint32_t> argb, int size) {
  if (size <= 0 || argb.size() != size_t(size) * size) return;
  icon_ = std::move(argb);
  icon_size_ = size;
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
    ask_window_manager = is_x11();
    if (!ask_window_manager) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  }
  window_.reset(SDL_CreateWindow(title_.c_str(), x, y, w, h, flags));
  if (!window_) {
    std::fprintf(stderr, "zarnik: cannot create the window: %s\n", SDL_GetError());
    return false;
  }
  if (!icon_.empty()) {
    SurfacePtr icon(SDL_CreateRGBSurfaceWithFormatFrom(icon_.data(), icon_size_, icon_size_, 32,
                                                       icon_size_ * 4, SDL_PIXELFORMAT_ARGB8888));
    if (icon) SDL_SetWindowIcon(window_.get(), icon.get());  // SDL keeps a copy
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

void MainWindow::set_fullscreen(bool fullscreen, int width, int height) {
  if (!window_ || fullscreen == fullscreen_) return;
  SDL_Window* w = window_.get();
  const int display = std::max(0, SDL_GetWindowDisplayIndex(w));
  SDL_Rect desk{0, 0, 0, 0};
  SDL_GetDisplayBounds(display, &desk);
  // On X11 the window manager is asked directly, as at the start, and the
  // window is also moved itself: where no window manager runs, nobody else
  // would. Elsewhere SDL's own switch does it.
  const bool ask_window_manager = is_x11() && (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) == 0;
  if (fullscreen) {
    SDL_SetWindowBordered(w, SDL_FALSE);
    if (ask_window_manager && request_x11_fullscreen(w, true)) {
      if (desk.w > 0 && desk.h > 0) {
        SDL_SetWindowPosition(w, desk.x, desk.y);
        SDL_SetWindowSize(w, desk.w, desk.h);
      }
    } else {
      SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
  } else {
    if (ask_window_manager)
      request_x11_fullscreen(w, false);
    else
      SDL_SetWindowFullscreen(w, 0);
    wm_fullscreen_ = false;
    // The mode's size, or the largest of its shape that leaves room for a
    // frame and the desktop's panels.
    SDL_Rect usable = desk;
    SDL_GetDisplayUsableBounds(display, &usable);
    const int room_w = usable.w * 9 / 10, room_h = usable.h * 9 / 10;
    if (room_w > 0 && room_h > 0 && (width > room_w || height > room_h)) {
      const Viewport fit = fit_viewport(width, height, room_w, room_h);
      width = fit.w;
      height = fit.h;
    }
    SDL_SetWindowBordered(w, SDL_TRUE);
    SDL_SetWindowResizable(w, SDL_TRUE);
    SDL_SetWindowSize(w, width, height);
    SDL_SetWindowPosition(w, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  fullscreen_ = fullscreen;
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
