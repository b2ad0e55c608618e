#pragma once
// Drawing routines of the data generator: a supersampled canvas with
// premultiplied colour, shapes, gradients, value noise and text.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace assets {

struct Vec2 {
  float x = 0, y = 0;
};

// Colour with premultiplied alpha, channels 0..1.
struct RGBA {
  float r = 0, g = 0, b = 0, a = 0;
};

inline RGBA rgb(float r, float g, float b, float a = 1.0f) { return {r * a, g * a, b * a, a}; }
inline RGBA scaled(RGBA c, float k) { return {c.r * k, c.g * k, c.b * k, c.a * k}; }
inline float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float mixf(float a, float b, float t) { return a + (b - a) * t; }
inline float smoothstep(float e0, float e1, float x) {
  float t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}
// Opaque colour between two opaque colours.
inline RGBA mix(RGBA a, RGBA b, float t) {
  return {mixf(a.r, b.r, t), mixf(a.g, b.g, t), mixf(a.b, b.b, t), mixf(a.a, b.a, t)};
}

// A picture drawn at `ss` x `ss` samples per output pixel. All coordinates
// given to the drawing calls are output pixels (fractions allowed).
class Canvas {
 public:
  Canvas(int width, int height, int ss = 4);

  int width() const { return w_; }
  int height() const { return h_; }
  int ss() const { return ss_; }
  int sample_width() const { return w_ * ss_; }
  int sample_height() const { return h_ * ss_; }
  RGBA& sample(int sx, int sy) { return s_[size_t(sy) * sample_width() + sx]; }
  const RGBA& sample(int sx, int sy) const { return s_[size_t(sy) * sample_width() + sx]; }

  // Compositing of one sample: source over destination, or added.
  void over(int sx, int sy, RGBA c);
  void add(int sx, int sy, RGBA c);

  // Calls f(x, y) for every sample centre inside [x0, x1) x [y0, y1) (output
  // pixel coordinates) and composites the returned colour over the canvas.
  template <class F>
  void shade(float x0, float y0, float x1, float y1, F f, bool additive = false) {
    int sx0 = std::max(0, int(std::floor(x0 * ss_)));
    int sy0 = std::max(0, int(std::floor(y0 * ss_)));
    int sx1 = std::min(sample_width(), int(std::ceil(x1 * ss_)));
    int sy1 = std::min(sample_height(), int(std::ceil(y1 * ss_)));
    const float inv = 1.0f / ss_;
    for (int sy = sy0; sy < sy1; ++sy) {
      float y = (sy + 0.5f) * inv;
      for (int sx = sx0; sx < sx1; ++sx) {
        RGBA c = f((sx + 0.5f) * inv, y);
        if (c.a <= 0 && !additive) continue;
        if (additive)
          add(sx, sy, c);
        else
          over(sx, sy, c);
      }
    }
  }

  // Filled shapes in one colour (nonzero winding for polygons).
  void polygon(const std::vector<Vec2>& pts, RGBA c);
  void ellipse(float cx, float cy, float rx, float ry, RGBA c);
  void rect(float x0, float y0, float x1, float y1, RGBA c);
  // A line of width w with round-free (butt) ends.
  void line(Vec2 a, Vec2 b, float w, RGBA c);
  // Radial glow: colour c at the centre falling to nothing at radius r,
  // added (light) rather than painted.
  void glow(float cx, float cy, float r, RGBA c, float power = 2.0f);
  // Polygon filled by a colour function of the sample position.
  template <class F>
  void polygon_shaded(const std::vector<Vec2>& pts, F f);

  // Text through the shared font rasteriser. Returns the width in output
  // pixels; `fill` maps (x, y) relative to the text's top-left corner to an
  // opaque colour. Nothing is drawn when `draw` is false (measure only).
  struct TextSize {
    float width = 0, height = 0, ink_top = 0, ink_bottom = 0;
  };
  static TextSize measure_text(std::string_view family, float pixel_height,
                               std::u32string_view text, int ss = 4);
  template <class F>
  void text(std::string_view family, float pixel_height, std::u32string_view text, float x, float y,
            F fill);
  // Draws text centred on (cx, cy) by its ink (not its cell).
  template <class F>
  void text_centered(std::string_view family, float pixel_height, std::u32string_view t, float cx,
                     float cy, F fill) {
    TextSize m = measure_text(family, pixel_height, t, ss_);
    text(family, pixel_height, t, cx - m.width / 2, cy - (m.ink_top + m.ink_bottom) / 2, fill);
  }

