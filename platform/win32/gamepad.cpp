#include "platform/win32/gamepad.h"

#include <algorithm>

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <xinput.h>
// clang-format on

namespace platform::win32 {

namespace {

// XInput's buttons in the shared mapping's terms, in the order their
// changes are reported.
constexpr struct {
  uint16_t bit;
  PadButton button;
} kButtons[] = {
    {XINPUT_GAMEPAD_DPAD_UP, PadButton::Up},
    {XINPUT_GAMEPAD_DPAD_DOWN, PadButton::Down},
    {XINPUT_GAMEPAD_DPAD_LEFT, PadButton::Left},
    {XINPUT_GAMEPAD_DPAD_RIGHT, PadButton::Right},
    {XINPUT_GAMEPAD_START, PadButton::Start},
    {XINPUT_GAMEPAD_BACK, PadButton::Back},
    {XINPUT_GAMEPAD_LEFT_SHOULDER, PadButton::LeftShoulder},
    {XINPUT_GAMEPAD_RIGHT_SHOULDER, PadButton::RightShoulder},
    {XINPUT_GAMEPAD_A, PadButton::A},
    {XINPUT_GAMEPAD_B, PadButton::B},
};

// A stick's travel as the mapping takes it, -1..1, its y growing downward
// (XInput's grows upward).
double travel(int16_t v) { return std::max(-1.0, double(v) / 32767); }
double downward(int16_t y) { return -travel(y); }

using GetStateFn = DWORD(WINAPI*)(DWORD, XINPUT_STATE*);

// XInputGetState from the newest XInput library the system has; null
// without one. Looked up once and kept for the program's life.
GetStateFn system_get_state() {
  static const GetStateFn fn = []() -> GetStateFn {
    for (const wchar_t* name : {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"})
      if (HMODULE lib = LoadLibraryW(name))
        if (FARPROC p = GetProcAddress(lib, "XInputGetState"))
          return reinterpret_cast<GetStateFn>(reinterpret_cast<void*>(p));
    return nullptr;
  }();
  return fn;
}

}  // namespace

PadReader system_pad_reader() {
  return [](unsigned index, PadState& state) {
    const GetStateFn get = system_get_state();
    XINPUT_STATE s{};
    if (!get || get(DWORD(index), &s) != ERROR_SUCCESS) return false;
    state.buttons = s.Gamepad.wButtons;
    state.left_x = s.Gamepad.sThumbLX;
    state.left_y = s.Gamepad.sThumbLY;
    state.right_x = s.Gamepad.sThumbRX;
    state.right_y = s.Gamepad.sThumbRY;
    return true;
  };
}

void XInputPads::poll(uint32_t now_ms, std::deque<Event>& out, Point cursor, uint32_t shift) {
  for (unsigned i = 0; i < kSlots; ++i) {
    Slot& slot = slots_[i];
    if (!slot.connected && slot.asked && now_ms - slot.asked_at < kRetryMs) continue;
    slot.asked = true;
    slot.asked_at = now_ms;
    PadState now;
    if (!reader_ || !reader_(i, now)) {
      if (slot.connected) {
        // Unplugged: whatever it held is let go.
        slot.keys.release_all(out);
        slot.connected = false;
      }
      continue;
    }
    if (!slot.connected) {
      // Plugged in: it starts from rest, so what it holds already is news.
      slot = Slot{};
      slot.connected = true;
      slot.asked = true;
      slot.asked_at = now_ms;
    }
    const PadState before = slot.last;
    for (const auto& b : kButtons)
      if ((before.buttons ^ now.buttons) & b.bit)
        slot.keys.button(b.button, (now.buttons & b.bit) != 0, out, cursor, shift);
    if (now.left_x != before.left_x) slot.keys.left_stick_x(travel(now.left_x), out);
    if (now.left_y != before.left_y) slot.keys.left_stick_y(downward(now.left_y), out);
    slot.keys.right_stick_x(travel(now.right_x));
    slot.keys.right_stick_y(downward(now.right_y));
    slot.last = now;
  }
}

int XInputPads::count() const {
  int n = 0;
  for (const Slot& s : slots_) n += s.connected ? 1 : 0;
  return n;
}

void XInputPads::cursor_pull(float& x, float& y) const {
  x = y = 0;
  for (const Slot& s : slots_)
    if (s.connected && s.keys.cursor_pull(x, y)) return;
}

}  // namespace platform::win32
