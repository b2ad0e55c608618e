#include "platform/gamepad_map.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace platform {

namespace {

// The left stick presses an arrow past half its travel and lets it go below
// a third, so a stick held near the edge does not chatter.
constexpr int kStickPress = 16384;
constexpr int kStickRelease = 10923;
// The right stick's dead zone: a stick at rest is rarely at zero.
constexpr int kCursorDeadZone = 8000;

int button_key(PadButton b) {
  switch (b) {
    case PadButton::DpadLeft: return vk::kLeft;
    case PadButton::DpadRight: return vk::kRight;
    case PadButton::DpadUp: return vk::kUp;
    case PadButton::DpadDown: return vk::kDown;
    case PadButton::B: return vk::kCtrl;
    case PadButton::Start: return vk::kPause;
    case PadButton::Back: return vk::kEsc;
    default: return 0;
  }
}

float pull(int16_t v) {
  const int a = std::abs(int(v));
  if (a <= kCursorDeadZone) return 0;
  // Squared, for fine moves near the centre.
  const float t = std::min(1.0f, float(a - kCursorDeadZone) / float(32767 - kCursorDeadZone));
  return v < 0 ? -t * t : t * t;
}

}  // namespace

void PadMapper::press(int key, bool down, std::deque<Event>& out) {
  uint8_t& n = held_[size_t(key)];
  if (down ? n++ != 0 : (n == 0 || --n != 0)) return;
  Event e;
  e.type = down ? EventType::KeyDown : EventType::KeyUp;
  e.key = key;
  out.push_back(e);
}

void PadMapper::release_all(std::deque<Event>& out) {
  for (size_t key = 0; key < held_.size(); ++key) {
    if (held_[key] == 0) continue;
    held_[key] = 1;
    press(int(key), false, out);
  }
  stick_ = {};
  right_x_ = right_y_ = 0;
}

void PadMapper::button(PadButton b, bool down, std::deque<Event>& out, Point cursor,
                       uint32_t shift) {
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

void PadMapper::axis(PadAxis a, int16_t v, std::deque<Event>& out) {
  auto direction = [&](int index, int key, bool pulled, bool within) {
    bool& held = stick_[size_t(index)];
    if (!held && pulled) {
      held = true;
      press(key, true, out);
    } else if (held && !within) {
      held = false;
      press(key, false, out);
    }
  };
  switch (a) {
    case PadAxis::LeftX:
      direction(0, vk::kLeft, v <= -kStickPress, v <= -kStickRelease);
      direction(1, vk::kRight, v >= kStickPress, v >= kStickRelease);
      break;
    case PadAxis::LeftY:
      direction(2, vk::kUp, v <= -kStickPress, v <= -kStickRelease);
      direction(3, vk::kDown, v >= kStickPress, v >= kStickRelease);
      break;
    case PadAxis::RightX: right_x_ = v; break;
    case PadAxis::RightY: right_y_ = v; break;
  }
}

void PadMapper::cursor_pull(float& x, float& y) const {
  x = pull(right_x_);
  y = pull(right_y_);
}

bool PadCursor::step(float pull_x, float pull_y, uint32_t now_ms, int width, int height, Point from,
                     Point& at) {
  if (pull_x == 0 && pull_y == 0) {
    tick_ = 0;
    return false;
  }
  if (!leading_) {
    x_ = float(from.x);
    y_ = float(from.y);
    leading_ = true;
  }
  const float dt = tick_ == 0 ? 0.0f : float(std::min<uint32_t>(now_ms - tick_, 50)) / 1000;
  tick_ = now_ms;
  const Point old = position();
  x_ = std::clamp(x_ + pull_x * float(width) * dt, 0.0f, float(std::max(0, width - 1)));
  y_ = std::clamp(y_ + pull_y * float(width) * dt, 0.0f, float(std::max(0, height - 1)));
  at = position();
  return at.x != old.x || at.y != old.y;
}

Point PadCursor::position() const { return {int(std::lround(x_)), int(std::lround(y_))}; }

}  // namespace platform
