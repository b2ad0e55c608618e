#include "platform/sdl/video.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/sdl/keymap.h"
#include "platform/sdl/message_box.h"
#include "platform/sdl/x11_window.h"

namespace platform::sdl {

namespace {

bool is_valid_bits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// True when the renderer draws through an OpenGL implementation that runs on
// the processor (Mesa's llvmpipe or softpipe, or another "software" one).
bool uses_software_gl(SDL_Renderer* r) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(r, &info) != 0 || !info.name) return false;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (!get) return false;
  constexpr unsigned int kGlRenderer = 0x1F01;
  const auto* name = reinterpret_cast<const char*>(get(kGlRenderer));
  if (!name) return false;
  const std::string n(name);
  return n.find("llvmpipe") != std::string::npos || n.find("softpipe") != std::string::npos ||
         n.find("Software") != std::string::npos || n.find("software") != std::string::npos;
}

}  // namespace

// Packed formats are filled from their masks directly; SDL_MapRGB, one call
// per colour, took several milliseconds, paid on the first frame.
void fill_colour_table(const SDL_PixelFormat* f, std::vector<uint32_t>& lut) {
  lut.resize(65536);
  const bool packed = f->palette == nullptr && f->BytesPerPixel >= 2;
  for (uint32_t c = 0; c < 65536; ++c) {
    const uint32_t r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
    const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
    lut[c] = packed ? ((r >> f->Rloss) << f->Rshift) | ((g >> f->Gloss) << f->Gshift) |
                          ((b >> f->Bloss) << f->Bshift) | f->Amask
                    : SDL_MapRGB(f, uint8_t(r), uint8_t(g), uint8_t(b));
  }
}

SdlDisplay::SdlDisplay(std::string title) : title_(std::move(title)) {}

SdlDisplay::~SdlDisplay() { destroy_window(); }

void SdlDisplay::destroy_window() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  if (renderer_) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  if (window_) SDL_DestroyWindow(window_);
  window_ = nullptr;
  shown_ = false;
  wm_fullscreen_ = false;
  framebuffer_ = false;
  fb_surface_ = nullptr;
}

std::vector<DisplayMode> SdlDisplay::modes() {
  if (!modes_.empty()) return modes_;
  // The monitor's own sizes; each is offered at every depth, since the
  // back surface is converted by the renderer whatever the desktop's depth.
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

bool SdlDisplay::set_mode(int width, int height, int bits, bool fullscreen) {
  if (width <= 0 || height <= 0) return false;
  if (fullscreen) {
    if (!is_valid_bits(bits)) return false;
    const auto list = modes();
    const bool offered = std::any_of(list.begin(), list.end(), [&](const DisplayMode& m) {
      return m.width == width && m.height == height && m.bits == bits;
    });
    if (!offered) return false;
  }
  // Switching between windowed and full screen makes the window anew: a
  // window created covering the desktop gets the display's bounds at once,
  // also where no window manager acts on a later full-screen request.
  if (window_ && fullscreen != fullscreen_) destroy_window();
  if (!window_) {
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
    window_ = SDL_CreateWindow(title_.c_str(), x, y, w, h, flags);
    if (!window_) {
      std::fprintf(stderr, "zarnik: cannot create the window: %s\n", SDL_GetError());
      return false;
    }
    wm_fullscreen_ = ask_window_manager && set_x11_fullscreen_state(window_);
    if (ask_window_manager && !wm_fullscreen_)
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    shown_ = false;
  } else if (!fullscreen) {
    SDL_SetWindowSize(window_, width, height);
    SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  }
  width_ = width;
  height_ = height;
  fullscreen_ = fullscreen;
  // The renderer and the frame buffer are made by the first present: the
  // first, windowed mode of a start-up is never shown, so it needs neither.
  needs_setup_ = true;
  return true;
}

bool SdlDisplay::make_renderer() {
  framebuffer_ = false;
  // The accelerated renderer presents in step with the vertical blank, so it
  // is used whenever the graphics driver has one (an exact whole factor is
  // then scaled with nearest-pixel sampling and stays sharp). Whether it is
  // worth having is found out once per run: finding out means starting
  // OpenGL, which an emulated one makes slow.
  static bool accelerated_refused = false;
  if (!accelerated_refused && !may_have_hardware_gl(window_)) accelerated_refused = true;
  if (!accelerated_refused) {
    renderer_ =
        SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (renderer_ && !uses_software_gl(renderer_)) return true;
    // OpenGL emulated on the processor (a virtual display, no graphics
    // driver) costs far more per frame than the plain copy below.
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    accelerated_refused = true;
  }
  // The window's pixel buffer straight from the windowing system; SDL would
  // otherwise put it on an OpenGL renderer of its own. There is no vertical
  // blank to wait for on this path: the frame timer alone paces the frames.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  framebuffer_ = true;
  return true;
}

bool SdlDisplay::make_texture() {
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  if (framebuffer_) {
    // Start black: a frame drawn into part of the client area shows black
    // around it, not stale memory.
    frame_.assign(size_t(width_) * height_, 0);
    fb_surface_ = nullptr;
    return true;
  }
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                               width_, height_);
  if (!texture_) {
    std::fprintf(stderr, "zarnik: cannot create the frame texture: %s\n", SDL_GetError());
    return false;
  }
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) == 0) {
    for (int y = 0; y < height_; ++y)
      std::memset(static_cast<uint8_t*>(pixels) + y * pitch, 0, width_ * 2);
    SDL_UnlockTexture(texture_);
  }
  return true;
}

