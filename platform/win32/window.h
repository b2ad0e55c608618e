#pragma once
// The game's window on Windows: a borderless popup covering the monitor as
// the display device, and its window messages as the window-system services.
// The monitor's mode is never changed: the sizes offered and the fit are the
// Linux backend's (platform/screen_fit.h); the chosen mode is the size of the
// back surface, scaled to fit the window with its aspect kept (black bars
// around it) and drawn with GDI.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/display_device.h"
#include "platform/screen_fit.h"
#include "platform/system.h"

namespace platform::win32 {

class WinDisplay : public DisplayDevice {
 public:
  explicit WinDisplay(std::string title);
  ~WinDisplay() override;
  WinDisplay(const WinDisplay&) = delete;
  WinDisplay& operator=(const WinDisplay&) = delete;

  std::vector<DisplayMode> modes() override;
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

  // The window's icon (size x size pixels of 0xAARRGGBB), given to the
  // window when it is made.
  void set_icon(const std::vector<uint32_t>& argb, int size);

  HWND window() const { return hwnd_; }
  // Client-area position to back-surface pixel; false when it lies on a bar.
  bool to_surface(int cx, int cy, int& sx, int& sy) const;
  // Number of frames shown so far (the first one also shows the window).
  uint64_t frames_presented() const { return frames_; }

  // Called by the window procedure.
  void paint();
  void fit_to_monitor();

 private:
  void destroy_window();
  Viewport placement() const;
  void draw(HDC dc, bool with_bars);

  std::string title_;
  HWND hwnd_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool fullscreen_ = false;
  bool shown_ = false;
  uint64_t frames_ = 0;
  std::vector<DisplayMode> modes_;
  // The client area as last presented (width_ x height_, 0x00RRGGBB), kept
  // for repaints.
  std::vector<uint32_t> frame_;
  Viewport drawn_{};  // where the last frame went; bars are filled when it moves
  HICON icon_ = nullptr;
  using DwmFlushFn = HRESULT(WINAPI*)();
  DwmFlushFn dwm_flush_ = nullptr;
};

class WinSystem : public System {
 public:
  explicit WinSystem(WinDisplay* display);
  ~WinSystem() override;

  bool poll_event(Event& e) override;
  void wait_event(uint32_t timeout_ms) override;
  Point cursor_pos() override;
  void show_cursor(bool visible) override;
  int shell_open(const std::string& url) override;
  void error_box(const std::string& title_utf8, const std::string& text_utf8) override;
  bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) override;

  // The window procedure's part: turns one message into zero or more events.
  // True when the message was handled (the window procedure returns 0).
  bool translate(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  void push_mouse(EventType type, int button, int cx, int cy);
  void clamp_to_surface(int& x, int& y) const;
  static uint32_t shift_state();

  WinDisplay* display_;
  std::deque<Event> queue_;
  bool button_down_[3] = {false, false, false};
  bool keys_down_[256] = {};
  int wheel_rest_ = 0;  // wheel movement short of a whole notch
  bool cursor_hidden_ = false;
};

// UTF-8 to UTF-16 for the wide Windows calls.
std::wstring widen(const std::string& utf8);

// A question box over `owner` (may be null) with the buttons "Ano" and "Ne"
// whatever the system's language; the texts are UTF-8. True for "Ano".
bool ask_yes_no(HWND owner, const std::string& title_utf8, const std::string& text_utf8);

}  // namespace platform::win32
