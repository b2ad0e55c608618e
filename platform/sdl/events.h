#pragma once
// The window-system services on the SDL window: its events (and those of
// game controllers) turned into the game's window events, the cursor, the
// shell and the message boxes.
#include <SDL.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/sdl/display.h"
#include "platform/sdl/gamepad.h"
#include "platform/system.h"

namespace platform::sdl {

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

  // Game controllers start once the first frame is shown and `gate` (when
  // set) says that no other thread is starting a part of SDL; or at once
  // with start_gamepads().
  void set_gamepad_gate(std::function<bool()> gate) { gamepad_gate_ = std::move(gate); }
  bool start_gamepads() { return pads_.start(); }
  int gamepads() const { return pads_.count(); }

 private:
  // Turns one SDL event into zero or more window events on the queue.
  void translate(const SDL_Event& ev);
  void clamp_to_surface(int& x, int& y);
  // Alt+Enter and F11 switch between full screen and a window; the key's
  // release is kept from the game too.
  bool window_switch_key(const SDL_KeyboardEvent& key);
  // Moves the cursor by the right stick's pull since the last call.
  void move_pad_cursor();

  SdlDisplay* display_;
  std::deque<Event> queue_;
  bool button_down_[3] = {false, false, false};
  std::vector<SDL_Keycode> swallowed_;  // pressed switch keys whose release is dropped
  Gamepads pads_;
  std::function<bool()> gamepad_gate_;
  // The cursor as the right stick moves it, in back-surface pixels; used
  // until the mouse moves again.
  PadCursor pad_cursor_;
  int warped_x_ = -1, warped_y_ = -1;  // where the mouse was put for it
};

}  // namespace platform::sdl