  // Averages the samples: 0x00RRGGBB per output pixel, composited over black.
  // Pixels at least half covered are kept above the colour key (black on a
  // 16-bit surface swallows anything below 8, 4, 8), so sprite interiors never
  // turn transparent; thin edge pixels that are dim go into the key.
  std::vector<uint32_t> resolve() const;

  // Coverage-scaled coverage of the last rasterised text (internal helper).
  static std::vector<uint8_t> render_text(std::string_view family, int pixel_height,
                                          std::u32string_view text, int& w, int& h);

 private:
  int w_, h_, ss_;
  std::vector<RGBA> s_;
  std::vector<float> cover_;  // polygon scratch
};

// Packs a 0x00RRGGBB picture into a larger sheet at (ox, oy).
void blit(std::vector<uint32_t>& sheet, int sheet_w, const std::vector<uint32_t>& src, int w, int h,
          int ox, int oy);

// Value noise in three dimensions with fixed permutations (seeded), and fBm.
class Noise {
 public:
  explicit Noise(uint32_t seed);
  float at(float x, float y, float z) const;  // -1..1
  float fbm(float x, float y, float z, int octaves, float lacunarity = 2.0f,
            float gain = 0.5f) const;

 private:
  uint8_t perm_[512];
  float value_[256];
};

// A small deterministic generator (xorshift) for placement decisions.
class Rng {
 public:
  explicit Rng(uint32_t seed) : s_(seed ? seed : 1) {}
  uint32_t next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  float uniform() { return (next() >> 8) * (1.0f / 16777216.0f); }
  float range(float a, float b) { return a + (b - a) * uniform(); }

 private:
  uint32_t s_;
};

// ---- template bodies -------------------------------------------------------

template <class F>
void Canvas::polygon_shaded(const std::vector<Vec2>& pts, F f) {
  if (pts.size() < 3) return;
  float minx = pts[0].x, maxx = pts[0].x, miny = pts[0].y, maxy = pts[0].y;
  for (auto& p : pts) {
    minx = std::min(minx, p.x);
    maxx = std::max(maxx, p.x);
    miny = std::min(miny, p.y);
    maxy = std::max(maxy, p.y);
  }
  int sy0 = std::max(0, int(std::floor(miny * ss_)));
  int sy1 = std::min(sample_height(), int(std::ceil(maxy * ss_)));
  int sx0 = std::max(0, int(std::floor(minx * ss_)));
  int sx1 = std::min(sample_width(), int(std::ceil(maxx * ss_)));
  const float inv = 1.0f / ss_;
  std::vector<std::pair<float, int>> xs;
  for (int sy = sy0; sy < sy1; ++sy) {
    float y = (sy + 0.5f) * inv;
    xs.clear();
    for (size_t i = 0; i < pts.size(); ++i) {
      Vec2 a = pts[i], b = pts[(i + 1) % pts.size()];
      if ((a.y <= y && b.y > y) || (b.y <= y && a.y > y)) {
        float t = (y - a.y) / (b.y - a.y);
        xs.push_back({a.x + t * (b.x - a.x), a.y < b.y ? 1 : -1});
      }
    }
    std::sort(xs.begin(), xs.end(), [](auto& l, auto& r) { return l.first < r.first; });
    int wind = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
      wind += xs[i].second;
      if (wind == 0) continue;
      int a = std::max(sx0, int(std::ceil(xs[i].first * ss_ - 0.5f)));
      int b = std::min(sx1, int(std::ceil(xs[i + 1].first * ss_ - 0.5f)));
      for (int sx = a; sx < b; ++sx) {
        RGBA c = f((sx + 0.5f) * inv, y);
        if (c.a > 0) over(sx, sy, c);
      }
    }
  }
}

template <class F>
void Canvas::text(std::string_view family, float pixel_height, std::u32string_view t, float x,
                  float y, F fill) {
  int tw = 0, th = 0;
  std::vector<uint8_t> cov = render_text(family, int(std::lround(pixel_height * ss_)), t, tw, th);
  int ox = int(std::lround(x * ss_)), oy = int(std::lround(y * ss_));
  const float inv = 1.0f / ss_;
  for (int j = 0; j < th; ++j) {
    int sy = oy + j;
    if (sy < 0 || sy >= sample_height()) continue;
    for (int i = 0; i < tw; ++i) {
      int sx = ox + i;
      if (sx < 0 || sx >= sample_width()) continue;
      uint8_t k = cov[size_t(j) * tw + i];
      if (!k) continue;
      RGBA c = fill((i + 0.5f) * inv, (j + 0.5f) * inv);
      over(sx, sy, scaled(c, k / 255.0f));
    }
  }
}

}  // namespace assets
