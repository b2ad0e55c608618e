#include "platform/sdl/clock.h"

#include <SDL.h>

namespace platform::sdl {

uint32_t SdlClock::now_ms() { return SDL_GetTicks(); }

void SdlClock::sleep_ms(uint32_t ms) { SDL_Delay(ms); }

}  // namespace platform::sdl
