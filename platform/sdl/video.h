#pragma once
// The SDL window as the display device, and its events as the window-system
// services. The window covers the desktop without ever changing the
// monitor's mode: the chosen mode is a back surface size, scaled to fit.
#include <SDL.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/display_device.h"
#include "platform/sdl/viewport.h"
#include "platform/system.h"

namespace platform::sdl {

// The window pixel in format f for every 5-6-5 colour, each channel widened
// by repeating its top bits (so white stays white).
void fill_colour_table(const SDL_PixelFormat* f, std::vector<uint32_t>& lut);

class SdlDisplay : public DisplayDevice {
 public:
  explicit SdlDisplay(std::string title);
  ~SdlDisplay() override;

  std::vector<DisplayMode> modes() override;
  bool set_mode(int width, int height, int bits, bool fullscreen) override;
  int client_width() override { return width_; }
  int client_height() override { return height_; }
  bool surfaces_lost() override { return lost_; }
  bool restore() override;
  DeviceResult present(const uint16_t* pixels, int width, int height, int pitch, int dst_x,
                       int dst_y, int dst_w, int dst_h) override;
  // The renderer presents with vsync, so the wait happens inside present.
  void wait_vblank() override {}
  void close() override;

  // True when frames go straight into the window's pixel buffer (no
  // accelerated renderer).
  bool uses_framebuffer() const { return framebuffer_; }

  // Used by the event side.
  SDL_Window* window() const { return window_; }
  // The render targets or the whole device were reset: surfaces are lost
  // until restore() runs.
  void mark_lost(bool device_reset);
  // Window position to back-surface pixel; false when it lies on a bar.
  bool to_surface(int wx, int wy, int& sx, int& sy);
  // Number of frames shown so far (the first one also shows the window).
  uint64_t frames_presented() const { return frames_; }

 private:
  void destroy_window();
  bool make_renderer();
  bool make_texture();
  DeviceResult present_renderer();
  DeviceResult present_framebuffer();
  Viewport window_viewport();  // in window coordinates (mouse)

  std::string title_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool fullscreen_ = false;
  bool lost_ = false;
  bool device_reset_ = false;
  bool shown_ = false;
  bool wm_fullscreen_ = false;  // full screen asked of the window manager directly
  bool needs_setup_ = false;
  uint64_t frames_ = 0;
  std::vector<DisplayMode> modes_;
  // Without an accelerated renderer: the client-area frame, copied into the
  // window's pixel buffer through a colour table (nearest-pixel scaling).
  bool framebuffer_ = false;
  std::vector<uint16_t> frame_;
  SDL_Surface* fb_surface_ = nullptr;
  int fb_w_ = 0, fb_h_ = 0;
  uint32_t fb_format_ = 0;
  std::vector<uint32_t> fb_lut_;
  std::vector<int> fb_cols_;
  int fb_cols_src_w_ = 0;
};

class SdlSystem : public System {
 public:
  explicit SdlSystem(SdlDisplay* display) : display_(display) {}

  bool poll_event(Event& e) override;
  void wait_event(uint32_t timeout_ms) override;
  Point cursor_pos() override;
  void show_cursor(bool visible) override;
  int shell_open(const std::string& url) override;
  void error_box(const std::string& title_utf8, const std::string& text_utf8) override;
  bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) override;

 private:
  // Turns one SDL event into zero or more window events on the queue.
  void translate(const SDL_Event& ev);
  void clamp_to_surface(int& x, int& y);

  SdlDisplay* display_;
  std::deque<Event> queue_;
  bool button_down_[3] = {false, false, false};
};

}  // namespace platform::sdl
