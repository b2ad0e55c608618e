#include "platform/frame_shrink.h"

#include <algorithm>
#include <cstddef>

namespace platform {

namespace {

// The channels of a pixel widened to 8 bits, as the presenters widen them
// for the screen (each channel's top bits repeated, so white stays white).
struct Channels {
  uint32_t r, g, b;
};
inline Channels channels(uint16_t p) {
  const uint32_t r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}
inline Channels channels(uint32_t p) { return {(p >> 16) & 255, (p >> 8) & 255, p & 255}; }

// The three channels side by side in 21-bit lanes of one word, so that a
// weighted sum down the rows takes one multiplication a pixel: a lane holds
// at most 255 x kOne (the weights of one output row sum to kOne), which is
// below 1 << 21.
constexpr int kLane = 21;
constexpr uint64_t kLaneMask = (uint64_t(1) << kLane) - 1;
static_assert(255 * uint64_t(FrameShrink::kOne) <= kLaneMask);
template <class Pixel>
inline uint64_t lanes(Pixel p) {
  const Channels c = channels(p);
  return c.r | uint64_t(c.g) << kLane | uint64_t(c.b) << 2 * kLane;
}

}  // namespace

void FrameShrink::Axis::prepare(int src_size, int dst_size) {
  if (src == src_size && dst == dst_size) return;
  src = src_size;
  dst = dst_size;
  first.assign(size_t(dst), 0);
  start.assign(size_t(dst) + 1, 0);
  weight.clear();
  // Counted in 1/dst of a source pixel: output pixel i covers
  // [i * src, (i + 1) * src), source pixel j covers [j * dst, (j + 1) * dst).
  // A tap's weight is the rounded end of its overlap minus the rounded
  // start, so the weights of one output pixel add up to kOne exactly.
  const auto fixed = [this](int64_t covered) {
    return int64_t((covered * kOne + uint64_t(src) / 2) / uint64_t(src));
  };
  for (int i = 0; i < dst; ++i) {
    const int64_t a = int64_t(i) * src, b = int64_t(i + 1) * src;
    const int j0 = int(a / dst), j1 = int((b - 1) / dst);
    first[size_t(i)] = j0;
    start[size_t(i)] = int(weight.size());
    for (int j = j0; j <= j1; ++j) {
      const int64_t lo = std::max<int64_t>(a, int64_t(j) * dst);
      const int64_t hi = std::min<int64_t>(b, int64_t(j + 1) * dst);
      weight.push_back(uint16_t(fixed(hi - a) - fixed(lo - a)));
    }
  }
  start[size_t(dst)] = int(weight.size());
}

template <class Pixel>
void FrameShrink::run(const Pixel* src, int src_w, int src_h, int pitch, uint32_t* out, int out_w,
                      int out_h, int out_pitch) {
  if (!src || !out || src_w <= 0 || src_h <= 0 || out_w <= 0 || out_h <= 0) return;
  across_.prepare(src_w, out_w);
  down_.prepare(src_h, out_h);
  sums_.resize(size_t(src_w));
  for (int y = 0; y < out_h; ++y) {
    // The source rows under this output row, weighted, column by column.
    const int row0 = down_.first[size_t(y)];
    uint64_t* s = sums_.data();
    for (int t = down_.start[size_t(y)]; t < down_.start[size_t(y) + 1]; ++t) {
      const uint64_t w = down_.weight[size_t(t)];
      const Pixel* row = src + ptrdiff_t(row0 + t - down_.start[size_t(y)]) * pitch;
      if (t == down_.start[size_t(y)]) {
        for (int x = 0; x < src_w; ++x) s[x] = lanes(row[x]) * w;
      } else if (w != 0) {
        for (int x = 0; x < src_w; ++x) s[x] += lanes(row[x]) * w;
      }
    }
    // Then along the row, red and blue in the two halves of one word and
    // green in another: at most 255 x kOne x kOne in each, with the
    // rounding, just below 1 << 32.
    constexpr int kShift = 24;  // kOne x kOne is 1 << 24
    static_assert(uint64_t(kOne) * kOne == uint64_t(1) << kShift);
    constexpr uint64_t kHalf = uint64_t(1) << (kShift - 1);
    static_assert(255 * (uint64_t(1) << kShift) + kHalf < uint64_t(1) << 32);
    uint32_t* o = out + ptrdiff_t(y) * out_pitch;
    for (int x = 0; x < out_w; ++x) {
      uint64_t rb = kHalf | kHalf << 32, g = kHalf;
      const uint64_t* c = &sums_[size_t(across_.first[size_t(x)])];
      for (int t = across_.start[size_t(x)]; t < across_.start[size_t(x) + 1]; ++t, ++c) {
        const uint64_t w = across_.weight[size_t(t)];
        rb += ((*c & kLaneMask) | (*c >> 2 * kLane) << 32) * w;
        g += (*c >> kLane & kLaneMask) * w;
      }
      o[x] = uint32_t(rb >> kShift & 255) << 16 | uint32_t(g >> kShift) << 8 |
             uint32_t(rb >> (32 + kShift));
    }
  }
}

void FrameShrink::shrink(const uint16_t* src, int src_w, int src_h, int pitch, uint32_t* out,
                         int out_w, int out_h, int out_pitch) {
  run(src, src_w, src_h, pitch, out, out_w, out_h, out_pitch);
}

void FrameShrink::shrink(const uint32_t* src, int src_w, int src_h, int pitch, uint32_t* out,
                         int out_w, int out_h, int out_pitch) {
  run(src, src_w, src_h, pitch, out, out_w, out_h, out_pitch);
}

}  // namespace platform
