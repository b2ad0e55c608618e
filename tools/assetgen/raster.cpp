#include "tools/assetgen/raster.h"

#include <string>

#include "platform/fonts.h"

namespace assets {

Canvas::Canvas(int width, int height, int ss)
    : w_(width), h_(height), ss_(ss), s_(size_t(width) * ss * height * ss) {}

void Canvas::over(int sx, int sy, RGBA c) {
  RGBA& d = sample(sx, sy);
  float k = 1.0f - c.a;
  d.r = c.r + d.r * k;
  d.g = c.g + d.g * k;
  d.b = c.b + d.b * k;
  d.a = c.a + d.a * k;
}

void Canvas::add(int sx, int sy, RGBA c) {
  RGBA& d = sample(sx, sy);
  d.r += c.r;
  d.g += c.g;
  d.b += c.b;
  d.a = std::min(1.0f, d.a + c.a);
}

void Canvas::polygon(const std::vector<Vec2>& pts, RGBA c) {
  polygon_shaded(pts, [c](float, float) { return c; });
}

void Canvas::ellipse(float cx, float cy, float rx, float ry, RGBA c) {
  shade(cx - rx, cy - ry, cx + rx, cy + ry, [&](float x, float y) {
    float dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0f ? c : RGBA{};
  });
}

void Canvas::rect(float x0, float y0, float x1, float y1, RGBA c) {
  polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, c);
}

void Canvas::line(Vec2 a, Vec2 b, float w, RGBA c) {
  float dx = b.x - a.x, dy = b.y - a.y;
  float len = std::sqrt(dx * dx + dy * dy);
  if (len <= 0) return;
  float nx = -dy / len * w / 2, ny = dx / len * w / 2;
  polygon({{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}},
          c);
}

void Canvas::glow(float cx, float cy, float r, RGBA c, float power) {
  shade(
      cx - r, cy - r, cx + r, cy + r,
      [&](float x, float y) {
        float d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) / r;
        if (d >= 1) return RGBA{};
        float k = std::pow(1 - d, power);
        return scaled(c, k);
      },
      true);
}

std::vector<uint8_t> Canvas::render_text(std::string_view family, int pixel_height,
                                         std::u32string_view text, int& w, int& h) {
  platform::TextBitmap bm = platform::default_font_rasterizer().render(family, pixel_height, text);
  w = bm.width;
  h = bm.height;
  return bm.coverage;
}

Canvas::TextSize Canvas::measure_text(std::string_view family, float pixel_height,
                                      std::u32string_view text, int ss) {
  int w = 0, h = 0;
  std::vector<uint8_t> cov = render_text(family, int(std::lround(pixel_height * ss)), text, w, h);
  int top = h, bottom = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      if (cov[size_t(j) * w + i] > 32) {
        top = std::min(top, j);
        bottom = std::max(bottom, j + 1);
      }
  if (top > bottom) top = bottom = 0;
  return {float(w) / ss, float(h) / ss, float(top) / ss, float(bottom) / ss};
}

std::vector<uint32_t> Canvas::resolve() const {
  std::vector<uint32_t> out(size_t(w_) * h_);
  const float n = 1.0f / float(ss_ * ss_);
  for (int y = 0; y < h_; ++y) {
    for (int x = 0; x < w_; ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int j = 0; j < ss_; ++j)
        for (int i = 0; i < ss_; ++i) {
          const RGBA& s = sample(x * ss_ + i, y * ss_ + j);
          r += s.r;
          g += s.g;
          b += s.b;
          a += s.a;
        }
      auto q = [n](float v) { return uint32_t(std::lround(clamp01(v * n) * 255.0f)); };
      uint32_t R = q(r), G = q(g), B = q(b);
      if (a * n >= 0.5f) {
        if (R < 8 && G < 4 && B < 8) {
          // Keep the pixel visible: the darkest colour that survives the key.
          R = std::max<uint32_t>(R, 8);
          G = std::max<uint32_t>(G, 8);
          B = std::max<uint32_t>(B, 8);
        }
      } else if (std::max({R, G, B}) < 28) {
        // A thin, dim edge pixel: drawn opaque over a planet it would be a
        // dark fringe, so it goes into the key instead.
        R = G = B = 0;
      }
      out[size_t(y) * w_ + x] = (R << 16) | (G << 8) | B;
    }
  }
  return out;
}

void blit(std::vector<uint32_t>& sheet, int sheet_w, const std::vector<uint32_t>& src, int w, int h,
          int ox, int oy) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) sheet[size_t(oy + y) * sheet_w + ox + x] = src[size_t(y) * w + x];
}

// ---- noise -----------------------------------------------------------------

Noise::Noise(uint32_t seed) {
  Rng rng(seed * 2654435761u + 12345u);
  for (int i = 0; i < 256; ++i) {
    perm_[i] = uint8_t(i);
    value_[i] = rng.uniform() * 2 - 1;
  }
  for (int i = 255; i > 0; --i) std::swap(perm_[i], perm_[rng.next() % (i + 1)]);
  for (int i = 0; i < 256; ++i) perm_[256 + i] = perm_[i];
}

float Noise::at(float x, float y, float z) const {
  float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  int ix = int(fx) & 255, iy = int(fy) & 255, iz = int(fz) & 255;
  float tx = x - fx, ty = y - fy, tz = z - fz;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  tz = tz * tz * (3 - 2 * tz);
  auto v = [&](int i, int j, int k) {
    return value_[perm_[perm_[perm_[ix + i] + iy + j] + iz + k]];
  };
  float c00 = mixf(v(0, 0, 0), v(1, 0, 0), tx), c10 = mixf(v(0, 1, 0), v(1, 1, 0), tx);
  float c01 = mixf(v(0, 0, 1), v(1, 0, 1), tx), c11 = mixf(v(0, 1, 1), v(1, 1, 1), tx);
  return mixf(mixf(c00, c10, ty), mixf(c01, c11, ty), tz);
}

float Noise::fbm(float x, float y, float z, int octaves, float lacunarity, float gain) const {
  float sum = 0, amp = 1, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * at(x, y, z);
    norm += amp;
    amp *= gain;
    x = x * lacunarity + 17.3f;
    y = y * lacunarity + 5.1f;
    z = z * lacunarity + 9.7f;
  }
  return sum / norm;
}

}  // namespace assets
