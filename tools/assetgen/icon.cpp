#include "tools/assetgen/icon.h"

#include <cmath>

#include "tools/assetgen/mesh.h"
#include "tools/assetgen/pictures.h"
#include "tools/assetgen/raster.h"

namespace assets {

namespace {

RGBA opaque(float r, float g, float b) { return {r, g, b, 1}; }

// Averages the premultiplied samples into straight-alpha pixels.
std::vector<uint32_t> resolve_argb(const Canvas& c) {
  const int w = c.width(), h = c.height(), ss = c.ss();
  std::vector<uint32_t> out(size_t(w) * h);
  const float n = 1.0f / float(ss * ss);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      RGBA sum;
      for (int j = 0; j < ss; ++j)
        for (int i = 0; i < ss; ++i) {
          const RGBA& s = c.sample(x * ss + i, y * ss + j);
          sum.r += s.r;
          sum.g += s.g;
          sum.b += s.b;
          sum.a += std::min(1.0f, s.a);
        }
      const float a = clamp01(sum.a * n);
      auto q = [](float v) { return uint32_t(std::lround(clamp01(v) * 255.0f)); };
      const float un = a > 0 ? 1.0f / (sum.a * n) : 0.0f;
      out[size_t(y) * w + x] =
          q(a) << 24 | q(sum.r * n * un) << 16 | q(sum.g * n * un) << 8 | q(sum.b * n * un);
    }
  return out;
}

}  // namespace

std::vector<uint32_t> icon_picture(int size) {
  const float S = float(size);
  Canvas c(size, size, size <= 32 ? 8 : 4);
  const float cx = S / 2, cy = S / 2, R = S * 0.47f;
  auto in_disc = [&](float x, float y) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= R * R;
  };

  // Deep space, lighter towards the upper left, with a bright rim.
  c.shade(0, 0, S, S, [&](float x, float y) {
    const float d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy));
    if (d > R) return RGBA{};
    const float t = clamp01(std::hypot(x - S * 0.35f, y - S * 0.3f) / (R * 1.6f));
    RGBA col = mix(opaque(0.12f, 0.16f, 0.42f), opaque(0.02f, 0.02f, 0.09f), t);
    const float rim = std::max(1.0f, S * 0.035f);
    if (d > R - rim) col = mix(col, opaque(0.35f, 0.6f, 1.0f), clamp01((d - (R - rim)) / rim));
    return col;
  });

  // Stars where there is room for them.
  if (size >= 32) {
    const float stars[][3] = {{0.28f, 0.22f, 1.0f}, {0.62f, 0.16f, 0.8f}, {0.18f, 0.52f, 0.7f},
                              {0.80f, 0.38f, 0.9f}, {0.40f, 0.78f, 0.6f}, {0.52f, 0.36f, 0.5f}};
    for (const auto& st : stars)
      c.glow(st[0] * S, st[1] * S, std::max(1.2f, S * 0.025f) * (0.6f + st[2] * 0.6f),
             rgb(0.8f, 0.88f, 1.0f, st[2]), 1.5f);
  }

  // An amber planet low on the right, cut by the rim, lit from the upper left.
  const bool small = size <= 24;
  const float px = S * (small ? 0.86f : 0.78f), py = S * (small ? 0.88f : 0.80f),
              pr = S * (small ? 0.30f : 0.34f);
  const Vec3 light = normalize({-0.7f, -0.55f, 0.45f});
  Noise noise(7);
  c.shade(px - pr, py - pr, S, S, [&](float x, float y) {
    if (!in_disc(x, y)) return RGBA{};
    const float dx = (x - px) / pr, dy = (y - py) / pr, r2 = dx * dx + dy * dy;
    if (r2 > 1) return RGBA{};
    const Vec3 nn{dx, dy, std::sqrt(1 - r2)};
    const float band =
        small ? 0.6f : 0.5f + 0.5f * noise.fbm(nn.x * 1.5f, nn.y * 6.0f, nn.z * 1.5f, 4);
    const RGBA col = mix(opaque(0.55f, 0.22f, 0.08f), opaque(0.98f, 0.72f, 0.35f), band);
    const float k = 0.08f + 0.92f * std::max(0.0f, dot(nn, light));
    return RGBA{col.r * k, col.g * k, col.b * k, 1};
  });

  // The ship heading up and to the right, its engines glowing behind it.
  Mesh ship = ship_mesh();
  const float heading = 40;
  ship.transform([heading](Vec3 v) { return turn_z(v, heading); });
  View view;
  // Small sizes show the ship larger: only its outline reads there.
  view.scale = S * (small ? 0.0135f : 0.0105f);
  view.cx = S * (small ? 0.50f : 0.47f);
  view.cy = S * 0.50f;
  const Vec3 tail = turn_z({0, -38, 0}, heading);
  c.glow(view.cx + tail.x * view.scale, view.cy - tail.y * 0.5f * view.scale,
         std::max(1.5f, 9 * view.scale), rgb(1.0f, 0.6f, 0.2f, 0.95f), 2.0f);
  render(c, ship, view);
  return resolve_argb(c);
}

}  // namespace assets
