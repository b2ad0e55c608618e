#include "platform/web/display.h"

#include <emscripten/emscripten.h>
#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

#include <algorithm>
#include <cstring>

#include "platform/web/js_calls.h"

namespace platform::web {

namespace {

bool is_valid_bits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// One row of RGB565 as RGBA bytes, each field widened by repeating its top
// bits, as on the other backends: eight pixels at a time where the
// processor's vectors are at hand (a third of the table's time at
// 1920 x 1080), the table for the rest.
void widen_row(const uint16_t* src, uint32_t* dst, int n, const uint32_t* lut) {
  int x = 0;
#ifdef __wasm_simd128__
  const v128_t m6 = wasm_i16x8_splat(63), m5 = wasm_i16x8_splat(31);
  const v128_t alpha = wasm_i16x8_splat(int16_t(0xFF00));
  for (; x + 8 <= n; x += 8) {
    const v128_t c = wasm_v128_load(src + x);
    const v128_t r5 = wasm_u16x8_shr(c, 11);
    const v128_t g6 = wasm_v128_and(wasm_u16x8_shr(c, 5), m6);
    const v128_t b5 = wasm_v128_and(c, m5);
    const v128_t r = wasm_v128_or(wasm_i16x8_shl(r5, 3), wasm_u16x8_shr(r5, 2));
    const v128_t g = wasm_v128_or(wasm_i16x8_shl(g6, 2), wasm_u16x8_shr(g6, 4));
    const v128_t b = wasm_v128_or(wasm_i16x8_shl(b5, 3), wasm_u16x8_shr(b5, 2));
    const v128_t rg = wasm_v128_or(r, wasm_i16x8_shl(g, 8));  // bytes R, G
    const v128_t ba = wasm_v128_or(b, alpha);                 // bytes B, A
    wasm_v128_store(dst + x, wasm_i16x8_shuffle(rg, ba, 0, 8, 1, 9, 2, 10, 3, 11));
    wasm_v128_store(dst + x + 4, wasm_i16x8_shuffle(rg, ba, 4, 12, 5, 13, 6, 14, 7, 15));
  }
#endif
  for (; x < n; ++x) dst[x] = lut[src[x]];
}

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
    for (int y = 0; y < c.h; ++y)
      widen_row(pixels + size_t(c.sy + y) * size_t(pitch) + size_t(c.sx),
                rgba_.data() + size_t(c.dy + y) * size_t(width_) + size_t(c.dx), c.w, lut_.data());
    zarnik_js_present(reinterpret_cast<const uint8_t*>(rgba_.data()), width_, height_);
  }
  ++frames_;
  present_ms_ = emscripten_get_now() - start;
  return DeviceResult::Ok;
}

}  // namespace platform::web
