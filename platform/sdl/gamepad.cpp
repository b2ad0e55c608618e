#include "platform/sdl/gamepad.h"

#include <algorithm>
#include <cstdlib>

namespace platform::sdl {

namespace {

// The left stick presses an arrow past half its travel and lets it go below
// a third, so a stick held near the edge does not chatter.
constexpr int kStickPress = 16384;
constexpr int kStickRelease = 10923;
// The right stick's dead zone: a stick at rest is rarely at zero.
constexpr int kCursorDeadZone = 8000;

int button_key(uint8_t button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return vk::kLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return vk::kRight;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return vk::kUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return vk::kDown;
    case SDL_CONTROLLER_BUTTON_B: return vk::kCtrl;
    case SDL_CONTROLLER_BUTTON_START: return vk::kPause;
    case SDL_CONTROLLER_BUTTON_BACK: return vk::kEsc;
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

Gamepads::~Gamepads() {
  pads_.clear();  // closed before the subsystem goes
  if (started_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

bool Gamepads::start() {
  if (started_) return true;
  started_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  return started_;
}

Gamepads::Pad* Gamepads::find(SDL_JoystickID id) {
  for (Pad& p : pads_)
    if (p.id == id) return &p;
  return nullptr;
}

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

bool Gamepads::translate(const SDL_Event& ev, std::deque<Event>& out, Point cursor,
                         uint32_t shift) {
  switch (ev.type) {
    case SDL_CONTROLLERDEVICEADDED: {
      ControllerPtr c(SDL_GameControllerOpen(ev.cdevice.which));
      if (!c) return true;
      const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c.get()));
      if (find(id)) return true;  // reported twice
      Pad pad;
      pad.id = id;
      pad.controller = std::move(c);
      pads_.push_back(std::move(pad));
      return true;
    }
    case SDL_CONTROLLERDEVICEREMOVED: {
      auto it = std::find_if(pads_.begin(), pads_.end(),
                             [&](const Pad& p) { return p.id == ev.cdevice.which; });
      if (it == pads_.end()) return true;
      // Whatever it held is let go: a key the game saw go down must come up.
      release_all(*it, out);
      pads_.erase(it);
      return true;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      Pad* pad = find(ev.cbutton.which);
      if (!pad) return true;
      const bool down = ev.type == SDL_CONTROLLERBUTTONDOWN;
      const uint8_t b = ev.cbutton.button;
      if (b == SDL_CONTROLLER_BUTTON_A) {
        // Space first: in the menu it does nothing (unless a name is typed),
        // so a game started by the Enter is not also fired into at once.
        if (down) {
          press(*pad, vk::kSpace, true, out);
          press(*pad, vk::kEnter, true, out);
        } else {
          press(*pad, vk::kEnter, false, out);
          press(*pad, vk::kSpace, false, out);
        }
      } else if (b == SDL_CONTROLLER_BUTTON_LEFTSHOULDER ||
                 b == SDL_CONTROLLER_BUTTON_RIGHTSHOULDER) {
        if (down) {
          Event e;
          e.type = EventType::Wheel;
          e.x = cursor.x;
          e.y = cursor.y;
          e.shift = shift;
          e.wheel_delta = b == SDL_CONTROLLER_BUTTON_RIGHTSHOULDER ? 120 : -120;
          out.push_back(e);
        }
      } else if (const int key = button_key(b)) {
        press(*pad, key, down, out);
      }
      return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
      Pad* pad = find(ev.caxis.which);
      if (!pad) return true;
      const int16_t v = ev.caxis.value;
      auto direction = [&](int index, int key, bool pulled, bool within) {
        bool& held = pad->stick[size_t(index)];
        if (!held && pulled) {
          held = true;
          press(*pad, key, true, out);
        } else if (held && !within) {
          held = false;
          press(*pad, key, false, out);
        }
      };
      switch (ev.caxis.axis) {
        case SDL_CONTROLLER_AXIS_LEFTX:
          direction(0, vk::kLeft, v <= -kStickPress, v <= -kStickRelease);
          direction(1, vk::kRight, v >= kStickPress, v >= kStickRelease);
          break;
        case SDL_CONTROLLER_AXIS_LEFTY:
          direction(2, vk::kUp, v <= -kStickPress, v <= -kStickRelease);
          direction(3, vk::kDown, v >= kStickPress, v >= kStickRelease);
          break;
        case SDL_CONTROLLER_AXIS_RIGHTX: pad->right_x = v; break;
        case SDL_CONTROLLER_AXIS_RIGHTY: pad->right_y = v; break;
        default: break;
      }
      return true;
    }
    case SDL_CONTROLLERDEVICEREMAPPED: return true;
    default: return false;
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

}  // namespace platform::sdl
