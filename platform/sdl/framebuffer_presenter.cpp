// Frames straight into the window's pixel buffer: the client area is kept
// as a 5-6-5 frame and copied through a colour table into the buffer the
// windowing system gives, enlarged to the nearest pixel, shrunk by area
// averaging (platform/frame_shrink.h).
#include <cstring>

#include "platform/frame_shrink.h"
#include "platform/screen_fit.h"
#include "platform/sdl/presenter.h"

namespace platform::sdl {

// Packed formats are filled from their masks directly; SDL_MapRGB, one call
// per colour, took several milliseconds, paid on the first frame.
void fill_colour_table(const SDL_PixelFormat* f, std::vector<uint32_t>& lut) {
  lut.resize(65536);
  const bool packed = f->palette == nullptr && f->BytesPerPixel >= 2;
  for (uint32_t c = 0; c < 65536; ++c) {
    const uint32_t r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
    const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
    lut[c] = packed ? ((r >> f->Rloss) << f->Rshift) | ((g >> f->Gloss) << f->Gshift) |
                          ((b >> f->Bloss) << f->Bshift) | f->Amask
                    : SDL_MapRGB(f, uint8_t(r), uint8_t(g), uint8_t(b));
  }
}

bool FramebufferPresenter::reset(int width, int height) {
  // Start black: a frame drawn into part of the client area shows black
  // around it, not stale memory.
  width_ = width;
  height_ = height;
  frame_.assign(size_t(width) * height, 0);
  surface_ = nullptr;
  return true;
}

bool FramebufferPresenter::update(const uint16_t* src, int pitch, int x, int y, int w, int h) {
  for (int row = 0; row < h; ++row)
    std::memcpy(&frame_[size_t(y + row) * width_ + x], src + size_t(row) * pitch, size_t(w) * 2);
  return true;
}

DeviceResult FramebufferPresenter::show() {
  SDL_Surface* ws = SDL_GetWindowSurface(window_);
  if (!ws) return DeviceResult::Failed;
  if (ws->format->format != format_) {
    // A colour table from the back surface's 5-6-5 to the window's format.
    format_ = ws->format->format;
    fill_colour_table(ws->format, lut_);
  }
  const Viewport vp = fit_viewport(width_, height_, ws->w, ws->h);
  bool fresh = false;
  if (ws != surface_ || ws->w != surface_w_ || ws->h != surface_h_) {
    // A new or resized window buffer: black bars, sent once with the frame.
    // Only the bars are filled, since the frame covers the rest; a whole
    // fresh buffer took 20 ms to fill at 1920 x 1080.
    surface_ = ws;
    surface_w_ = ws->w;
    surface_h_ = ws->h;
    fresh = true;
    const Uint32 black = SDL_MapRGB(ws->format, 0, 0, 0);
    const SDL_Rect bars[4] = {{0, 0, ws->w, vp.y},
                              {0, vp.y + vp.h, ws->w, ws->h - vp.y - vp.h},
                              {0, vp.y, vp.x, vp.h},
                              {vp.x + vp.w, vp.y, ws->w - vp.x - vp.w, vp.h}};
    for (const SDL_Rect& bar : bars)
      if (bar.w > 0 && bar.h > 0) SDL_FillRect(ws, &bar, black);
  }
  if (vp.w <= 0 || vp.h <= 0) return DeviceResult::Ok;
  if (SDL_MUSTLOCK(ws) && SDL_LockSurface(ws) != 0) return DeviceResult::Failed;
  if (FrameShrink::needed(width_, height_, vp.w, vp.h) && !ws->format->palette)
    draw_shrunk(ws, vp);
  else
    draw_scaled(ws, vp);
  if (SDL_MUSTLOCK(ws)) SDL_UnlockSurface(ws);
  const SDL_Rect area = fresh ? SDL_Rect{0, 0, ws->w, ws->h} : SDL_Rect{vp.x, vp.y, vp.w, vp.h};
  if (SDL_UpdateWindowSurfaceRects(window_, &area, 1) != 0) return DeviceResult::Failed;
  return DeviceResult::Ok;
}

void FramebufferPresenter::draw_shrunk(SDL_Surface* ws, const Viewport& vp) {
  const SDL_PixelFormat* f = ws->format;
  const int bpp = f->BytesPerPixel;
  uint8_t* first =
      static_cast<uint8_t*>(ws->pixels) + size_t(vp.y) * ws->pitch + size_t(vp.x) * bpp;
  // The shrink writes 0x00RRGGBB, which is the usual window format itself:
  // straight into the window's buffer then.
  if (bpp == 4 && f->Rshift == 16 && f->Gshift == 8 && f->Bshift == 0 && f->Rloss == 0 &&
      f->Gloss == 0 && f->Bloss == 0 && f->Amask == 0) {
    shrink_.shrink(frame_.data(), width_, height_, width_, reinterpret_cast<uint32_t*>(first), vp.w,
                   vp.h, ws->pitch / 4);
    return;
  }
  shrunk_.resize(size_t(vp.w) * size_t(vp.h));
  shrink_.shrink(frame_.data(), width_, height_, width_, shrunk_.data(), vp.w, vp.h, vp.w);
  for (int y = 0; y < vp.h; ++y) {
    const uint32_t* row = &shrunk_[size_t(y) * size_t(vp.w)];
    uint8_t* out = first + size_t(y) * ws->pitch;
    for (int x = 0; x < vp.w; ++x) {
      const uint32_t p = row[x];
      const uint32_t v = (((p >> 16) & 255) >> f->Rloss) << f->Rshift |
                         (((p >> 8) & 255) >> f->Gloss) << f->Gshift |
                         ((p & 255) >> f->Bloss) << f->Bshift | f->Amask;
      std::memcpy(out + size_t(x) * bpp, &v, size_t(bpp));  // little-endian low bytes
    }
  }
}

void FramebufferPresenter::draw_scaled(SDL_Surface* ws, const Viewport& vp) {
  if (int(cols_.size()) != vp.w || cols_src_w_ != width_) {
    cols_.resize(size_t(vp.w));
    for (int x = 0; x < vp.w; ++x) cols_[size_t(x)] = int(int64_t(x) * width_ / vp.w);
    cols_src_w_ = width_;
  }
  const int bpp = ws->format->BytesPerPixel;
  const bool one_to_one = vp.w == width_ && vp.h == height_;
  for (int y = 0; y < vp.h; ++y) {
    const int src_y = one_to_one ? y : int(int64_t(y) * height_ / vp.h);
    const uint16_t* row = &frame_[size_t(src_y) * width_];
    uint8_t* out =
        static_cast<uint8_t*>(ws->pixels) + size_t(vp.y + y) * ws->pitch + size_t(vp.x) * bpp;
    if (bpp == 4) {
      auto* o = reinterpret_cast<uint32_t*>(out);
      if (one_to_one) {
        for (int x = 0; x < vp.w; ++x) o[x] = lut_[row[x]];
      } else {
        for (int x = 0; x < vp.w; ++x) o[x] = lut_[row[cols_[size_t(x)]]];
      }
    } else if (bpp == 2) {
      auto* o = reinterpret_cast<uint16_t*>(out);
      for (int x = 0; x < vp.w; ++x) o[x] = uint16_t(lut_[row[one_to_one ? x : cols_[size_t(x)]]]);
    } else {
      for (int x = 0; x < vp.w; ++x) {
        const uint32_t v = lut_[row[one_to_one ? x : cols_[size_t(x)]]];
        std::memcpy(out + size_t(x) * bpp, &v, size_t(bpp));  // little-endian low bytes
      }
    }
  }
}

}  // namespace platform::sdl