void SdlDisplay::mark_lost(bool device_reset) {
  lost_ = true;
  device_reset_ = device_reset_ || device_reset;
}

bool SdlDisplay::restore() {
  if (!lost_) return true;
  if (!window_) return false;
  if (needs_setup_) {
    // Nothing made yet: the first present makes everything anew.
    lost_ = false;
    device_reset_ = false;
    return true;
  }
  if (device_reset_ && !framebuffer_) {
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (!make_renderer()) return false;
  }
  if (!make_texture()) return false;
  lost_ = false;
  device_reset_ = false;
  return true;
}

DeviceResult SdlDisplay::present(const uint16_t* pixels, int width, int height, int pitch,
                                 int dst_x, int dst_y, int dst_w, int dst_h) {
  if (lost_) return DeviceResult::SurfacesLost;
  if (needs_setup_ && window_) {
    if (!renderer_ && !framebuffer_ && !make_renderer()) return DeviceResult::Failed;
    if (!make_texture()) return DeviceResult::Failed;
    needs_setup_ = false;
  }
  if (!window_ || !pixels || (!framebuffer_ && (!renderer_ || !texture_)))
    return DeviceResult::Failed;
  // The part of the destination inside the client area, and the matching
  // part of the source (the blit copies one to one; the whole client area is
  // scaled to the window afterwards).
  int sx = 0, sy = 0;
  int w = std::min({dst_w, width}), h = std::min({dst_h, height});
  int dx = dst_x, dy = dst_y;
  if (dx < 0) {
    sx = -dx;
    w += dx;
    dx = 0;
  }
  if (dy < 0) {
    sy = -dy;
    h += dy;
    dy = 0;
  }
  w = std::min(w, width_ - dx);
  h = std::min(h, height_ - dy);
  const uint16_t* src = pixels + size_t(sy) * pitch + sx;
  if (!shown_) {
    // Mapped first: what is drawn into a window that is not yet on the
    // screen is thrown away, and the first frame would show only with the
    // second.
    shown_ = true;
    // Starting OpenGL may have made the X window anew, without the state.
    if (wm_fullscreen_) set_x11_fullscreen_state(window_);
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
  }
  DeviceResult r;
  if (framebuffer_) {
    if (w > 0 && h > 0)
      for (int y = 0; y < h; ++y)
        std::memcpy(&frame_[size_t(dy + y) * width_ + dx], src + size_t(y) * pitch, size_t(w) * 2);
    r = present_framebuffer();
  } else {
    if (w > 0 && h > 0) {
      SDL_Rect rect{dx, dy, w, h};
      if (SDL_UpdateTexture(texture_, &rect, src, pitch * 2) != 0) return DeviceResult::Failed;
    }
    r = present_renderer();
  }
  if (r != DeviceResult::Ok) return r;
  ++frames_;
  return DeviceResult::Ok;
}

