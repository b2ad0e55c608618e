#pragma once
// The game's one window on Windows and the sizes offered for it. Full screen
// it is a borderless popup covering the monitor, whose mode is never
// changed; windowed it is a framed window whose client area has the mode's
// size (smaller where the desktop is), and the player may resize it. It
// stays hidden until show(), which the first presented frame calls. Its
// messages go to the display (painting, size) and then to the window-system
// services (input).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display_device.h"

namespace platform::win32 {

class MainWindow {
 public:
  // A part of the program that takes the window's messages: true when it
  // handled one, with `result` what the window procedure returns.
  class Listener {
   public:
    virtual bool on_message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) = 0;

   protected:
    ~Listener() = default;
  };

  explicit MainWindow(std::string title);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The monitor's own sizes and the usual ones up to the desktop
  // (platform/screen_fit.h), each at every depth: the back surface is
  // converted by GDI whatever the desktop's depth. Listed once.
  std::vector<DisplayMode> modes();
  bool offers(int width, int height, int bits);

  // The window's icon (size x size pixels of 0xAARRGGBB), given to the
  // window now and to the one made later.
  void set_icon(const std::vector<uint32_t>& argb, int size);

  // Makes the window, hidden; false (with a line on stderr) when the system
  // refuses.
  bool create();
  void destroy();
  HWND get() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }

  // Places the window for a mode of width x height: a borderless popup
  // covering the monitor, or a framed, resizable window with that client
  // size (the largest of its shape that leaves room on the desktop when it
  // is larger), centred.
  void place(bool fullscreen, int width, int height);
  // Switches between the two for the mode last placed (Alt+Enter, F11).
  void set_fullscreen(bool fullscreen);
  bool fullscreen() const { return fullscreen_; }

  bool shown() const { return shown_; }
  // Shows the window and brings it to the front.
  void show();
  void hide();

  // Who takes the messages: the display first, then the input.
  void set_display_listener(Listener* display) { display_ = display; }
  void set_input_listener(Listener* input) { input_ = input; }

  // The primary monitor's rectangle in screen pixels.
  static RECT monitor_rect();

  // Called by the window procedure.
  LRESULT message(UINT msg, WPARAM wp, LPARAM lp);

 private:
  void apply_icon();

  std::string title_;
  HWND hwnd_ = nullptr;
  bool fullscreen_ = false;
  int width_ = 0, height_ = 0;  // the mode placed for
  bool shown_ = false;
  std::vector<DisplayMode> modes_;
  HICON icon_ = nullptr;
  Listener* display_ = nullptr;
  Listener* input_ = nullptr;
};

}  // namespace platform::win32
