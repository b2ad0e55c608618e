#include "platform/pad_input.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

int button_key(PadButton b) {
  switch (b) {
    case PadButton::Left: return vk::kLeft;
    case PadButton::Right: return vk::kRight;
    case PadButton::Up: return vk::kUp;
    case PadButton::Down: return vk::kDown;
    case PadButton::B: return vk::kCtrl;
    case PadButton::Start: return vk::kPause;
    case PadButton::Back: return vk::kEsc;
    default: return 0;
  }
}

}  // namespace

void PadKeys::press(int key, bool down, std::deque<Event>& out) {
  uint8_t& n = held_[size_t(key)];
  if (down ? n++ != 0 : (n == 0 || --n != 0)) return;
  Event e;
  e.type = down ? EventType::KeyDown : EventType::KeyUp;
  e.key = key;
  out.push_back(e);
}

void PadKeys::release_all(std::deque<Event>& out) {
  for (size_t key = 0; key < held_.size(); ++key) {
    if (held_[key] == 0) continue;
    held_[key] = 1;
    press(int(key), false, out);
  }
  stick_ = {};
  right_x_ = right_y_ = 0;
}

void PadKeys::button(PadButton b, bool down, std::deque<Event>& out, Point cursor, uint32_t shift) {
  if (b == PadButton::A) {
    // Space first: in the menu it does nothing (unless a name is typed), so
    // a game started by the Enter is not also fired into at once.
    if (down) {
      press(vk::kSpace, true, out);
      press(vk::kEnter, true, out);
    } else {
      press(vk::kEnter, false, out);
      press(vk::kSpace, false, out);
    }
  } else if (b == PadButton::LeftShoulder || b == PadButton::RightShoulder) {
    if (down) {
      Event e;
      e.type = EventType::Wheel;
      e.x = cursor.x;
      e.y = cursor.y;
      e.shift = shift;
      e.wheel_delta = b == PadButton::RightShoulder ? 120 : -120;
      out.push_back(e);
    }
  } else if (const int key = button_key(b)) {
    press(key, down, out);
  }
}

void PadKeys::direction(int index, int key, bool pulled, bool within, std::deque<Event>& out) {
  bool& held = stick_[size_t(index)];
  if (!held && pulled) {
    held = true;
    press(key, true, out);
  } else if (held && !within) {
    held = false;
    press(key, false, out);
  }
}

void PadKeys::left_stick_x(double v, std::deque<Event>& out) {
  direction(0, vk::kLeft, v <= -kStickPress, v <= -kStickRelease, out);
  direction(1, vk::kRight, v >= kStickPress, v >= kStickRelease, out);
}

void PadKeys::left_stick_y(double v, std::deque<Event>& out) {
  direction(2, vk::kUp, v <= -kStickPress, v <= -kStickRelease, out);
  direction(3, vk::kDown, v >= kStickPress, v >= kStickRelease, out);
}

bool PadKeys::cursor_pull(float& x, float& y) const {
  x = stick_pull(right_x_);
  y = stick_pull(right_y_);
  return x != 0 || y != 0;
}

float stick_pull(double v) {
  const double a = std::abs(v);
  if (!(a > kCursorDeadZone)) return 0;  // NaN too
  const double t = std::min(1.0, (a - kCursorDeadZone) / (1 - kCursorDeadZone));
  return float(v < 0 ? -t * t : t * t);
}

bool PadCursor::move(float pull_x, float pull_y, uint32_t now_ms, Point from, int width, int height,
                     Point& to) {
  if (pull_x == 0 && pull_y == 0) {
    rest();
    return false;
  }
  if (!leading_) {
    x_ = float(from.x);
    y_ = float(from.y);
    leading_ = true;
  }
  const float dt = tick_ == 0 ? 0.0f : float(std::min<uint32_t>(now_ms - tick_, 50)) / 1000;
  tick_ = now_ms;
  const Point old = position(width, height);
  x_ = std::clamp(x_ + pull_x * float(width) * dt, 0.0f, float(std::max(0, width - 1)));
  y_ = std::clamp(y_ + pull_y * float(width) * dt, 0.0f, float(std::max(0, height - 1)));
  to = position(width, height);
  return to.x != old.x || to.y != old.y;
}

bool PadCursor::step(float pull_x, float pull_y, uint32_t now_ms, Point from, int width, int height,
                     uint32_t shift, std::deque<Event>& out, Point& to) {
  if (!move(pull_x, pull_y, now_ms, from, width, height, to)) return false;
  Event e;
  e.type = EventType::MouseMove;
  e.x = to.x;
  e.y = to.y;
  e.shift = shift;
  out.push_back(e);
  return true;
}

Point PadCursor::position(int width, int height) const {
  Point p{int(std::lround(x_)), int(std::lround(y_))};
  p.x = std::clamp(p.x, 0, std::max(0, width - 1));
  p.y = std::clamp(p.y, 0, std::max(0, height - 1));
  return p;
}

}  // namespace platform
