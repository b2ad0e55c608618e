// Frames through SDL's accelerated renderer: a streaming 5-6-5 texture of
// the client area, drawn scaled into the window and presented with vsync.
#include <cstdio>
#include <cstring>

#include "platform/screen_fit.h"
#include "platform/sdl/presenter.h"

namespace platform::sdl {

bool RendererPresenter::reset(int width, int height) {
  texture_.reset();
  width_ = width;
  height_ = height;
  texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB565,
                                   SDL_TEXTUREACCESS_STREAMING, width, height));
  if (!texture_) {
    std::fprintf(stderr, "zarnik: cannot create the frame texture: %s\n", SDL_GetError());
    return false;
  }
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_.get(), nullptr, &pixels, &pitch) == 0) {
    for (int y = 0; y < height; ++y)
      std::memset(static_cast<uint8_t*>(pixels) + ptrdiff_t(y) * pitch, 0, size_t(width) * 2);
    SDL_UnlockTexture(texture_.get());
  }
  return true;
}

bool RendererPresenter::update(const uint16_t* src, int pitch, int x, int y, int w, int h) {
  const SDL_Rect rect{x, y, w, h};
  return SDL_UpdateTexture(texture_.get(), &rect, src, pitch * 2) == 0;
}

DeviceResult RendererPresenter::show() {
  SDL_Renderer* r = renderer_.get();
  int out_w = 0, out_h = 0;
  SDL_GetRendererOutputSize(r, &out_w, &out_h);
  const Viewport vp = fit_viewport(width_, height_, out_w, out_h);
  SDL_SetTextureScaleMode(texture_.get(),
                          vp.integer_scale ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
  SDL_RenderClear(r);
  const SDL_Rect out{vp.x, vp.y, vp.w, vp.h};
  if (SDL_RenderCopy(r, texture_.get(), nullptr, &out) != 0) return DeviceResult::Failed;
  // Waits for the vertical blank when the driver offers vsync.
  SDL_RenderPresent(r);
  return DeviceResult::Ok;
}

}  // namespace platform::sdl
