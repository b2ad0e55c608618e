#pragma once
// SDL objects held by owners that give them back to SDL: a window, a
// renderer, a texture, a surface of our own, an open game controller. A surface that belongs to a
// window (SDL_GetWindowSurface) is SDL's and is never held by one of these.
#include <SDL.h>

#include <memory>

namespace platform::sdl {

struct SdlDeleter {
  void operator()(SDL_Window* p) const { SDL_DestroyWindow(p); }
  void operator()(SDL_Renderer* p) const { SDL_DestroyRenderer(p); }
  void operator()(SDL_Texture* p) const { SDL_DestroyTexture(p); }
  void operator()(SDL_Surface* p) const { SDL_FreeSurface(p); }
  void operator()(SDL_GameController* p) const { SDL_GameControllerClose(p); }
};

using WindowPtr = std::unique_ptr<SDL_Window, SdlDeleter>;
using RendererPtr = std::unique_ptr<SDL_Renderer, SdlDeleter>;
using TexturePtr = std::unique_ptr<SDL_Texture, SdlDeleter>;
using SurfacePtr = std::unique_ptr<SDL_Surface, SdlDeleter>;
using ControllerPtr = std::unique_ptr<SDL_GameController, SdlDeleter>;

}  // namespace platform::sdl
