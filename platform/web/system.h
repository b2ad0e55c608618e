#pragma once
// The page's input and the other window-system services: the browser's key,
// mouse, wheel, focus and visibility events (emscripten/html5.h) turned into
// the game's events by the input translator, controllers sampled once a
// frame, the cursor, the web address opened in a new tab, and error boxes
// and questions as the page's own dialogs.
#include <cstdint>
#include <deque>

#include "platform/pad_input.h"
#include "platform/system.h"
#include "platform/web/clock.h"
#include "platform/web/display.h"
#include "platform/web/gamepad.h"
#include "platform/web/input.h"

namespace platform::web {

class WebSystem : public System {
 public:
  WebSystem(WebDisplay* display, WebClock* clock);
  ~WebSystem() override;

  // Starts and stops listening to the page (the page's own controls take
  // the keys again once the game has ended).
  void listen();
  void unlisten();
  // The page was resized or went to or from full screen.
  void layout_changed();
  // Samples the controllers (once per pass of the loop).
  void sample_gamepads();
  // Queues a close (the page is being left).
  void push_close();

  bool poll_event(Event& e) override;
  // The loop never waits in a browser: the browser calls it back.
  void wait_event(uint32_t) override {}
  Point cursor_pos() override;
  void show_cursor(bool visible) override;
  int shell_open(const std::string& url) override;
  void error_box(const std::string& title_utf8, const std::string& text_utf8) override;
  bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) override;

  InputTranslator& input() { return input_; }
  WebClock& clock() { return *clock_; }
  uint32_t modifiers() const { return mods_; }
  // The mouse moved: it leads the cursor again.
  void mouse_moved() { pad_cursor_.let_go(); }
  void set_modifiers(uint32_t mods) { mods_ = mods; }

 private:
  void move_pad_cursor();

  WebDisplay* display_;
  WebClock* clock_;
  std::deque<Event> queue_;
  InputTranslator input_{queue_};
  Gamepads pads_;
  PadCursor pad_cursor_;  // leads until the mouse moves
  uint32_t mods_ = 0;
  bool listening_ = false;
};

}  // namespace platform::web
