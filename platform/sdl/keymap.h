#pragma once
// Translation of SDL keyboard and mouse identifiers into the codes the game's
// handlers take (virtual-key codes, buttons 0..2, modifier bits). Pure
// functions, so they can be checked without a display.
#include <cstdint>

namespace platform::sdl {

// The virtual-key code for a key, or 0 when the game has no code for it.
// sym is the key's label in the current keyboard layout (SDL_Keycode), so a
// letter key maps by what is printed on it, not by its position.
int virtual_key(int32_t sym);

// Mouse button: left 0, right 1, middle 2; -1 for any other button.
int mouse_button(uint8_t sdl_button);

// Modifier bits as the handlers take them: 1 shift, 2 alt, 4 ctrl.
uint32_t shift_state(uint16_t sdl_mod);

}  // namespace platform::sdl
