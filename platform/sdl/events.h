#pragma once
// The window-system services on the SDL window: its events (and those of
// game controllers) turned into the game's window events, the cursor, the
// shell and the message boxes.
#include <SDL.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/queued_system.h"
#include "platform/sdl/display.h"
#include "platform/sdl/gamepad.h"

namespace platform::sdl {

class SdlSystem : public QueuedSystem {
 public:
  explicit SdlSystem(SdlDisplay* display) : QueuedSystem(display), display_(display) {}

  void wait_event(uint32_t timeout_ms) override;
  void show_cursor(bool visible) override;
  bool shell_open(const std::string& url) override;
  void error_box(const std::string& title_utf8, const std::string& text_utf8) override;
  bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) override;

  // Game controllers start once the first frame is shown and `gate` (when
  // set) says that no other thread is starting a part of SDL; or at once
  // with start_gamepads().
  void set_gamepad_gate(std::function<bool()> gate) { gamepad_gate_ = std::move(gate); }
  bool start_gamepads() { return pads_.start(); }
  int gamepads() const { return pads_.count(); }

 private:
  void fill() override;
  Point system_cursor() override;
  // Turns one SDL event into zero or more window events on the queue.
  void translate(const SDL_Event& ev);
  // Alt+Enter and F11 switch between full screen and a window; the key's
  // release is kept from the game too.
  bool window_switch_key(const SDL_KeyboardEvent& key);
  // Moves the cursor by the right stick's pull since the last call.
  void move_pad_cursor();

  SdlDisplay* display_;
  std::vector<SDL_Keycode> swallowed_;  // pressed switch keys whose release is dropped
  Gamepads pads_;
  std::function<bool()> gamepad_gate_;
  int warped_x_ = -1, warped_y_ = -1;  // where the mouse was put for the stick
};

}  // namespace platform::sdl
