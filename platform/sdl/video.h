#pragma once
// The video side of the backend in one include: the SDL window as the
// display device, and its events as the window-system services.
#include "platform/sdl/display.h"
#include "platform/sdl/events.h"
