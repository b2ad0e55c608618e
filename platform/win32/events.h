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

#include "platform/pad_input.h"
#include "platform/system.h"
#include "platform/win32/display.h"
#include "platform/win32/gamepad.h"

namespace platform::win32 {

class WinSystem : public System, private MainWindow::Listener {
 public:
  explicit WinSystem(WinDisplay* display);
  ~WinSystem() override;
  WinSystem(const WinSystem&) = delete;
  WinSystem& operator=(const WinSystem&) = delete;

  bool poll_event(Event& e) override;
  void wait_event(uint32_t timeout_ms) override;
  Point cursor_pos() override;
  void show_cursor(bool visible) override;
  int shell_open(const std::string& url) override;
  void error_box(const std::string& title_utf8, const std::string& text_utf8) override;
  bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) override;

  // The game controllers are read through the system's XInput unless a
  // reader is given here (tests put the pads' states in their own).
  void set_pad_reader(PadReader reader) { pads_ = XInputPads(std::move(reader)); }
  int gamepads() const { return pads_.count(); }

 private:
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
  void clamp_to_surface(int& x, int& y) const;
  static uint32_t shift_state();

  WinDisplay* display_;
  std::deque<Event> queue_;
  bool button_down_[3] = {false, false, false};
  bool keys_down_[256] = {};
  bool swallowed_[256] = {};  // switch keys pressed, whose release is dropped
  int wheel_rest_ = 0;        // wheel movement short of a whole notch
  bool cursor_hidden_ = false;
  XInputPads pads_{system_pad_reader()};
  // The cursor as the right stick moves it; used until the mouse moves
  // again.
  PadCursor pad_cursor_;
  POINT warped_{-1, -1};  // where the mouse was put for it, client pixels
};

}  // namespace platform::win32
