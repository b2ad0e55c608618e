#include "platform/sdl/x11_window.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstring>

namespace platform::sdl {

bool set_x11_fullscreen_state(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
    return false;
  Display* display = info.info.x11.display;
  const Window xwindow = info.info.x11.window;
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  if (state == None || fullscreen == None) return false;
  XChangeProperty(display, xwindow, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&fullscreen), 1);
  XFlush(display);
  return true;
}

bool request_x11_fullscreen(SDL_Window* window, bool fullscreen) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
    return false;
  Display* display = info.info.x11.display;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = info.info.x11.window;
  e.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = fullscreen ? 1 : 0;  // _NET_WM_STATE_ADD / _REMOVE
  e.xclient.data.l[1] = long(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
  e.xclient.data.l[3] = 1;  // from a normal application
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(display);
  return true;
}

bool may_have_hardware_gl(SDL_Window* window) {
  // The drivers that draw nowhere (tests) need no OpenGL at all.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
    return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
    return true;
  int opcode = 0, event = 0, error = 0;
  Display* display = info.info.x11.display;
  return XQueryExtension(display, "DRI3", &opcode, &event, &error) ||
         XQueryExtension(display, "DRI2", &opcode, &event, &error);
}

}  // namespace platform::sdl
