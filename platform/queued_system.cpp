#include "platform/queued_system.h"

#include <algorithm>

namespace platform {

bool MouseButtons::press(Event e, bool on_surface, bool second_click, std::deque<Event>& out) {
  if (!on_surface || e.button < 0 || e.button > 2) return false;
  down_[e.button] = true;
  if (second_click && e.button == 0) {
    Event d = e;
    d.type = EventType::DoubleClick;
    out.push_back(d);
  }
  e.type = EventType::MouseDown;
  out.push_back(e);
  return true;
}

bool MouseButtons::release(Event e, std::deque<Event>& out) {
  if (e.button < 0 || e.button > 2 || !down_[e.button]) return false;
  down_[e.button] = false;
  e.type = EventType::MouseUp;
  out.push_back(e);
  return true;
}

void MouseButtons::release_all(Point at, std::deque<Event>& out) {
  for (int b = 0; b < 3; ++b) {
    Event e;
    e.button = b;
    e.x = at.x;
    e.y = at.y;
    release(e, out);
  }
}

bool QueuedSystem::poll_event(Event& e) {
  if (queue_.empty()) fill();
  if (queue_.empty()) return false;
  if (input_held()) {
    // The player's input waits in order; the window's own events go on.
    const auto own = std::find_if(queue_.begin(), queue_.end(), [](const Event& q) {
      return q.type == EventType::Close || q.type == EventType::Activate ||
             q.type == EventType::Deactivate || q.type == EventType::SharedFileChanged;
    });
    if (own == queue_.end()) return false;
    e = *own;
    queue_.erase(own);
    return true;
  }
  e = queue_.front();
  queue_.pop_front();
  return true;
}

Point QueuedSystem::cursor_pos() {
  if (pad_cursor_.leading())
    return pad_cursor_.position(display_->client_width(), display_->client_height());
  return system_cursor();
}

void QueuedSystem::clamp_to_surface(int& x, int& y) {
  x = std::clamp(x, 0, std::max(0, display_->client_width() - 1));
  y = std::clamp(y, 0, std::max(0, display_->client_height() - 1));
}

bool QueuedSystem::lead_cursor(float pull_x, float pull_y, uint32_t now_ms, uint32_t shift,
                               Point& to) {
  return pad_cursor_.step(pull_x, pull_y, now_ms, cursor_pos(), display_->client_width(),
                          display_->client_height(), shift, queue_, to);
}

}  // namespace platform
