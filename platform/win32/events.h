#pragma once
// The window-system services on the game's window: its messages and the
// game controllers' states turned into the game's window events
// (events.cpp; the controllers through platform/win32/gamepad.h), the cursor
// and the shell's document opening (cursor_shell.cpp), and the message boxes
// (message_box.h).
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

#include "platform/queued_system.h"
#include "platform/win32/display.h"
#include "platform/win32/gamepad.h"

namespace platform::win32 {

class WinSystem : public QueuedSystem, private MainWindow::Listener {
 public:
  explicit WinSystem(WinDisplay* display);
  ~WinSystem() override;
  WinSystem(const WinSystem&) = delete;
  WinSystem& operator=(const WinSystem&) = delete;

  void wait_event(uint32_t timeout_ms) override;
  void show_cursor(bool visible) override;
  bool shell_open(const std::string& url) override;
  void error_box(const std::string& title_utf8, const std::string& text_utf8) override;
  bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) override;

  // The game controllers are read through the system's XInput unless a
  // reader is given here (tests put the pads' states in their own).
  void set_pad_reader(PadReader reader) { pads_ = XInputPads(std::move(reader)); }
  int gamepads() const { return pads_.count(); }

 private:
  void fill() override;
  Point system_cursor() override;
  // Turns one message into zero or more events; true when the message was
  // handled (the window procedure returns 0).
  bool on_message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  bool translate(UINT msg, WPARAM wp, LPARAM lp);
  // Alt+Enter and F11 switch between the full-screen window and a framed
  // one; the key's release is kept from the game too.
  bool window_switch_key(UINT msg, WPARAM wp, LPARAM lp);
  // Reads the controllers, and moves the cursor by the right stick's pull.
  void poll_pads();
  void push_mouse(EventType type, int button, int cx, int cy);
  static uint32_t shift_state();

  WinDisplay* display_;
  bool button_down_[3] = {false, false, false};
  bool keys_down_[256] = {};
  bool swallowed_[256] = {};  // switch keys pressed, whose release is dropped
  int wheel_rest_ = 0;        // wheel movement short of a whole notch
  bool cursor_hidden_ = false;
  XInputPads pads_{system_pad_reader()};
  POINT warped_{-1, -1};  // where the mouse was put for the stick, client pixels
};

}  // namespace platform::win32
