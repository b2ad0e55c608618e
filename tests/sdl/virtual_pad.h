#pragma once
// A game controller of SDL's own making: every standard button and axis,
// pressed and pulled by the test.
#include <SDL.h>

namespace platform::sdl {

class VirtualPad {
 public:
  VirtualPad() = default;
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;
  ~VirtualPad() { detach(); }

  // Needs SDL's joystick support started (the game controllers start it).
  bool attach() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
    desc.button_mask = (1u << desc.nbuttons) - 1;
    desc.axis_mask = (1u << desc.naxes) - 1;
    desc.name = "test pad";
    index_ = SDL_JoystickAttachVirtualEx(&desc);
    if (index_ < 0) return false;
    joystick_ = SDL_JoystickOpen(index_);
    return joystick_ != nullptr;
  }
  void detach() {
    if (joystick_) SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    if (index_ >= 0) {
      // The index may have moved when other devices went.
      for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickIsVirtual(i)) {
          SDL_JoystickDetachVirtual(i);
          break;
        }
    }
    index_ = -1;
  }
  void button(SDL_GameControllerButton b, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, b, down ? 1 : 0);
  }
  void axis(SDL_GameControllerAxis a, int16_t value) {
    SDL_JoystickSetVirtualAxis(joystick_, a, value);
  }

 private:
  int index_ = -1;
  SDL_Joystick* joystick_ = nullptr;
};

}  // namespace platform::sdl
