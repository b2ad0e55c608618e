#pragma once
// The SDL window as the display device: the chosen mode is a back surface
// size, shown scaled to fit the window (the monitor's mode is never changed).
#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/display_device.h"
#include "platform/screen_fit.h"
#include "platform/sdl/presenter.h"
#include "platform/sdl/window.h"

namespace platform::sdl {

class SdlDisplay : public DisplayDevice {
 public:
  explicit SdlDisplay(std::string title) : window_(std::move(title)) {}
  ~SdlDisplay() override;

  std::vector<DisplayMode> modes() override { return window_.modes(); }
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

  // The icon of the window (size x size pixels of 0xAARRGGBB).
  void set_icon(std::vector<uint32_t> argb, int size) { window_.set_icon(std::move(argb), size); }
  // Full screen to a resizable window and back; the mode stays, the frame
  // is scaled into whatever the window is.
  void toggle_fullscreen();
  bool fullscreen() const { return window_.fullscreen(); }
  // Shows the last frame again (the window was uncovered or resized while
  // no frame came).
  void refresh();

  // True when frames go straight into the window's pixel buffer (no
  // accelerated renderer).
  bool uses_framebuffer() const { return presenter_ && !presenter_->accelerated(); }

  // Used by the event side.
  SDL_Window* window() const { return window_.get(); }
  // The render targets or the whole device were reset: surfaces are lost
  // until restore() runs.
  void mark_lost(bool device_reset);
  // Window position to back-surface pixel; false when it lies on a bar.
  bool to_surface(int wx, int wy, int& sx, int& sy);
  // The window position of a back-surface pixel.
  void to_window(int sx, int sy, int& wx, int& wy);
  // Number of frames shown so far (the first one also shows the window).
  uint64_t frames_presented() const { return frames_; }

 private:
  void destroy_window();
  Viewport window_viewport();  // in window coordinates (mouse)

  MainWindow window_;
  // Made by the first present after a mode is set: the first, windowed
  // mode of a start-up is never shown, so it needs none.
  std::unique_ptr<Presenter> presenter_;
  bool accelerated_refused_ = false;
  int width_ = 0;
  int height_ = 0;
  bool needs_setup_ = false;
  bool lost_ = false;
  bool device_reset_ = false;
  uint64_t frames_ = 0;
};

}  // namespace platform::sdl
