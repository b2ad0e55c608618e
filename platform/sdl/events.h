#pragma once
// The window-system services on the SDL window: its events turned into the
// game's window events, the cursor, the shell and the message boxes.
#include <SDL.h>

#include <deque>
#include <string>

#include "platform/sdl/display.h"
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

 private:
  // Turns one SDL event into zero or more window events on the queue.
  void translate(const SDL_Event& ev);
  void clamp_to_surface(int& x, int& y);

  SdlDisplay* display_;
  std::deque<Event> queue_;
  bool button_down_[3] = {false, false, false};
};

}  // namespace platform::sdl
