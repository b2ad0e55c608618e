// Frames through SDL's accelerated renderer: a streaming 5-6-5 texture of
// the client area, drawn scaled into the window and presented with vsync
// (a frame shown smaller than it is: shrunk on the processor first).
#include <cstdio>
#include <cstring>

#include "platform/screen_fit.h"
#include "platform/sdl/presenter.h"

namespace platform::sdl {

bool RendererPresenter::reset(int width, int height) {
  texture_.reset();
  shrunk_texture_.reset();
  width_ = width;
  height_ = height;
  frame_.assign(size_t(width) * size_t(height), 0);
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
  for (int row = 0; row < h; ++row)
    std::memcpy(&frame_[size_t(y + row) * size_t(width_) + size_t(x)], src + size_t(row) * pitch,
                size_t(w) * 2);
  const SDL_Rect rect{x, y, w, h};
  return SDL_UpdateTexture(texture_.get(), &rect, src, pitch * 2) == 0;
}

bool RendererPresenter::show_shrunk(const Viewport& vp) {
  if (!shrunk_texture_ || shrunk_w_ != vp.w || shrunk_h_ != vp.h) {
    shrunk_texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888,
                                            SDL_TEXTUREACCESS_STREAMING, vp.w, vp.h));
    if (!shrunk_texture_) return false;
    SDL_SetTextureScaleMode(shrunk_texture_.get(), SDL_ScaleModeNearest);
    shrunk_w_ = vp.w;
    shrunk_h_ = vp.h;
  }
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(shrunk_texture_.get(), nullptr, &pixels, &pitch) != 0) return false;
  shrink_.shrink(frame_.data(), width_, height_, width_, static_cast<uint32_t*>(pixels), vp.w, vp.h,
                 pitch / 4);
  SDL_UnlockTexture(shrunk_texture_.get());
  const SDL_Rect out{vp.x, vp.y, vp.w, vp.h};
  return SDL_RenderCopy(renderer_.get(), shrunk_texture_.get(), nullptr, &out) == 0;
}

DeviceResult RendererPresenter::show() {
  SDL_Renderer* r = renderer_.get();
  int out_w = 0, out_h = 0;
  SDL_GetRendererOutputSize(r, &out_w, &out_h);
  const Viewport vp = fit_viewport(width_, height_, out_w, out_h);
  SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
  SDL_RenderClear(r);
  bool drawn = false;
  if (FrameShrink::needed(width_, height_, vp.w, vp.h)) {
    drawn = show_shrunk(vp);
  } else {
    SDL_SetTextureScaleMode(texture_.get(),
                            vp.integer_scale ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
    const SDL_Rect out{vp.x, vp.y, vp.w, vp.h};
    drawn = SDL_RenderCopy(r, texture_.get(), nullptr, &out) == 0;
  }
  if (!drawn) return DeviceResult::Failed;
  // Waits for the vertical blank when the driver offers vsync.
  SDL_RenderPresent(r);
  return DeviceResult::Ok;
}

}  // namespace platform::sdl
