#pragma once
// What the window-system services of the backends share: the queue that
// the system's own events are turned into, the rules of the mouse's
// buttons, and the cursor a controller's right stick leads until the mouse
// moves. A backend derives its System from QueuedSystem and fills the queue.
#include <cstdint>
#include <deque>

#include "platform/display_device.h"
#include "platform/pad_input.h"
#include "platform/system.h"

namespace platform {

// The mouse's buttons (left 0, right 1, middle 2) as every backend passes
// them on: a press on the bars beside the picture is dropped; a release is
// passed on when its press was, wherever it happens, so a button held while
// the cursor leaves the surface is not stuck; the second press of a left
// double click comes as the double-click notice followed by the press itself
// (down, up, double click, down, up).
class MouseButtons {
 public:
  // A press of e.button at (e.x, e.y), with e.shift; on_surface false: on the
  // bars. second_click: the system counts it the second press of a double
  // click. True when it was queued.
  bool press(Event e, bool on_surface, bool second_click, std::deque<Event>& out);
  // A release; true when it was queued.
  bool release(Event e, std::deque<Event>& out);
  bool any_down() const { return down_[0] || down_[1] || down_[2]; }
  // Lets go of every button held, at `at` (their releases will go elsewhere).
  void release_all(Point at, std::deque<Event>& out);

 private:
  bool down_[3] = {false, false, false};
};

class QueuedSystem : public System {
 public:
  // The display whose back surface the positions are in.
  explicit QueuedSystem(DisplayDevice* display) : display_(display) {}

  // fill() while the queue is empty, then the oldest event.
  bool poll_event(Event& e) final;
  // Where the right stick put the cursor while it leads, else the system's.
  Point cursor_pos() final;

 protected:
  // Turns the system's waiting events into window events until one is
  // queued or none waits. (The browser's arrive by callbacks: nothing.)
  virtual void fill() {}
  // The system's own cursor in surface pixels.
  virtual Point system_cursor() = 0;
  // True while the player's keys, buttons and moves must wait in the queue
  // (the browser, while the page still brings the game's pictures).
  virtual bool input_held() const { return false; }

  MouseButtons& buttons() { return buttons_; }
  DisplayDevice& display() { return *display_; }
  // A position kept on the surface.
  void clamp_to_surface(int& x, int& y);

  // Moves the cursor by the controllers' pull (PadKeys::cursor_pull) at
  // now_ms; true (the move queued, with `to`) when it reached another pixel,
  // for the system's own cursor to follow.
  bool lead_cursor(float pull_x, float pull_y, uint32_t now_ms, uint32_t shift, Point& to);
  bool pad_leads() const { return pad_cursor_.leading(); }
  // The mouse itself moved: it leads the cursor again.
  void mouse_moved() { pad_cursor_.let_go(); }

  // The events waiting for poll_event(), oldest first.
  std::deque<Event> queue_;

 private:
  DisplayDevice* display_;
  MouseButtons buttons_;
  PadCursor pad_cursor_;
};

}  // namespace platform
