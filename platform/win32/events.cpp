#include "platform/win32/events.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windowsx.h>
// clang-format on

#include <algorithm>

namespace platform::win32 {

WinSystem::WinSystem(WinDisplay* display) : QueuedSystem(display), display_(display) {
  display_->main_window().set_input_listener(this);
}

WinSystem::~WinSystem() {
  display_->main_window().set_input_listener(nullptr);
  if (cursor_hidden_) ShowCursor(TRUE);
}

uint32_t WinSystem::shift_state() {
  uint32_t s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= 1;
  if (GetKeyState(VK_MENU) < 0) s |= 2;
  if (GetKeyState(VK_CONTROL) < 0) s |= 4;
  return s;
}

void WinSystem::push_mouse(EventType type, int button, int cx, int cy) {
  Event e;
  e.type = type;
  e.button = button;
  display_->to_surface(cx, cy, e.x, e.y);
  clamp_to_surface(e.x, e.y);
  e.shift = shift_state();
  queue_.push_back(e);
}

bool WinSystem::on_message(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  return translate(msg, wp, lp);
}

bool WinSystem::window_switch_key(UINT msg, WPARAM wp, LPARAM lp) {
  const int key = int(wp);
  if (msg == WM_KEYUP || msg == WM_SYSKEYUP) {
    if (!swallowed_[key]) return false;
    swallowed_[key] = false;
    return true;
  }
  const bool alt = (lp & (LPARAM(1) << 29)) != 0;
  if (!(key == VK_F11 || (key == VK_RETURN && alt))) return false;
  swallowed_[key] = true;
  // Once per press, not again at the key's auto-repeat.
  if (!(lp & (LPARAM(1) << 30))) display_->toggle_fullscreen();
  return true;
}

bool WinSystem::translate(UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = display_->window();
  switch (msg) {
    case WM_SYSCHAR:
      // Alt+Enter's character: no beep, no menu.
      return wp == VK_RETURN;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      // The window's virtual-key codes are the game's own.
      const int key = int(wp);
      if (key <= 0 || key > 254) return false;
      if (window_switch_key(msg, wp, lp)) return true;
      const bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
      Event e;
      e.type = down ? EventType::KeyDown : EventType::KeyUp;
      e.key = key;
      e.shift = shift_state();
      keys_down_[size_t(key)] = down;
      queue_.push_back(e);  // auto-repeat key-downs pass through as they come
      // Alt with a key goes on to the system (Alt+F4 closes the window).
      return msg == WM_KEYDOWN || msg == WM_KEYUP;
    }
    case WM_MOUSEMOVE:
      if (pad_leads()) {
        // The mouse put where the stick moved the cursor: already told.
        if (GET_X_LPARAM(lp) == warped_.x && GET_Y_LPARAM(lp) == warped_.y) return true;
        mouse_moved();  // the mouse itself moved: it leads again
      }
      push_mouse(EventType::MouseMove, 0, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
      const int b = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)   ? 0
                    : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) ? 1
                                                                         : 2;
      const int cx = GET_X_LPARAM(lp), cy = GET_Y_LPARAM(lp);
      int sx = 0, sy = 0;
      // The bars are not part of the drawing surface: presses there are
      // dropped.
      if (!display_->to_surface(cx, cy, sx, sy)) return true;
      button_down_[b] = true;
      SetCapture(hwnd);
      // The second press of a double click comes as the double-click notice
      // followed by the press itself (down, up, double click, down, up),
      // and only for the left button.
      if (msg == WM_LBUTTONDBLCLK) push_mouse(EventType::DoubleClick, 0, cx, cy);
      push_mouse(EventType::MouseDown, b, cx, cy);
      return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const int b = msg == WM_LBUTTONUP ? 0 : msg == WM_RBUTTONUP ? 1 : 2;
      // A release is passed on when its press was, wherever it happens, so a
      // button held while the cursor leaves the surface is not stuck.
      if (!button_down_[b]) return true;
      button_down_[b] = false;
      if (!button_down_[0] && !button_down_[1] && !button_down_[2]) ReleaseCapture();
      push_mouse(EventType::MouseUp, b, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return true;
    }
    case WM_MOUSEWHEEL: {
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};  // screen position
      ScreenToClient(hwnd, &pt);
      // One notice per whole notch, as the handlers count them; finer wheels
      // add up to a notch first.
      wheel_rest_ += GET_WHEEL_DELTA_WPARAM(wp);
      while (wheel_rest_ >= WHEEL_DELTA || wheel_rest_ <= -WHEEL_DELTA) {
        const int notch = wheel_rest_ > 0 ? WHEEL_DELTA : -WHEEL_DELTA;
        wheel_rest_ -= notch;
        push_mouse(EventType::Wheel, 0, pt.x, pt.y);
        queue_.back().wheel_delta = notch;
      }
      return true;
    }
    case WM_ACTIVATEAPP: {
      Event e;
      e.type = wp ? EventType::Activate : EventType::Deactivate;
      if (!wp) {
        // Keys held while the focus goes elsewhere never see their release
        // here: they are let go now, so no flag stays set.
        for (int k = 1; k < 255; ++k) {
          if (!keys_down_[size_t(k)]) continue;
          keys_down_[size_t(k)] = false;
          Event up;
          up.type = EventType::KeyUp;
          up.key = k;
          queue_.push_back(up);
        }
      }
      queue_.push_back(e);
      return false;
    }
    case WM_CLOSE: {
      // Closing the window, or the session asking the program to end: the
      // game closes it itself.
      Event e;
      e.type = EventType::Close;
      queue_.push_back(e);
      return true;
    }
    default: return false;
  }
}

void WinSystem::poll_pads() {
  pads_.poll(GetTickCount(), queue_, cursor_pos(), shift_state());
  float px = 0, py = 0;
  pads_.cursor_pull(px, py);
  Point at;
  if (!lead_cursor(px, py, GetTickCount(), shift_state(), at)) return;
  // The mouse follows, to the middle of the surface pixel in the window.
  HWND w = display_->window();
  if (!w) return;
  int wx = 0, wy = 0;
  surface_to_window(display_->viewport(), display_->client_width(), display_->client_height(), at.x,
                    at.y, wx, wy);
  warped_ = {LONG(wx), LONG(wy)};
  POINT screen = warped_;
  ClientToScreen(w, &screen);
  SetCursorPos(screen.x, screen.y);
}

void WinSystem::fill() {
  MSG msg;
  while (queue_.empty() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      Event q;
      q.type = EventType::Close;
      queue_.push_back(q);
      break;
    }
    DispatchMessageW(&msg);
  }
  if (queue_.empty()) poll_pads();
}

void WinSystem::wait_event(uint32_t timeout_ms) {
  if (!queue_.empty() || timeout_ms == 0) return;
  // The controllers send no messages: while one is plugged in it is read
  // at least every 10 ms.
  if (pads_.count() > 0) timeout_ms = std::min<uint32_t>(timeout_ms, 10);
  MsgWaitForMultipleObjectsEx(0, nullptr, timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace platform::win32
