#pragma once
// The window-system services on the game's window: its messages turned into
// the game's window events (events.cpp), the cursor and the shell's
// document opening (cursor_shell.cpp), and the message boxes
// (message_box.h).
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

#include "platform/system.h"
#include "platform/win32/display.h"

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

 private:
  // Turns one message into zero or more events; true when the message was
  // handled (the window procedure returns 0).
  bool on_message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  bool translate(UINT msg, WPARAM wp, LPARAM lp);
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

}  // namespace platform::win32
