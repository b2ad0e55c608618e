#include "platform/web/system.h"

#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/web/js_calls.h"
#include "platform/web/site_address.h"

namespace platform::web {

namespace {

uint32_t mods_of(bool shift, bool alt, bool ctrl) {
  return (shift ? kShift : 0) | (alt ? kAlt : 0) | (ctrl ? kCtrl : 0);
}

constexpr const char* kCanvas = "#canvas";

double device_ratio() { return emscripten_get_device_pixel_ratio(); }

EM_BOOL on_key(int type, const EmscriptenKeyboardEvent* e, void* user) {
  auto* s = static_cast<WebSystem*>(user);
  const uint32_t mods = mods_of(e->shiftKey, e->altKey, e->ctrlKey);
  s->set_modifiers(mods);
  const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
  const auto action = s->input().key(down, e->code, e->key, e->repeat, mods, e->metaKey);
  if (action == InputTranslator::KeyAction::ToggleFullscreen) zarnik_js_toggle_fullscreen();
  return action == InputTranslator::KeyAction::Ignored ? EM_FALSE : EM_TRUE;
}

EM_BOOL on_mouse(int type, const EmscriptenMouseEvent* e, void* user) {
  auto* s = static_cast<WebSystem*>(user);
  const double r = device_ratio();
  const uint32_t mods = mods_of(e->shiftKey, e->altKey, e->ctrlKey);
  s->set_modifiers(mods);
  const double x = double(e->clientX) * r, y = double(e->clientY) * r;
  s->mouse_moved();
  if (type == EMSCRIPTEN_EVENT_MOUSEMOVE) {
    s->input().mouse_move(x, y, mods);
    return EM_FALSE;
  }
  // Double clicks are timed on the game's clock, as its frames are.
  s->input().mouse_button(type == EMSCRIPTEN_EVENT_MOUSEDOWN, e->button, x, y,
                          double(s->clock().now_ms()), mods);
  return EM_FALSE;
}

EM_BOOL on_wheel(int, const EmscriptenWheelEvent* e, void* user) {
  auto* s = static_cast<WebSystem*>(user);
  const uint32_t mods = mods_of(e->mouse.shiftKey, e->mouse.altKey, e->mouse.ctrlKey);
  s->input().wheel(e->deltaY, int(e->deltaMode), mods);
  return EM_TRUE;  // neither scrolls nor zooms the page
}

EM_BOOL on_focus(int type, const EmscriptenFocusEvent* e, void* user) {
  // The window's own focus only: a field or button of the page getting or
  // losing it passes the window too (the name field, the dialog's button).
  if (std::strcmp(e->nodeName, "#window") != 0) return EM_FALSE;
  static_cast<WebSystem*>(user)->input().set_focused(type == EMSCRIPTEN_EVENT_FOCUS);
  return EM_FALSE;
}

EM_BOOL on_visibility(int, const EmscriptenVisibilityChangeEvent* e, void* user) {
  auto* s = static_cast<WebSystem*>(user);
  s->input().set_visible(!e->hidden);
  // A hidden page may never be shown again (a phone drops it, the browser
  // is closed): what it has to say is said now.
  if (e->hidden) s->hidden();
  return EM_FALSE;
}

}  // namespace

WebSystem::WebSystem(WebDisplay* display, WebClock* clock)
    : QueuedSystem(display), display_(display), clock_(clock) {}

WebSystem::~WebSystem() { unlisten(); }

void WebSystem::unlisten() {
  if (!listening_) return;
  listening_ = false;
  emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
  emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
  emscripten_set_mousedown_callback(kCanvas, nullptr, EM_TRUE, nullptr);
  emscripten_set_mouseup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
  emscripten_set_mousemove_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
  emscripten_set_wheel_callback(kCanvas, nullptr, EM_TRUE, nullptr);
  emscripten_set_focus_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
  emscripten_set_blur_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
  emscripten_set_visibilitychange_callback(nullptr, EM_TRUE, nullptr);
}

void WebSystem::listen() {
  if (listening_) return;
  listening_ = true;
  const char* win = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  emscripten_set_keydown_callback(win, this, EM_TRUE, on_key);
  emscripten_set_keyup_callback(win, this, EM_TRUE, on_key);
  // Presses count on the picture only (not on the page's button or
  // dialogs); moves and releases anywhere.
  emscripten_set_mousedown_callback(kCanvas, this, EM_TRUE, on_mouse);
  emscripten_set_mouseup_callback(win, this, EM_TRUE, on_mouse);
  emscripten_set_mousemove_callback(win, this, EM_TRUE, on_mouse);
  // On the picture: a browser takes a wheel listener of the whole window as
  // one that cannot keep the page from zooming.
  emscripten_set_wheel_callback(kCanvas, this, EM_TRUE, on_wheel);
  emscripten_set_focus_callback(win, this, EM_TRUE, on_focus);
  emscripten_set_blur_callback(win, this, EM_TRUE, on_focus);
  emscripten_set_visibilitychange_callback(this, EM_TRUE, on_visibility);
  EmscriptenVisibilityChangeEvent v;
  if (emscripten_get_visibility_status(&v) == EMSCRIPTEN_RESULT_SUCCESS)
    input_.set_visible(!v.hidden);
  input_.set_focused(EM_ASM_INT({ return document.hasFocus() ? 1 : 0; }) != 0);
  layout_changed();
}

void WebSystem::layout_changed() {
  const Viewport vp = display_->layout();
  input_.set_layout(vp, display_->client_width(), display_->client_height());
}

void WebSystem::push_close() {
  Event e;
  e.type = EventType::Close;
  queue_.push_back(e);
}

void WebSystem::sample_gamepads() {
  if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) return;
  const int n = std::min(emscripten_get_num_gamepads(), 8);
  std::vector<PadSample> samples;
  for (int i = 0; i < n; ++i) {
    EmscriptenGamepadEvent g;
    if (emscripten_get_gamepad_status(i, &g) != EMSCRIPTEN_RESULT_SUCCESS || !g.connected) continue;
    PadSample s;
    s.index = g.index;
    s.connected = true;
    for (int b = 0; b < std::min(g.numButtons, 64); ++b) s.buttons.push_back(g.digitalButton[b]);
    for (int a = 0; a < std::min(g.numAxes, 64); ++a) s.axes.push_back(g.axis[a]);
    samples.push_back(std::move(s));
  }
  if (samples.empty() && pads_.count() == 0) return;
  pads_.update(samples, queue_, cursor_pos(), mods_);
  move_pad_cursor();
}

