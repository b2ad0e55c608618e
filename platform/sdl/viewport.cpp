#include "platform/sdl/viewport.h"

#include <algorithm>
#include <cstdint>

namespace platform::sdl {

Viewport fit_viewport(int surface_w, int surface_h, int window_w, int window_h) {
  Viewport vp;
  if (surface_w <= 0 || surface_h <= 0 || window_w <= 0 || window_h <= 0) return vp;
  // The side that limits takes the whole window; the other keeps the aspect.
  if (int64_t(window_w) * surface_h <= int64_t(window_h) * surface_w) {
    vp.w = window_w;
    vp.h = std::max(1, int(int64_t(window_w) * surface_h / surface_w));
  } else {
    vp.h = window_h;
    vp.w = std::max(1, int(int64_t(window_h) * surface_w / surface_h));
  }
  // An exact whole factor (800 x 600 on 1600 x 1200) is drawn with
  // nearest-pixel sampling and stays sharp; other factors are filtered.
  vp.integer_scale =
      vp.w % surface_w == 0 && vp.h % surface_h == 0 && vp.w / surface_w == vp.h / surface_h;
  vp.x = (window_w - vp.w) / 2;
  vp.y = (window_h - vp.h) / 2;
  return vp;
}

void window_to_surface(const Viewport& vp, int surface_w, int surface_h, int wx, int wy, int& sx,
                       int& sy) {
  if (vp.w <= 0 || vp.h <= 0) {
    sx = wx;
    sy = wy;
    return;
  }
  // Floor division so that positions left of or above the surface stay
  // negative instead of rounding onto pixel 0.
  auto scale = [](int v, int num, int den) {
    const int64_t p = int64_t(v) * num;
    return int(p >= 0 ? p / den : -((-p + den - 1) / den));
  };
  sx = scale(wx - vp.x, surface_w, vp.w);
  sy = scale(wy - vp.y, surface_h, vp.h);
}

void surface_to_window(const Viewport& vp, int surface_w, int surface_h, int sx, int sy, int& wx,
                       int& wy) {
  if (vp.w <= 0 || vp.h <= 0 || surface_w <= 0 || surface_h <= 0) {
    wx = sx;
    wy = sy;
    return;
  }
  wx = vp.x + int((int64_t(sx) * vp.w + vp.w / 2) / surface_w);
  wy = vp.y + int((int64_t(sy) * vp.h + vp.h / 2) / surface_h);
}

bool inside(const Viewport& vp, int wx, int wy) {
  return wx >= vp.x && wy >= vp.y && wx < vp.x + vp.w && wy < vp.y + vp.h;
}

}  // namespace platform::sdl
