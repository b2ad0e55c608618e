#pragma once
// The page's input and the other window-system services: the browser's key,
// mouse, wheel, focus and visibility events (emscripten/html5.h) turned into
// the game's events by the input translator, controllers sampled once a
// frame, the cursor, the help page and web addresses opened in a new tab,
// and error boxes and questions as the page's own dialogs.
#include <cstdint>
#include <deque>
#include <functional>

#include "platform/queued_system.h"
#include "platform/web/clock.h"
#include "platform/web/display.h"
#include "platform/web/gamepad.h"
#include "platform/web/input.h"

namespace platform::web {

class WebSystem : public QueuedSystem {
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
  // Queues a close (the page is being left), or any event.
  void push_close();
  void push(const Event& e) { queue_.push_back(e); }
  // Runs when the page has been hidden (another tab, the phone's home
  // screen), after the Deactivate it brings was queued.
  void on_hidden(std::function<void()> f) { on_hidden_ = std::move(f); }
  void hidden() {
    if (on_hidden_) on_hidden_();
  }

  // The loop never waits in a browser: the browser calls it back.
  void wait_event(uint32_t) override {}
  void show_cursor(bool visible) override;
  OpenResult shell_open(const std::string& url) override;
  void error_box(const std::string& title_utf8, const std::string& text_utf8) override;
  bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) override;
  // The page's name field (controls.js), for a touch player's keyboard.
  void text_input(bool on) override;

  // A touch (controls.js), in CSS pixels of the page: the finger moved,
  // went down or up at (x, y) on the picture (a tap is a click there), or a
  // control held a mouse button (dom_button) at the last place.
  void touch_move(double x, double y);
  void touch_button(bool down, int dom_button, double x, double y);
  void touch_held_button(bool down, int dom_button);
  // A control's key (a virtual-key code) going down or up.
  void touch_key(bool down, int vk);

  InputTranslator& input() { return input_; }
  WebClock& clock() { return *clock_; }
  uint32_t modifiers() const { return mods_; }
  // The mouse moved: it leads the cursor again.
  using QueuedSystem::mouse_moved;
  void set_modifiers(uint32_t mods) { mods_ = mods; }

 private:
  Point system_cursor() override { return input_.cursor(); }
  bool input_held() const override;
  void move_pad_cursor();

  WebDisplay* display_;
  WebClock* clock_;
  InputTranslator input_{queue_};
  Gamepads pads_;
  uint32_t mods_ = 0;
  bool listening_ = false;
  std::function<void()> on_hidden_;
};

}  // namespace platform::web
