#include "platform/web/display.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>

#include "platform/web/js_calls.h"

namespace platform::web {

namespace {

bool is_valid_bits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// A canvas larger than this is refused (browsers limit them too).
constexpr int kMaxSide = 8192;

}  // namespace

WebDisplay::WebDisplay() : lut_(65536) {
  // Each field widened by repeating its top bits, as on the other backends.
  for (uint32_t c = 0; c < 65536; ++c) {
    const uint32_t r5 = c >> 11, g6 = (c >> 5) & 63, b5 = c & 31;
    const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
    lut_[c] = r | g << 8 | b << 16 | 0xFF000000u;
  }
}

std::vector<DisplayMode> WebDisplay::modes() {
  if (!modes_.empty()) return modes_;
  int size[4] = {0, 0, 0, 0};
  zarnik_js_page_size(size);
  for (auto [w, h] : offered_sizes({}, size[2], size[3]))
    for (int bits : {8, 16, 24, 32}) modes_.push_back({w, h, bits});
  return modes_;
}

bool WebDisplay::set_mode(int width, int height, int bits, bool fullscreen) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  if (fullscreen) {
    const auto list = modes();
    const bool offered = std::any_of(list.begin(), list.end(), [&](const DisplayMode& m) {
      return m.width == width && m.height == height && m.bits == bits;
    });
    if (!is_valid_bits(bits) || !offered) return false;
  }
  width_ = width;
  height_ = height;
  rgba_.assign(size_t(width) * size_t(height), 0xFF000000u);
  zarnik_js_canvas_size(width, height);
  layout();
  return true;
}

Viewport WebDisplay::layout() {
  int size[4] = {0, 0, 0, 0};
  zarnik_js_page_size(size);
  viewport_ = fit_viewport(width_, height_, size[0], size[1]);
  zarnik_js_place_canvas(viewport_.x, viewport_.y, viewport_.w, viewport_.h,
                         viewport_.integer_scale ? 1 : 0);
  return viewport_;
}

DeviceResult WebDisplay::present(const uint16_t* pixels, int width, int height, int pitch,
                                 int dst_x, int dst_y, int dst_w, int dst_h) {
  if (!pixels || width_ <= 0 || height_ <= 0) return DeviceResult::Failed;
  const double start = emscripten_get_now();
  const PresentCopy c = clip_present(width, height, dst_x, dst_y, dst_w, dst_h, width_, height_);
  // Through WebGL the 16-bit frame goes as it is; a 2D canvas takes RGBA.
  if (zarnik_js_present565(pixels, pitch, height, c.sx, c.sy, c.w, c.h, c.dx, c.dy) == 0) {
    for (int y = 0; y < c.h; ++y) {
      const uint16_t* src = pixels + size_t(c.sy + y) * size_t(pitch) + size_t(c.sx);
      uint32_t* dst = rgba_.data() + size_t(c.dy + y) * size_t(width_) + size_t(c.dx);
      for (int x = 0; x < c.w; ++x) dst[x] = lut_[src[x]];
    }
    zarnik_js_present(reinterpret_cast<const uint8_t*>(rgba_.data()), width_, height_);
  }
  ++frames_;
  present_ms_ = emscripten_get_now() - start;
  return DeviceResult::Ok;
}

}  // namespace platform::web
