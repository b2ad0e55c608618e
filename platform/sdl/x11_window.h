#pragma once
// What is done on X11 behind SDL's back: marking a window full screen for
// the window manager before it is mapped, asking for full screen or out of
// it later, and asking the X server whether OpenGL can run on graphics
// hardware at all.
#include <SDL.h>

namespace platform::sdl {

// Sets the window's _NET_WM_STATE to full screen (the window must not be
// mapped yet: a window manager reads the state when it maps the window).
// False when the window is not an X11 window.
bool set_x11_fullscreen_state(SDL_Window* window);

// Asks the window manager to put a mapped window into full screen or take
// it out (a window manager that is not there never answers). False when
// the window is not an X11 window.
bool request_x11_fullscreen(SDL_Window* window, bool fullscreen);

// False when the window is on an X server that offers no direct rendering
// (neither DRI3 nor DRI2, as on a virtual frame buffer): OpenGL there can only
// be emulated on the processor; also false for SDL's off-screen and dummy
// drivers, which show nothing. True otherwise, and for other systems.
bool may_have_hardware_gl(SDL_Window* window);

}  // namespace platform::sdl
