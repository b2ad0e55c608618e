#include "platform/screen_fit.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace platform {

namespace {

constexpr std::pair<int, int> kUsualSizes[] = {
    // 4:3
    {640, 480},
    {800, 600},
    {1024, 768},
    {1152, 864},
    {1280, 960},
    {1400, 1050},
    {1600, 1200},
    {1920, 1440},
    {2048, 1536},
    // 5:4
    {1280, 1024},
    {2560, 2048},
    // 16:10
    {1280, 800},
    {1440, 900},
    {1680, 1050},
    {1920, 1200},
    {2560, 1600},
    {2880, 1800},
    {3840, 2400},
    // 16:9
    {960, 540},
    {1024, 576},
    {1280, 720},
    {1600, 900},
    {1920, 1080},
    {2560, 1440},
    {3200, 1800},
    {3840, 2160},
    {5120, 2880}};

}  // namespace

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

std::vector<std::pair<int, int>> offered_sizes(std::vector<std::pair<int, int>> sizes,
                                               int desktop_w, int desktop_h) {
  sizes.push_back(kDefaultSize);
  if (desktop_w > 0 && desktop_h > 0) {
    sizes.emplace_back(desktop_w, desktop_h);
    for (auto [w, h] : kUsualSizes)
      if (w <= desktop_w && h <= desktop_h) sizes.emplace_back(w, h);
  }
  std::erase_if(sizes, [](const std::pair<int, int>& s) { return s.first <= 0 || s.second <= 0; });
  std::sort(sizes.begin(), sizes.end());
  sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
  return sizes;
}

PresentCopy clip_present(int width, int height, int dst_x, int dst_y, int dst_w, int dst_h,
                         int client_w, int client_h) {
  PresentCopy c;
  c.w = std::min(dst_w, width);
  c.h = std::min(dst_h, height);
  c.dx = dst_x;
  c.dy = dst_y;
  if (c.dx < 0) {
    c.sx = -c.dx;
    c.w += c.dx;
    c.dx = 0;
  }
  if (c.dy < 0) {
    c.sy = -c.dy;
    c.h += c.dy;
    c.dy = 0;
  }
  c.w = std::min(c.w, client_w - c.dx);
  c.h = std::min(c.h, client_h - c.dy);
  return c;
}

}  // namespace platform
