#include "platform/web/gamepad.h"

#include <algorithm>
#include <cmath>

namespace platform::web {

namespace {

int button_key(int button) {
  switch (button) {
    case Gamepads::kDpadLeft: return vk::kLeft;
    case Gamepads::kDpadRight: return vk::kRight;
    case Gamepads::kDpadUp: return vk::kUp;
    case Gamepads::kDpadDown: return vk::kDown;
    case Gamepads::kB: return vk::kCtrl;
    case Gamepads::kStart: return vk::kPause;
    case Gamepads::kBack: return vk::kEsc;
    default: return 0;
  }
}

float pull(double v) {
  const double a = std::abs(v);
  if (!(a > Gamepads::kCursorDeadZone)) return 0;  // NaN too
  // Squared, for fine moves near the centre.
  const double t = std::min(1.0, (a - Gamepads::kCursorDeadZone) / (1 - Gamepads::kCursorDeadZone));
  return float(v < 0 ? -t * t : t * t);
}

double axis(const PadSample& s, int i) {
  return size_t(i) < s.axes.size() && std::isfinite(s.axes[size_t(i)]) ? s.axes[size_t(i)] : 0;
}

}  // namespace

void Gamepads::press(Pad& pad, int key, bool down, std::deque<Event>& out) {
  uint8_t& n = pad.held[size_t(key)];
  if (down ? n++ != 0 : (n == 0 || --n != 0)) return;
  Event e;
  e.type = down ? EventType::KeyDown : EventType::KeyUp;
  e.key = key;
  out.push_back(e);
}

void Gamepads::release_all(Pad& pad, std::deque<Event>& out) {
  for (size_t key = 0; key < pad.held.size(); ++key) {
    if (pad.held[key] == 0) continue;
    pad.held[key] = 1;
    press(pad, int(key), false, out);
  }
}

void Gamepads::button(Pad& pad, int b, bool down, std::deque<Event>& out, Point cursor,
                      uint32_t shift) {
  if (b == kA) {
    // Space first: in the menu it does nothing (unless a name is typed), so
    // a game started by the Enter is not also fired into at once.
    if (down) {
      press(pad, vk::kSpace, true, out);
      press(pad, vk::kEnter, true, out);
    } else {
      press(pad, vk::kEnter, false, out);
      press(pad, vk::kSpace, false, out);
    }
  } else if (b == kLeftShoulder || b == kRightShoulder) {
    if (down) {
      Event e;
      e.type = EventType::Wheel;
      e.x = cursor.x;
      e.y = cursor.y;
      e.shift = shift;
      e.wheel_delta = b == kRightShoulder ? 120 : -120;
      out.push_back(e);
    }
  } else if (const int key = button_key(b)) {
    press(pad, key, down, out);
  }
}

void Gamepads::update(const std::vector<PadSample>& samples, std::deque<Event>& out, Point cursor,
                      uint32_t shift) {
  for (Pad& p : pads_) p.seen = false;
  for (const PadSample& s : samples) {
    if (!s.connected) continue;
    auto it =
        std::find_if(pads_.begin(), pads_.end(), [&](const Pad& p) { return p.index == s.index; });
    if (it == pads_.end()) {
      Pad fresh;
      fresh.index = s.index;
      // What is held when a controller appears counts from now: a button
      // already down presses when it is next pressed.
      fresh.buttons = s.buttons;
      pads_.push_back(std::move(fresh));
      it = pads_.end() - 1;
    }
    Pad& pad = *it;
    pad.seen = true;
    const size_t n = std::min<size_t>(s.buttons.size(), 32);
    pad.buttons.resize(n, false);
    for (size_t b = 0; b < n; ++b) {
      if (s.buttons[b] == pad.buttons[b]) continue;
      pad.buttons[b] = s.buttons[b];
      button(pad, int(b), s.buttons[b], out, cursor, shift);
    }
    auto direction = [&](int index, int key, bool pulled, bool within) {
      bool& held = pad.stick[size_t(index)];
      if (!held && pulled) {
        held = true;
        press(pad, key, true, out);
      } else if (held && !within) {
        held = false;
        press(pad, key, false, out);
      }
    };
    const double lx = axis(s, kLeftX), ly = axis(s, kLeftY);
    direction(0, vk::kLeft, lx <= -kStickPress, lx <= -kStickRelease);
    direction(1, vk::kRight, lx >= kStickPress, lx >= kStickRelease);
    direction(2, vk::kUp, ly <= -kStickPress, ly <= -kStickRelease);
    direction(3, vk::kDown, ly >= kStickPress, ly >= kStickRelease);
    pad.right_x = axis(s, kRightX);
    pad.right_y = axis(s, kRightY);
  }
  // A controller gone lets go of whatever it held: a key the game saw go
  // down must come up.
  for (auto it = pads_.begin(); it != pads_.end();) {
    if (it->seen) {
      ++it;
      continue;
    }
    release_all(*it, out);
    it = pads_.erase(it);
  }
}

void Gamepads::cursor_pull(float& x, float& y) const {
  x = y = 0;
  for (const Pad& p : pads_) {
    x = pull(p.right_x);
    y = pull(p.right_y);
    if (x != 0 || y != 0) return;
  }
}

}  // namespace platform::web
