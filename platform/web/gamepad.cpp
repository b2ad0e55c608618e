#include "platform/web/gamepad.h"

#include <algorithm>
#include <cmath>

namespace platform::web {

namespace {

PadButton pad_button(int b) {
  switch (b) {
    case Gamepads::kA: return PadButton::A;
    case Gamepads::kB: return PadButton::B;
    case Gamepads::kBack: return PadButton::Back;
    case Gamepads::kStart: return PadButton::Start;
    case Gamepads::kLeftShoulder: return PadButton::LeftShoulder;
    case Gamepads::kRightShoulder: return PadButton::RightShoulder;
    case Gamepads::kDpadUp: return PadButton::Up;
    case Gamepads::kDpadDown: return PadButton::Down;
    case Gamepads::kDpadLeft: return PadButton::Left;
    case Gamepads::kDpadRight: return PadButton::Right;
    default: return PadButton::Other;
  }
}

double axis(const PadSample& s, int i) {
  return size_t(i) < s.axes.size() && std::isfinite(s.axes[size_t(i)]) ? s.axes[size_t(i)] : 0;
}

}  // namespace

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
      pad.keys.button(pad_button(int(b)), s.buttons[b], out, cursor, shift);
    }
    pad.keys.left_stick_x(axis(s, kLeftX), out);
    pad.keys.left_stick_y(axis(s, kLeftY), out);
    pad.keys.right_stick_x(axis(s, kRightX));
    pad.keys.right_stick_y(axis(s, kRightY));
  }
  // A controller gone lets go of whatever it held: a key the game saw go
  // down must come up.
  for (auto it = pads_.begin(); it != pads_.end();) {
    if (it->seen) {
      ++it;
      continue;
    }
    it->keys.release_all(out);
    it = pads_.erase(it);
  }
}

void Gamepads::cursor_pull(float& x, float& y) const {
  x = y = 0;
  for (const Pad& p : pads_)
    if (p.keys.cursor_pull(x, y)) return;
}

}  // namespace platform::web
