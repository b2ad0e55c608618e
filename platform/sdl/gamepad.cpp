#include "platform/sdl/gamepad.h"

#include <algorithm>
#include <cstdlib>

namespace platform::sdl {

namespace {

PadButton pad_button(uint8_t button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_A: return PadButton::A;
    case SDL_CONTROLLER_BUTTON_B: return PadButton::B;
    case SDL_CONTROLLER_BUTTON_BACK: return PadButton::Back;
    case SDL_CONTROLLER_BUTTON_START: return PadButton::Start;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return PadButton::LeftShoulder;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return PadButton::RightShoulder;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return PadButton::Up;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return PadButton::Down;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return PadButton::Left;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return PadButton::Right;
    default: return PadButton::Other;
  }
}

// SDL's axis travel as -1..1.
double travel(int16_t v) { return double(v) / 32767; }

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
      it->keys.release_all(out);
      pads_.erase(it);
      return true;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      Pad* pad = find(ev.cbutton.which);
      if (!pad) return true;
      pad->keys.button(pad_button(ev.cbutton.button), ev.type == SDL_CONTROLLERBUTTONDOWN, out,
                       cursor, shift);
      return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
      Pad* pad = find(ev.caxis.which);
      if (!pad) return true;
      const int16_t v = ev.caxis.value;
      switch (ev.caxis.axis) {
        case SDL_CONTROLLER_AXIS_LEFTX: pad->keys.left_stick_x(travel(v), out); break;
        case SDL_CONTROLLER_AXIS_LEFTY: pad->keys.left_stick_y(travel(v), out); break;
        case SDL_CONTROLLER_AXIS_RIGHTX: pad->keys.right_stick_x(travel(v)); break;
        case SDL_CONTROLLER_AXIS_RIGHTY: pad->keys.right_stick_y(travel(v)); break;
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
  for (const Pad& p : pads_)
    if (p.keys.cursor_pull(x, y)) return;
}

}  // namespace platform::sdl
