#include "platform/web/input.h"

#include <algorithm>
#include <cmath>

#include "platform/web/keymap.h"

namespace platform::web {

void InputTranslator::set_layout(const Viewport& vp, int surface_w, int surface_h) {
  vp_ = vp;
  surface_w_ = surface_w;
  surface_h_ = surface_h;
}

void InputTranslator::to_surface(double x, double y, int& sx, int& sy, bool& on_surface) const {
  const int wx = int(std::floor(x)), wy = int(std::floor(y));
  window_to_surface(vp_, surface_w_, surface_h_, wx, wy, sx, sy);
  on_surface = inside(vp_, wx, wy);
  sx = std::clamp(sx, 0, std::max(0, surface_w_ - 1));
  sy = std::clamp(sy, 0, std::max(0, surface_h_ - 1));
}

InputTranslator::KeyAction InputTranslator::key(bool down, std::string_view code,
                                                std::string_view key, bool repeat, uint32_t mods,
                                                bool meta) {
  // The page's own switch: F11, or Enter with Alt. Its release is swallowed
  // too, so the game never sees half of it.
  const bool enter = code == "Enter" || code == "NumpadEnter";
  if (code == "F11" || (enter && (down ? (mods & kAlt) != 0 : alt_enter_held_))) {
    bool& held = code == "F11" ? f11_held_ : alt_enter_held_;
    const bool first = down && !held && !repeat;
    held = down;
    return first ? KeyAction::ToggleFullscreen : KeyAction::Taken;
  }
  if (browser_keeps(code, meta)) return KeyAction::Ignored;
  const std::string code_s(code);
  int vk = 0;
  if (down) {
    auto it = held_keys_.find(code_s);
    vk = it != held_keys_.end() ? it->second : virtual_key(code, key);
    if (vk != 0) held_keys_[code_s] = vk;
  } else {
    auto it = held_keys_.find(code_s);
    if (it == held_keys_.end()) return KeyAction::Taken;  // its press went elsewhere
    vk = it->second;
    held_keys_.erase(it);
  }
  if (vk == 0) return KeyAction::Taken;
  Event e;
  e.type = down ? EventType::KeyDown : EventType::KeyUp;
  e.key = vk;
  e.shift = mods;
  out_.push_back(e);  // auto-repeated presses pass through as they come
  return KeyAction::Taken;
}

void InputTranslator::mouse_move(double x, double y, uint32_t mods) {
  mouse_x_ = x;
  mouse_y_ = y;
  has_cursor_ = true;
  Event e;
  e.type = EventType::MouseMove;
  bool on = false;
  to_surface(x, y, e.x, e.y, on);
  e.shift = mods;
  out_.push_back(e);
}

void InputTranslator::mouse_button(bool down, int dom_button, double x, double y, double time_ms,
                                   uint32_t mods) {
  // The DOM counts left, middle, right; the game left, right, middle.
  int b = -1;
  if (dom_button == 0) b = 0;
  if (dom_button == 1) b = 2;
  if (dom_button == 2) b = 1;
  if (b < 0) return;
  mouse_x_ = x;
  mouse_y_ = y;
  has_cursor_ = true;
  Event e;
  e.button = b;
  e.shift = mods;
  bool on_surface = false;
  to_surface(x, y, e.x, e.y, on_surface);
  if (down) {
    // The bars beside the picture are not part of the game's window.
    if (!on_surface) return;
    button_down_[b] = true;
    if (b == 0) {
      const bool near = std::abs(e.x - last_press_x_) <= kDoubleClickDistance &&
                        std::abs(e.y - last_press_y_) <= kDoubleClickDistance;
      clicks_ = near && time_ms - last_press_ms_ <= kDoubleClickMs ? clicks_ + 1 : 1;
      last_press_ms_ = time_ms;
      last_press_x_ = e.x;
      last_press_y_ = e.y;
      // The second press of a double click comes as the double-click notice
      // followed by the press itself (down, up, double click, down, up).
      if (clicks_ % 2 == 0) {
        Event d = e;
        d.type = EventType::DoubleClick;
        out_.push_back(d);
      }
    }
    e.type = EventType::MouseDown;
  } else {
    // A release is passed on when its press was, wherever it happens.
    if (!button_down_[b]) return;
    button_down_[b] = false;
    e.type = EventType::MouseUp;
  }
  out_.push_back(e);
}

void InputTranslator::held_button(bool down, int dom_button, double time_ms, uint32_t mods) {
  if (!has_cursor_) {
    mouse_x_ = vp_.x + vp_.w / 2.0;
    mouse_y_ = vp_.y + vp_.h / 2.0;
    has_cursor_ = true;
  }
  // Never half of a double click, neither with a tap before nor after.
  last_press_ms_ = -1e9;
  mouse_button(down, dom_button, mouse_x_, mouse_y_, time_ms, mods);
  last_press_ms_ = -1e9;
}

void InputTranslator::wheel(double delta_y, int delta_mode, uint32_t mods) {
  if (!std::isfinite(delta_y) || delta_y == 0) return;
  const double notch = delta_mode == 1 ? kNotchLines : delta_mode == 2 ? kNotchPages : kNotchPixels;
  // A wheel's notch arrives as one event of about a notch (browsers give 50
  // to 120 pixels, or 3 lines); a touchpad sends many small steps, which
  // add up.
  double notches = delta_y / notch;
  if (std::abs(notches) >= 0.5) {
    notches = std::max(1.0, std::round(std::abs(notches))) * (notches > 0 ? 1 : -1);
    wheel_rest_ = 0;
  } else {
    // A turn that changes direction starts counting afresh.
    if ((wheel_rest_ > 0) != (notches > 0)) wheel_rest_ = 0;
    wheel_rest_ += notches;
    notches = std::trunc(wheel_rest_ + (wheel_rest_ > 0 ? 1e-9 : -1e-9));
    wheel_rest_ -= notches;
  }
  // A few notches at most per event, whatever a device reports.
  const int n = int(std::clamp(notches, -kMaxNotches, kMaxNotches));
  const Point c = cursor();
  for (int i = 0; i < std::abs(n); ++i) {
    Event e;
    e.type = EventType::Wheel;
    e.x = c.x;
    e.y = c.y;
    e.shift = mods;
    // Turned towards the user (down) is a negative delta for the game.
    e.wheel_delta = n > 0 ? -120 : 120;
    out_.push_back(e);
  }
}

void InputTranslator::release_all() {
  for (const auto& [code, vk] : held_keys_) {
    Event e;
    e.type = EventType::KeyUp;
    e.key = vk;
    out_.push_back(e);
  }
  held_keys_.clear();
  alt_enter_held_ = f11_held_ = false;
  const Point c = cursor();
  for (int b = 0; b < 3; ++b) {
    if (!button_down_[b]) continue;
    button_down_[b] = false;
    Event e;
    e.type = EventType::MouseUp;
    e.button = b;
    e.x = c.x;
    e.y = c.y;
    out_.push_back(e);
  }
}

void InputTranslator::update_active(bool was_active) {
  if (was_active == active()) return;
  if (!active()) release_all();
  Event e;
  e.type = active() ? EventType::Activate : EventType::Deactivate;
  out_.push_back(e);
}

void InputTranslator::set_focused(bool focused) {
  const bool was = active();
  focused_ = focused;
  update_active(was);
}

void InputTranslator::set_visible(bool visible) {
  const bool was = active();
  visible_ = visible;
  update_active(was);
}

Point InputTranslator::cursor() const {
  if (!has_cursor_) return {0, 0};
  Point p;
  bool on = false;
  to_surface(mouse_x_, mouse_y_, p.x, p.y, on);
  return p;
}

}  // namespace platform::web
