#pragma once
// Where the back surface lands in the SDL window: the fit every real backend
// shares (platform/screen_fit.h).
#include "platform/screen_fit.h"

namespace platform::sdl {
using platform::fit_viewport;
using platform::inside;
using platform::surface_to_window;
using platform::Viewport;
using platform::window_to_surface;
}  // namespace platform::sdl
