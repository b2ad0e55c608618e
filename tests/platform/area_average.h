#pragma once
// What a shrunk frame should be, worked out the slow, plain way: every output
// pixel is the integral of the frame over the rectangle it covers, in
// doubles, straight from the overlap of that rectangle with each frame
// pixel. Also a frame that is hard to shrink well: one-pixel strokes in the
// manner of small text over noise. Shared by the tests of the shrink itself
// and of the presenters that use it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace area_average {

// A 5-6-5 pixel as 0x00RRGGBB, each channel widened by repeating its top
// bits, as the presenters widen it.
inline uint32_t rgb(uint16_t p) {
  const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

inline std::vector<uint32_t> rgb(const std::vector<uint16_t>& frame) {
  std::vector<uint32_t> out(frame.size());
  std::transform(frame.begin(), frame.end(), out.begin(), [](uint16_t p) { return rgb(p); });
  return out;
}

// 5-6-5, w x h: dim noise, and over it white strokes one pixel wide a few
// pixels apart (upright, flat and slanting, as in letters) and a coloured
// checkerboard of single pixels in one corner.
inline std::vector<uint16_t> fine_frame(int w, int h) {
  std::vector<uint16_t> f(size_t(w) * size_t(h));
  uint32_t state = 12345;
  for (auto& p : f) {
    state = state * 1103515245u + 12345u;
    p = uint16_t((state >> 16) & 0x39E7);  // dark: the low bits of each channel
  }
  auto put = [&](int x, int y, uint16_t c) {
    if (x >= 0 && y >= 0 && x < w && y < h) f[size_t(y) * size_t(w) + size_t(x)] = c;
  };
  for (int x = 10; x < w - 10; x += 7)
    for (int y = 20; y < 60; ++y) put(x, y, 0xFFFF);
  for (int y = 80; y < h / 2; y += 5)
    for (int x = 20; x < w / 2; ++x) put(x, y, 0xFFFF);
  for (int k = 0; k < h / 2; ++k) put(w / 2 + k, h / 2 + k, 0xFFE0);
  for (int y = h - 60; y < h; ++y)
    for (int x = w - 80; x < w; ++x) put(x, y, ((x + y) & 1) ? 0xF800 : 0x001F);
  return f;
}

// The area average of `frame` (0x00RRGGBB, w x h) shown at out_w x out_h.
inline std::vector<uint32_t> reference(const std::vector<uint32_t>& frame, int w, int h, int out_w,
                                       int out_h) {
  std::vector<uint32_t> out(size_t(out_w) * size_t(out_h));
  const double sx = double(w) / out_w, sy = double(h) / out_h;
  for (int oy = 0; oy < out_h; ++oy) {
    const double y0 = oy * sy, y1 = (oy + 1) * sy;
    for (int ox = 0; ox < out_w; ++ox) {
      const double x0 = ox * sx, x1 = (ox + 1) * sx;
      double sum[3] = {0, 0, 0}, area = 0;
      for (int y = int(y0); y < h && y < y1; ++y) {
        const double cy = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
        for (int x = int(x0); x < w && x < x1; ++x) {
          const double a = cy * (std::min<double>(x + 1, x1) - std::max<double>(x, x0));
          if (a <= 0) continue;
          const uint32_t p = frame[size_t(y) * size_t(w) + size_t(x)];
          sum[0] += a * double((p >> 16) & 255);
          sum[1] += a * double((p >> 8) & 255);
          sum[2] += a * double(p & 255);
          area += a;
        }
      }
      uint32_t v = 0;
      for (double s : sum) v = v << 8 | uint32_t(s / area + 0.5);
      out[size_t(oy) * size_t(out_w) + size_t(ox)] = v;
    }
  }
  return out;
}

// The largest difference of one channel between two pictures of the same
// size, and the mean difference over every channel value.
struct Difference {
  int largest = 0;
  double mean = 0;
};
inline Difference compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  Difference d;
  double sum = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (int shift : {16, 8, 0}) {
      const int diff = std::abs(int((a[i] >> shift) & 255) - int((b[i] >> shift) & 255));
      d.largest = std::max(d.largest, diff);
      sum += diff;
    }
  if (!a.empty()) d.mean = sum / double(3 * a.size());
  if (a.size() != b.size()) d.largest = 256;
  return d;
}

}  // namespace area_average
