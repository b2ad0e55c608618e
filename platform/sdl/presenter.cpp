#include "platform/sdl/presenter.h"

#include <cstring>
#include <string>

#include "platform/sdl/x11_window.h"

namespace platform::sdl {

namespace {

// True when the renderer draws through an OpenGL implementation that runs on
// the processor (Mesa's llvmpipe or softpipe, or another "software" one).
bool uses_software_gl(SDL_Renderer* r) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(r, &info) != 0 || !info.name) return false;
  if (std::strncmp(info.name, "opengl", 6) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (!get) return false;
  constexpr unsigned int kGlRenderer = 0x1F01;
  const auto* name = reinterpret_cast<const char*>(get(kGlRenderer));
  if (!name) return false;
  const std::string n(name);
  return n.find("llvmpipe") != std::string::npos || n.find("softpipe") != std::string::npos ||
         n.find("Software") != std::string::npos || n.find("software") != std::string::npos;
}

}  // namespace

std::unique_ptr<Presenter> make_presenter(SDL_Window* window, bool& accelerated_refused) {
  // The accelerated renderer presents in step with the vertical blank, so it
  // is used whenever the graphics driver has one (an exact whole factor is
  // then scaled with nearest-pixel sampling and stays sharp).
  if (!accelerated_refused && !may_have_hardware_gl(window)) accelerated_refused = true;
  if (!accelerated_refused) {
    RendererPtr renderer(
        SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC));
    if (renderer && !uses_software_gl(renderer.get()))
      return std::make_unique<RendererPresenter>(std::move(renderer));
    // OpenGL emulated on the processor (a virtual display, no graphics
    // driver) costs far more per frame than the plain copy.
    accelerated_refused = true;
  }
  // The window's pixel buffer straight from the windowing system; SDL would
  // otherwise put it on an OpenGL renderer of its own. There is no vertical
  // blank to wait for on this path: the frame timer alone paces the frames.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return std::make_unique<FramebufferPresenter>(window);
}

}  // namespace platform::sdl
