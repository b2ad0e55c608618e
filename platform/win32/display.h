#pragma once
// The display device on Windows: the game's window (platform/win32/window.h)
// shows the back surface, scaled to fit the window's client area with its
// aspect kept (black bars around it; enlarged sharp, shrunk by area
// averaging, platform/frame_shrink.h) and drawn with GDI. The monitor's mode
// is never changed: the sizes offered and the fit are the Linux backend's
// (platform/screen_fit.h); the chosen mode is the size of the back surface.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display_device.h"
#include "platform/frame_shrink.h"
#include "platform/screen_fit.h"
#include "platform/win32/window.h"

namespace platform::win32 {

class WinDisplay : public DisplayDevice, private MainWindow::Listener {
 public:
  explicit WinDisplay(std::string title);
  ~WinDisplay() override;
  WinDisplay(const WinDisplay&) = delete;
  WinDisplay& operator=(const WinDisplay&) = delete;

  std::vector<DisplayMode> modes() override { return window_.modes(); }
  bool set_mode(int width, int height, int bits, bool fullscreen) override;
  int client_width() override { return width_; }
  int client_height() override { return height_; }
  bool surfaces_lost() override { return false; }  // GDI keeps nothing that can be lost
  bool restore() override { return true; }
  DeviceResult present(const uint16_t* pixels, int width, int height, int pitch, int dst_x,
                       int dst_y, int dst_w, int dst_h) override;
  // Waits for the desktop compositor's next frame where there is one.
  void wait_vblank() override;
  void close() override;

  // The window's icon (size x size pixels of 0xAARRGGBB).
  void set_icon(const std::vector<uint32_t>& argb, int size) { window_.set_icon(argb, size); }

  // Alt+Enter and F11: between the window covering the monitor and a framed
  // window of the mode's size, the picture scaled into either with its
  // aspect kept. Only while the window is shown.
  void toggle_fullscreen();
  bool fullscreen() const { return window_.fullscreen(); }

  MainWindow& main_window() { return window_; }
  HWND window() const { return window_.get(); }
  // Client-area position to back-surface pixel; false when it lies on a bar.
  bool to_surface(int cx, int cy, int& sx, int& sy) const;
  // Where the back surface is drawn in the client area.
  Viewport viewport() const { return placement(); }
  // Number of frames shown so far (the first one also shows the window).
  uint64_t frames_presented() const { return frames_; }

 private:
  bool on_message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void paint();
  Viewport placement() const;
  void draw(HDC dc, bool with_bars);

  MainWindow window_;
  int width_ = 0;
  int height_ = 0;
  uint64_t frames_ = 0;
  // The client area as last presented (width_ x height_, 0x00RRGGBB), kept
  // for repaints.
  std::vector<uint32_t> frame_;
  Viewport drawn_{};  // where the last frame went; bars are filled when it moves
  // The frame as shrunk for a client area smaller than it (0x00RRGGBB).
  FrameShrink shrink_;
  std::vector<uint32_t> shrunk_;
  int shrunk_w_ = 0, shrunk_h_ = 0;
  bool shrunk_stale_ = true;  // a frame came since
  using DwmFlushFn = HRESULT(WINAPI*)();
  DwmFlushFn dwm_flush_ = nullptr;
};

}  // namespace platform::win32