DeviceResult SdlDisplay::present_renderer() {
  int out_w = 0, out_h = 0;
  SDL_GetRendererOutputSize(renderer_, &out_w, &out_h);
  const Viewport vp = fit_viewport(width_, height_, out_w, out_h);
  SDL_SetTextureScaleMode(texture_, vp.integer_scale ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  const SDL_Rect out{vp.x, vp.y, vp.w, vp.h};
  if (SDL_RenderCopy(renderer_, texture_, nullptr, &out) != 0) return DeviceResult::Failed;
  // Waits for the vertical blank when the driver offers vsync.
  SDL_RenderPresent(renderer_);
  return DeviceResult::Ok;
}

DeviceResult SdlDisplay::present_framebuffer() {
  SDL_Surface* ws = SDL_GetWindowSurface(window_);
  if (!ws) return DeviceResult::Failed;
  if (ws->format->format != fb_format_) {
    // A colour table from the back surface's 5-6-5 to the window's format.
    fb_format_ = ws->format->format;
    fill_colour_table(ws->format, fb_lut_);
  }
  const Viewport vp = fit_viewport(width_, height_, ws->w, ws->h);
  bool fresh = false;
  if (ws != fb_surface_ || ws->w != fb_w_ || ws->h != fb_h_) {
    // A new or resized window buffer: black bars, sent once with the frame.
    // Only the bars are filled, since the frame covers the rest; a whole
    // fresh buffer took 20 ms to fill at 1920 x 1080.
    fb_surface_ = ws;
    fb_w_ = ws->w;
    fb_h_ = ws->h;
    fresh = true;
    const Uint32 black = SDL_MapRGB(ws->format, 0, 0, 0);
    const SDL_Rect bars[4] = {{0, 0, ws->w, vp.y},
                              {0, vp.y + vp.h, ws->w, ws->h - vp.y - vp.h},
                              {0, vp.y, vp.x, vp.h},
                              {vp.x + vp.w, vp.y, ws->w - vp.x - vp.w, vp.h}};
    for (const SDL_Rect& bar : bars)
      if (bar.w > 0 && bar.h > 0) SDL_FillRect(ws, &bar, black);
  }
  if (vp.w <= 0 || vp.h <= 0) return DeviceResult::Ok;
  if (int(fb_cols_.size()) != vp.w || fb_cols_src_w_ != width_) {
    fb_cols_.resize(size_t(vp.w));
    for (int x = 0; x < vp.w; ++x) fb_cols_[size_t(x)] = int(int64_t(x) * width_ / vp.w);
    fb_cols_src_w_ = width_;
  }
  if (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0) return DeviceResult::Failed;
  const int bpp = ws->format->BytesPerPixel;
  const bool one_to_one = vp.w == width_ && vp.h == height_;
  for (int y = 0; y < vp.h; ++y) {
    const int src_y = one_to_one ? y : int(int64_t(y) * height_ / vp.h);
    const uint16_t* row = &frame_[size_t(src_y) * width_];
    uint8_t* out =
        static_cast<uint8_t*>(ws->pixels) + size_t(vp.y + y) * ws->pitch + size_t(vp.x) * bpp;
    if (bpp == 4) {
      auto* o = reinterpret_cast<uint32_t*>(out);
      if (one_to_one) {
        for (int x = 0; x < vp.w; ++x) o[x] = fb_lut_[row[x]];
      } else {
        for (int x = 0; x < vp.w; ++x) o[x] = fb_lut_[row[fb_cols_[size_t(x)]]];
      }
    } else if (bpp == 2) {
      auto* o = reinterpret_cast<uint16_t*>(out);
      for (int x = 0; x < vp.w; ++x)
        o[x] = uint16_t(fb_lut_[row[one_to_one ? x : fb_cols_[size_t(x)]]]);
    } else {
      for (int x = 0; x < vp.w; ++x) {
        const uint32_t v = fb_lut_[row[one_to_one ? x : fb_cols_[size_t(x)]]];
        std::memcpy(out + size_t(x) * bpp, &v, size_t(bpp));  // little-endian low bytes
      }
    }
  }
  if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
  const SDL_Rect area = fresh ? SDL_Rect{0, 0, ws->w, ws->h} : SDL_Rect{vp.x, vp.y, vp.w, vp.h};
  if (SDL_UpdateWindowSurfaceRects(window_, &area, 1) != 0) return DeviceResult::Failed;
  return DeviceResult::Ok;
}

void SdlDisplay::close() {
  // The monitor's mode was never changed, so there is nothing to give back;
  // the window is hidden until a mode is set and a frame presented again.
  if (texture_) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  if (window_) SDL_HideWindow(window_);
  shown_ = false;
}

Viewport SdlDisplay::window_viewport() {
  int ww = 0, wh = 0;
  if (window_) SDL_GetWindowSize(window_, &ww, &wh);
  return fit_viewport(width_, height_, ww, wh);
}

bool SdlDisplay::to_surface(int wx, int wy, int& sx, int& sy) {
  const Viewport vp = window_viewport();
  window_to_surface(vp, width_, height_, wx, wy, sx, sy);
  return inside(vp, wx, wy);
}

// ---------------------------------------------------------------------------

void SdlSystem::clamp_to_surface(int& x, int& y) {
  x = std::clamp(x, 0, std::max(0, display_->client_width() - 1));
  y = std::clamp(y, 0, std::max(0, display_->client_height() - 1));
}

void SdlSystem::translate(const SDL_Event& ev) {
  Event e;
  switch (ev.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      e.key = virtual_key(ev.key.keysym.sym);
      if (e.key == 0) return;
      e.type = ev.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
      e.shift = shift_state(ev.key.keysym.mod);
      queue_.push_back(e);  // auto-repeat key-downs pass through as they come
      return;
    }
    case SDL_MOUSEMOTION: {
      if (ev.motion.which == SDL_TOUCH_MOUSEID) return;
      e.type = EventType::MouseMove;
      display_->to_surface(ev.motion.x, ev.motion.y, e.x, e.y);
      clamp_to_surface(e.x, e.y);
      e.shift = shift_state(SDL_GetModState());
      queue_.push_back(e);
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int b = mouse_button(ev.button.button);
      if (b < 0) return;
      e.button = b;
      e.shift = shift_state(SDL_GetModState());
      const bool on_surface = display_->to_surface(ev.button.x, ev.button.y, e.x, e.y);
      clamp_to_surface(e.x, e.y);
      if (ev.type == SDL_MOUSEBUTTONDOWN) {
        // The bars are not part of the window: presses there are dropped.
        if (!on_surface) return;
        button_down_[b] = true;
        // The second press of a double click comes as the double-click
        // notice followed by the press itself (down, up, double click, down,
        // up), and only for the left button.
        if (b == 0 && ev.button.clicks >= 2 && ev.button.clicks % 2 == 0) {
          Event d = e;
          d.type = EventType::DoubleClick;
          queue_.push_back(d);
        }
        e.type = EventType::MouseDown;
      } else {
        // A release is passed on when its press was, wherever it happens, so
        // a button held while the cursor leaves the surface is not stuck.
        if (!button_down_[b]) return;
        button_down_[b] = false;
        e.type = EventType::MouseUp;
      }
      queue_.push_back(e);
      return;
    }
    case SDL_MOUSEWHEEL: {
      int notches = ev.wheel.y;
      if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      int mx = 0, my = 0;
      SDL_GetMouseState(&mx, &my);
      e.type = EventType::Wheel;
      display_->to_surface(mx, my, e.x, e.y);
      clamp_to_surface(e.x, e.y);
      e.shift = shift_state(SDL_GetModState());
      // One notice per notch, as the handlers count them.
      for (int i = 0; i < std::abs(notches); ++i) {
        e.wheel_delta = notches > 0 ? 120 : -120;
        queue_.push_back(e);
      }
      return;
    }
    case SDL_WINDOWEVENT:
      switch (ev.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          e.type = EventType::Activate;
          queue_.push_back(e);
          return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          e.type = EventType::Deactivate;
          queue_.push_back(e);
          return;
        default: return;
      }
    case SDL_QUIT:
      // Closing the window, or the session asking the program to end.
      e.type = EventType::Close;
      queue_.push_back(e);
      return;
    case SDL_RENDER_TARGETS_RESET: display_->mark_lost(false); return;
    case SDL_RENDER_DEVICE_RESET: display_->mark_lost(true); return;
    default: return;
  }
}

