#pragma once
// The canvas as the display device. The mode is the back surface's size; the
// page's presenter (js/presenter.js) shows it filling the window, aspect
// kept, with black bars beside it, sharp at a whole factor: through WebGL the
// 16-bit frame is uploaded as it is and the GPU scales it, else a 2D canvas
// takes it as RGBA (converted here) and the browser scales that. The usual
// sizes up to the screen's are offered, as on the other backends.
#include <cstdint>
#include <vector>

#include "platform/display_device.h"
#include "platform/screen_fit.h"

namespace platform::web {

class WebDisplay : public DisplayDevice {
 public:
  WebDisplay();

  std::vector<DisplayMode> modes() override;
  bool set_mode(int width, int height, int bits, bool fullscreen) override;
  int client_width() override { return width_; }
  int client_height() override { return height_; }
  // Nothing is ever lost: the page shows frames through a 2D canvas while a
  // WebGL context is lost.
  bool surfaces_lost() override { return false; }
  bool restore() override { return true; }
  DeviceResult present(const uint16_t* pixels, int width, int height, int pitch, int dst_x,
                       int dst_y, int dst_w, int dst_h) override;
  // The browser shows the canvas with the display's next frame.
  void wait_vblank() override {}
  void close() override {}

  // Places the canvas in the page anew (the page was resized or went to
  // or from full screen). Returns where the surface lies, in device pixels.
  Viewport layout();
  const Viewport& viewport() const { return viewport_; }
  uint64_t frames_presented() const { return frames_; }
  // How long the last present took, in milliseconds.
  double last_present_ms() const { return present_ms_; }

 private:
  int width_ = 0;
  int height_ = 0;
  Viewport viewport_;
  std::vector<DisplayMode> modes_;
  std::vector<uint32_t> rgba_;  // the frame as a 2D canvas takes it
  std::vector<uint32_t> lut_;   // RGB565 to RGBA (little-endian bytes R, G, B, A)
  uint64_t frames_ = 0;
  double present_ms_ = 0;
};

}  // namespace platform::web
