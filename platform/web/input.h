#pragma once
// The browser's input turned into the game's window events, without the
// browser: key codes, mouse positions in the page's device pixels, wheel
// deltas, focus and visibility go in; events in back-surface pixels come
// out, in the order the game's handlers expect them (the order the other
// backends give). The page's layout (where the canvas sits) is told first.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/screen_fit.h"
#include "platform/system.h"

namespace platform::web {

// Modifier bits of Event::shift.
inline constexpr uint32_t kShift = 1, kAlt = 2, kCtrl = 4;

class InputTranslator {
 public:
  explicit InputTranslator(std::deque<Event>& out) : out_(out) {}

  // Where the surface (surface_w x surface_h) is shown, in device pixels of
  // the page.
  void set_layout(const Viewport& vp, int surface_w, int surface_h);

  enum class KeyAction {
    Ignored,           // the browser may act on it
    Taken,             // the game's: the browser's action is prevented
    ToggleFullscreen,  // F11 or Alt+Enter: prevented, and the page switches
  };
  // A key going down (repeat: held, auto-repeated) or up. code and key are
  // KeyboardEvent.code and .key.
  KeyAction key(bool down, std::string_view code, std::string_view key, bool repeat, uint32_t mods,
                bool meta);

  // Mouse at (x, y) device pixels of the page. button: the DOM's (0 left,
  // 1 middle, 2 right). time_ms: the event's time, for double clicks.
  void mouse_move(double x, double y, uint32_t mods);
  void mouse_button(bool down, int dom_button, double x, double y, double time_ms, uint32_t mods);
  // A button pressed or let go where the cursor is (a touch control; before
  // any cursor, the surface's middle), with no double click counted.
  void held_button(bool down, int dom_button, double time_ms, uint32_t mods);
  // A wheel turn: delta_y as the DOM gives it (positive towards the user) in
  // pixels (mode 0), lines (1) or pages (2). One event per notch.
  void wheel(double delta_y, int delta_mode, uint32_t mods);

  // The window is active while the page is both visible and focused. A
  // change queues Activate or Deactivate; before a Deactivate every key and
  // button still held is let go, since their releases will go elsewhere.
  void set_focused(bool focused);
  void set_visible(bool visible);
  bool active() const { return focused_ && visible_; }

  // The last mouse position in surface pixels, kept on the surface.
  Point cursor() const;
  bool has_cursor() const { return has_cursor_; }

  // A double click: the second press within this time and distance of the
  // first (the usual system settings).
  static constexpr double kDoubleClickMs = 500;
  static constexpr double kDoubleClickDistance = 4;  // surface pixels
  // One notch of a wheel in the DOM's units: pixels, lines, pages.
  static constexpr double kNotchPixels = 100, kNotchLines = 3, kNotchPages = 1;
  static constexpr double kMaxNotches = 10;

 private:
  void to_surface(double x, double y, int& sx, int& sy, bool& on_surface) const;
  void update_active(bool was_active);
  void release_all();

  std::deque<Event>& out_;
  Viewport vp_;
  int surface_w_ = 0, surface_h_ = 0;
  double mouse_x_ = 0, mouse_y_ = 0;  // device pixels
  bool has_cursor_ = false;
  bool focused_ = true, visible_ = true;
  // The virtual key each held physical key went down as, so its release
  // names the same key even if the layout's letter changed meanwhile.
  std::unordered_map<std::string, int> held_keys_;
  bool alt_enter_held_ = false, f11_held_ = false;
  bool button_down_[3] = {false, false, false};
  double last_press_ms_ = -1e9;
  int last_press_x_ = 0, last_press_y_ = 0;
  int clicks_ = 0;
  double wheel_rest_ = 0;
};

}  // namespace platform::web
