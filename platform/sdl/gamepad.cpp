#include "platform/sdl/gamepad.h"

#include <algorithm>
#include <cstdlib>

namespace platform::sdl {

namespace {

// SDL's buttons and axes in the shared mapping's terms; false for the ones
// it leaves alone.
bool pad_button(uint8_t b, PadButton& out) {
  switch (b) {
    case SDL_CONTROLLER_BUTTON_A: out = PadButton::A; return true;
    case SDL_CONTROLLER_BUTTON_B: out = PadButton::B; return true;
    case SDL_CONTROLLER_BUTTON_BACK: out = PadButton::Back; return true;
    case SDL_CONTROLLER_BUTTON_START: out = PadButton::Start; return true;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: out = PadButton::LeftShoulder; return true;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: out = PadButton::RightShoulder; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: out = PadButton::DpadUp; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: out = PadButton::DpadDown; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: out = PadButton::DpadLeft; return true;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: out = PadButton::DpadRight; return true;
    default: return false;
  }
}

bool pad_axis(uint8_t a, PadAxis& out) {
  switch (a) {
    case SDL_CONTROLLER_AXIS_LEFTX: out = PadAxis::LeftX; return true;
    case SDL_CONTROLLER_AXIS_LEFTY: out = PadAxis::LeftY; return true;
    case SDL_CONTROLLER_AXIS_RIGHTX: out = PadAxis::RightX; return true;
    case SDL_CONTROLLER_AXIS_RIGHTY: out = PadAxis::RightY; return true;
    default: return false;
  }
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
      it->mapper.release_all(out);
      pads_.erase(it);
      return true;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      Pad* pad = find(ev.cbutton.which);
      PadButton b;
      if (pad && pad_button(ev.cbutton.button, b))
        pad->mapper.button(b, ev.type == SDL_CONTROLLERBUTTONDOWN, out, cursor, shift);
      return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
      Pad* pad = find(ev.caxis.which);
      PadAxis a;
      if (pad && pad_axis(ev.caxis.axis, a)) pad->mapper.axis(a, ev.caxis.value, out);
      return true;
    }
    case SDL_CONTROLLERDEVICEREMAPPED: return true;
    default: return false;
  }
}

void Gamepads::cursor_pull(float& x, float& y) const {
  x = y = 0;
  for (const Pad& p : pads_) {
    p.mapper.cursor_pull(x, y);
    if (x != 0 || y != 0) return;
  }
}

}  // namespace platform::sdl