void WebSystem::move_pad_cursor() {
  float px = 0, py = 0;
  pads_.cursor_pull(px, py);
  Point to;
  lead_cursor(px, py, clock_->now_ms(), mods_, to);
}

bool WebSystem::input_held() const { return zarnik_js_files_pending() != 0; }

void WebSystem::show_cursor(bool visible) { zarnik_js_cursor(visible ? 1 : 0); }

OpenResult WebSystem::shell_open(const std::string& url) {
  // A document of the game's folder opens as the site's copy of it.
  const std::string address = site_address(url);
  return !address.empty() && zarnik_js_open_url(address.c_str()) != 0 ? OpenResult::Opened
                                                                      : OpenResult::Failed;
}

void WebSystem::text_input(bool on) { zarnik_js_text_input(on ? 1 : 0); }

void WebSystem::touch_move(double x, double y) {
  const double r = device_ratio();
  mouse_moved();
  input_.mouse_move(x * r, y * r, mods_);
}

void WebSystem::touch_button(bool down, int dom_button, double x, double y) {
  const double r = device_ratio();
  mouse_moved();
  input_.mouse_button(down, dom_button, x * r, y * r, double(clock_->now_ms()), mods_);
}

void WebSystem::touch_held_button(bool down, int dom_button) {
  input_.held_button(down, dom_button, double(clock_->now_ms()), mods_);
}

void WebSystem::touch_key(bool down, int vk) {
  Event e;
  e.type = down ? EventType::KeyDown : EventType::KeyUp;
  e.key = vk;
  e.shift = mods_;
  queue_.push_back(e);
}

void WebSystem::error_box(const std::string& title_utf8, const std::string& text_utf8) {
  zarnik_js_box(title_utf8.c_str(), text_utf8.c_str(), 0);
}

bool WebSystem::confirm_box(const std::string& title_utf8, const std::string& text_utf8) {
  return zarnik_js_box(title_utf8.c_str(), text_utf8.c_str(), 1) != 0;
}

}  // namespace platform::web