bool SdlSystem::poll_event(Event& e) {
  SDL_Event ev;
  while (queue_.empty() && SDL_PollEvent(&ev)) translate(ev);
  if (queue_.empty()) return false;
  e = queue_.front();
  queue_.pop_front();
  return true;
}

void SdlSystem::wait_event(uint32_t timeout_ms) {
  if (!queue_.empty() || timeout_ms == 0) return;
  SDL_WaitEventTimeout(nullptr, int(timeout_ms));
}

Point SdlSystem::cursor_pos() {
  int mx = 0, my = 0;
  SDL_GetMouseState(&mx, &my);
  Point p;
  display_->to_surface(mx, my, p.x, p.y);
  clamp_to_surface(p.x, p.y);
  return p;
}

void SdlSystem::show_cursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

int SdlSystem::shell_open(const std::string& url) {
  // Success and failure as the handlers test them: above 32 is success.
  return SDL_OpenURL(url.c_str()) == 0 ? 42 : 2;
}

void SdlSystem::error_box(const std::string& title_utf8, const std::string& text_utf8) {
  std::fprintf(stderr, "%s: %s\n", title_utf8.c_str(), text_utf8.c_str());
  MessageBoxContent box;
  box.title = title_utf8;
  box.text = text_utf8;
  box.buttons = {"OK"};
  show_message_box(box, display_ ? display_->window() : nullptr);
}

bool SdlSystem::confirm_box(const std::string& title_utf8, const std::string& text_utf8) {
  MessageBoxContent box;
  box.title = title_utf8;
  box.text = text_utf8;
  box.buttons = {"Ano", "Ne"};
  box.return_button = 0;
  box.escape_button = 1;
  box.error = false;
  return show_message_box(box, display_ ? display_->window() : nullptr) == 0;
}

}  // namespace platform::sdl
