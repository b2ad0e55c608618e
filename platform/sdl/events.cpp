#include "platform/sdl/events.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/sdl/keymap.h"
#include "platform/sdl/message_box.h"

namespace platform::sdl {

bool SdlSystem::window_switch_key(const SDL_KeyboardEvent& key) {
  const SDL_Keycode sym = key.keysym.sym;
  auto held = std::find(swallowed_.begin(), swallowed_.end(), sym);
  if (key.type == SDL_KEYUP) {
    if (held == swallowed_.end()) return false;
    swallowed_.erase(held);
    return true;
  }
  const bool enter = sym == SDLK_RETURN || sym == SDLK_KP_ENTER;
  if (!(sym == SDLK_F11 || (enter && (key.keysym.mod & KMOD_ALT) != 0))) return false;
  if (held == swallowed_.end()) swallowed_.push_back(sym);
  if (!key.repeat) display_->toggle_fullscreen();
  return true;
}

void SdlSystem::translate(const SDL_Event& ev) {
  const bool controller = ev.type >= SDL_CONTROLLERAXISMOTION && ev.type < SDL_FINGERDOWN;
  if (controller && pads_.translate(ev, queue_, cursor_pos(), shift_state(SDL_GetModState())))
    return;
  Event e;
  switch (ev.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      if (window_switch_key(ev.key)) return;
      e.key = virtual_key(ev.key.keysym.sym);
      if (e.key == 0) return;
      e.type = ev.type == SDL_KEYDOWN ? EventType::KeyDown : EventType::KeyUp;
      e.shift = shift_state(ev.key.keysym.mod);
      queue_.push_back(e);  // auto-repeat key-downs pass through as they come
      return;
    }
    case SDL_MOUSEMOTION: {
      if (ev.motion.which == SDL_TOUCH_MOUSEID) return;
      if (pad_leads()) {
        // The mouse put where the stick moved the cursor: already told.
        if (ev.motion.x == warped_x_ && ev.motion.y == warped_y_) return;
        mouse_moved();  // the mouse itself moved: it leads again
      }
      e.type = EventType::MouseMove;
      display_->to_surface(ev.motion.x, ev.motion.y, e.x, e.y);
      clamp_to_surface(e.x, e.y);
      e.shift = shift_state(SDL_GetModState());
      queue_.push_back(e);
      return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int b = mouse_button(ev.button.button);
      if (b < 0) return;
      e.button = b;
      e.shift = shift_state(SDL_GetModState());
      const bool on_surface = display_->to_surface(ev.button.x, ev.button.y, e.x, e.y);
      clamp_to_surface(e.x, e.y);
      if (ev.type == SDL_MOUSEBUTTONDOWN)
        buttons().press(e, on_surface, ev.button.clicks >= 2 && ev.button.clicks % 2 == 0, queue_);
      else
        buttons().release(e, queue_);
      return;
    }
    case SDL_MOUSEWHEEL: {
      int notches = ev.wheel.y;
      if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      int mx = 0, my = 0;
      SDL_GetMouseState(&mx, &my);
      e.type = EventType::Wheel;
      display_->to_surface(mx, my, e.x, e.y);
      clamp_to_surface(e.x, e.y);
      e.shift = shift_state(SDL_GetModState());
      // One notice per notch, as the handlers count them.
      for (int i = 0; i < std::abs(notches); ++i) {
        e.wheel_delta = notches > 0 ? 120 : -120;
        queue_.push_back(e);
      }
      return;
    }
    case SDL_WINDOWEVENT:
      switch (ev.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          e.type = EventType::Activate;
          queue_.push_back(e);
          return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          e.type = EventType::Deactivate;
          queue_.push_back(e);
          return;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          // No frame may come soon (the game stops while it has no focus).
          display_->refresh();
          return;
        default: return;
      }
    case SDL_QUIT:
      // Closing the window, or the session asking the program to end.
      e.type = EventType::Close;
      queue_.push_back(e);
      return;
    case SDL_RENDER_TARGETS_RESET: display_->mark_lost(false); return;
    case SDL_RENDER_DEVICE_RESET: display_->mark_lost(true); return;
    default: return;
  }
}

void SdlSystem::move_pad_cursor() {
  float px = 0, py = 0;
  pads_.cursor_pull(px, py);
  Point to;
  if (!lead_cursor(px, py, SDL_GetTicks(), shift_state(SDL_GetModState()), to)) return;
  // The mouse follows where the system lets it be moved.
  display_->to_window(to.x, to.y, warped_x_, warped_y_);
  if (display_->window()) SDL_WarpMouseInWindow(display_->window(), warped_x_, warped_y_);
}

void SdlSystem::fill() {
  if (!pads_.started() && display_->frames_presented() > 0 && (!gamepad_gate_ || gamepad_gate_()))
    pads_.start();
  SDL_Event ev;
  while (queue_.empty() && SDL_PollEvent(&ev)) translate(ev);
  if (queue_.empty()) move_pad_cursor();
}

void SdlSystem::wait_event(uint32_t timeout_ms) {
  if (!queue_.empty() || timeout_ms == 0) return;
  // While the right stick is pulled the cursor moves on without events.
  float px = 0, py = 0;
  pads_.cursor_pull(px, py);
  if (px != 0 || py != 0) timeout_ms = std::min<uint32_t>(timeout_ms, 10);
  // Not SDL's own wait: see wait_for_event.
  wait_for_event(nullptr, int(timeout_ms));
}

Point SdlSystem::system_cursor() {
  int mx = 0, my = 0;
  SDL_GetMouseState(&mx, &my);
  Point p;
  display_->to_surface(mx, my, p.x, p.y);
  clamp_to_surface(p.x, p.y);
  return p;
}

void SdlSystem::show_cursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

bool SdlSystem::shell_open(const std::string& url) { return SDL_OpenURL(url.c_str()) == 0; }

void SdlSystem::error_box(const std::string& title_utf8, const std::string& text_utf8) {
  std::fprintf(stderr, "%s: %s\n", title_utf8.c_str(), text_utf8.c_str());
  MessageBoxContent box;
  box.title = title_utf8;
  box.text = text_utf8;
  box.buttons = {"OK"};
  show_message_box(box, display_ ? display_->window() : nullptr);
}

bool SdlSystem::confirm_box(const std::string& title_utf8, const std::string& text_utf8) {
  MessageBoxContent box;
  box.title = title_utf8;
  box.text = text_utf8;
  box.buttons = {"Ano", "Ne"};
  box.return_button = 0;
  box.escape_button = 1;
  box.error = false;
  return show_message_box(box, display_ ? display_->window() : nullptr) == 0;
}

}  // namespace platform::sdl
