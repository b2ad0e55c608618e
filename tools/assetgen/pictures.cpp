#include "tools/assetgen/pictures.h"

#include <cmath>
#include <functional>
#include <thread>

#include "game/slots.h"
#include "tools/assetgen/mesh.h"
#include "tools/assetgen/raster.h"

namespace assets {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr const char* kFont = "DejaVu Sans";
constexpr const char* kBoldFont = "DejaVu Sans:style=Bold";
constexpr const char* kHudFont = "DejaVu Sans:style=Condensed Bold";

using Draw = std::function<std::vector<uint32_t>(int pattern)>;

// Ordered dither ahead of the cut to 5-6-5, so smooth shading does not band.
// It only adds, so no visible pixel can fall into the black key, and black
// stays black.
void dither_565(std::vector<uint32_t>& px, int width) {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (size_t i = 0; i < px.size(); ++i) {
    uint32_t c = px[i];
    if (c == 0) continue;
    int x = int(i % size_t(width)), y = int(i / size_t(width));
    int d = bayer[y & 3][x & 3];
    auto ch = [&](int shift, int step) {
      int v = int(c >> shift & 0xFF) + d * step / 16;
      return uint32_t(std::min(255, v)) << shift;
    };
    px[i] = ch(16, 8) | ch(8, 4) | ch(0, 8);
  }
}

// Builds a sheet by drawing each pattern; patterns are drawn on two threads
// (each pattern is independent and lands in its own cell, so the result does
// not depend on the scheduling).
Sheet make_sheet(std::string name, int pw, int ph, int count, int cols, const Draw& draw,
                 int bits = 16) {
  Sheet s;
  s.name = std::move(name);
  s.pw = pw;
  s.ph = ph;
  s.count = count;
  s.cols = cols;
  s.bits = bits;
  s.px.assign(size_t(s.width()) * s.height(), 0);
  std::vector<std::vector<uint32_t>> cells(count);
  auto work = [&](int first) {
    for (int p = first; p < count; p += 2) cells[p] = draw(p);
  };
  std::thread t(work, 1);
  work(0);
  t.join();
  for (int p = 0; p < count; ++p)
    blit(s.px, s.width(), cells[p], pw, ph, (p % cols) * pw, (p / cols) * ph);
  if (bits == 16) dither_565(s.px, s.width());
  return s;
}

RGBA opaque(float r, float g, float b) { return {r, g, b, 1}; }

// Vertical gradient fill for text and panels.
auto vgrad(RGBA top, RGBA bottom, float h) {
  return [=](float, float y) { return mix(top, bottom, clamp01(y / h)); };
}

Material mat(float r, float g, float b, float shine = 0.35f, float emissive = 0) {
  return {r, g, b, shine, emissive};
}

// Lathe about the forward axis (y) instead of the vertical one.
Mesh lathe_y(const std::vector<Vec2>& profile, int segments, const Material& m) {
  Mesh out = Mesh::lathe(profile, segments, m);
  out.transform([](Vec3 p) { return Vec3{p.x, p.z, -p.y}; });
  return out;
}

}  // namespace

// ---- the player's ship -------------------------------------------------------

Mesh ship_mesh() {
  Mesh ship;
  Material hull = mat(0.78f, 0.80f, 0.86f, 0.5f);
  Material wing = mat(0.25f, 0.42f, 0.85f, 0.4f);
  Material stripe = mat(0.9f, 0.22f, 0.18f, 0.3f);
  Material glass = mat(0.15f, 0.55f, 0.95f, 0.9f);
  Material engine = mat(1.0f, 0.62f, 0.2f, 0, 1.0f);
  Material dark = mat(0.35f, 0.36f, 0.42f, 0.2f);

  Mesh body = lathe_y(
      {{0, 37}, {2.5f, 31}, {5, 22}, {6.5f, 10}, {7, -4}, {6.5f, -24}, {5.5f, -32}, {0, -32}}, 12,
      hull);
  body.transform([](Vec3 p) { return Vec3{p.x, p.y, p.z * 0.7f}; });
  ship.append(body);

  Mesh canopy = Mesh::sphere(2, 1.0f, glass);
  canopy.transform([](Vec3 p) { return Vec3{p.x * 3.6f, 12 + p.y * 8.0f, 3.2f + p.z * 2.8f}; });
  ship.append(canopy);

  for (float side : {-1.0f, 1.0f}) {
    auto mirror = [side](std::vector<Vec2> pts) {
      for (auto& p : pts) p.x *= side;
      return pts;
    };
    ship.append(
        Mesh::extrude(mirror({{5, 6}, {30, -16}, {30, -24}, {5, -22}}), -1.2f, 0.8f, wing, dark));
    ship.append(Mesh::extrude(mirror({{26, -15}, {30, -16}, {30, -24}, {26, -23}}), -1.4f, 1.0f,
                              stripe, stripe));
    ship.append(
        Mesh::extrude(mirror({{5, 24}, {11, 18}, {11, 15}, {5, 16}}), -0.6f, 0.6f, wing, dark));
    // Tail fin: an outline in the y-z plane, thin in x.
    Mesh fin = Mesh::extrude({{-0.8f, 0}, {0.8f, 0}, {0.8f, 1}, {-0.8f, 1}}, 0, 1, stripe, stripe);
    fin.v.clear();
    fin.t.clear();
    std::vector<Vec2> fo = {{-14, 1}, {-30, 1}, {-33, 10}, {-27, 10}};
    Mesh f = Mesh::extrude(fo, -0.7f, 0.7f, stripe, dark);
    f.transform([side](Vec3 p) { return Vec3{side * 4.5f + p.z, p.x, p.y}; });
    ship.append(f);
    Mesh nozzle = lathe_y({{0, -30}, {3, -30}, {3.2f, -36}, {0, -36}}, 8, dark);
    nozzle.transform([side](Vec3 p) { return Vec3{p.x + side * 3.4f, p.y, p.z}; });
    ship.append(nozzle);
    Mesh flame = Mesh::sphere(1, 1.0f, engine);
    flame.transform([side](Vec3 p) {
      return Vec3{side * 3.4f + p.x * 2.4f, -36.5f + p.y * 2.0f, p.z * 2.4f};
    });
    ship.append(flame);
  }
  return ship;
}

namespace {

Sheet ship_sheet() {
  Mesh ship = ship_mesh();
  return make_sheet("ship", 100, 50, 128, 16, [&](int p) {
    Canvas c(100, 50, 4);
    // One pattern per two heading units; 255 heading units make a full turn.
    float deg = p * 2 * 360.0f / 255.0f;
    Mesh m = ship;
    m.transform([deg](Vec3 v) { return turn_z(v, deg); });
    View view;
    view.cx = 50;
    view.cy = 26;
    view.scale = 1.0f;
    // Engine glow sits behind the ship whatever its heading.
    Vec3 back = turn_z({0, -37, 0}, deg);
    float bx = 50 + back.x, by = 26 - back.y * 0.5f;
    c.glow(bx, by, 7, rgb(1.0f, 0.6f, 0.2f, 0.9f), 2.5f);
    render(c, m, view);
    return c.resolve();
  });
}

// ---- enemies -----------------------------------------------------------------

enum class Wear { intact, damaged, destroyed };

struct EnemyKind {
  int width, height;
  float symmetry_deg;  // turn after which the craft looks the same
  std::function<Mesh(int pattern)> build;
};

Material worn(Material m, Wear w) {
  if (w == Wear::intact || m.emissive > 0) return m;
  float k = w == Wear::damaged ? 0.62f : 0.32f;
  return {m.r * k + 0.05f, m.g * k * 0.85f, m.b * k * 0.7f, m.specular * 0.3f, 0};
}

Mesh saucer(int pattern) {
  Mesh m;
  Material hull = mat(0.55f, 0.68f, 0.6f, 0.55f);
  Material under = mat(0.35f, 0.42f, 0.4f, 0.2f);
  Material dome = mat(0.7f, 0.35f, 0.95f, 0.9f);
  m.append(Mesh::lathe({{0, 13}, {6, 12}, {10, 9}, {13, 5}}, 16, dome));
  m.append(Mesh::lathe({{13, 5}, {15, 5.5f}, {26, 4.5f}, {40, 1.5f}, {44, 0}}, 24, hull));
  m.append(Mesh::lathe({{44, 0}, {30, -4}, {14, -7}, {0, -8}}, 24, under));
  // Panel bands: every other sector of the upper hull a shade darker.
  for (auto& t : m.t) {
    Vec3 c = (m.v[t.a] + m.v[t.b] + m.v[t.c]) * (1.0f / 3);
    float r = std::sqrt(c.x * c.x + c.y * c.y);
    if (t.m.r != hull.r || r < 16) continue;
    int sector = int(std::floor((std::atan2(c.y, c.x) + kPi) / (2 * kPi) * 12));
    if (sector % 2) t.m = mat(0.42f, 0.54f, 0.5f, 0.45f);
    if (r > 24 && r < 27) t.m = mat(0.8f, 0.75f, 0.3f, 0.6f);
  }
  // Chasing rim lights.
  for (int i = 0; i < 8; ++i) {
    bool lit = (i + pattern) % 4 == 0;
    Material light = lit ? mat(1.0f, 0.95f, 0.4f, 0, 1) : mat(0.9f, 0.3f, 0.2f, 0, 0.6f);
    float a = i * 45.0f;
    Mesh b = Mesh::sphere(1, 2.2f, light);
    b.transform([a](Vec3 p) { return turn_z(Vec3{p.x, p.y + 36.5f, p.z + 1.6f}, a); });
    m.append(b);
  }
  return m;
}

Mesh pod(int) {
  Mesh m;
  Material shell = mat(0.9f, 0.56f, 0.2f, 0.5f);
  Material band = mat(0.3f, 1.0f, 0.75f, 0, 1);
  Material fin = mat(0.55f, 0.32f, 0.16f, 0.3f);
  m.append(Mesh::lathe({{0, 20}, {7, 18.5f}, {12.5f, 12}, {15, 4}}, 18, shell));
  m.append(Mesh::lathe({{15, 4}, {15.6f, 0}, {15, -3}}, 18, band));
  m.append(Mesh::lathe({{15, -3}, {13, -10}, {8, -16}, {0, -18}}, 18, shell));
  for (int i = 0; i < 3; ++i) {
    Mesh f = Mesh::extrude({{-1, 0}, {1, 0}, {1, 1}, {-1, 1}}, 0, 1, fin, fin);
    f = Mesh::extrude({{10, 8}, {28, -6}, {30, -16}, {12, -10}}, -1.2f, 1.2f, fin, fin);
    f.transform([i](Vec3 p) { return turn_z(Vec3{p.z, p.x, p.y}, i * 120.0f); });
    m.append(f);
  }
  m.transform([](Vec3 p) { return p * 0.8f; });  // fits the 75 x 50 box
  return m;
}

Mesh ring(int pattern) {
  Mesh m;
  Material metal = mat(0.25f, 0.75f, 0.78f, 0.6f);
  Material spoke = mat(0.45f, 0.5f, 0.55f, 0.3f);
  float glow = 0.7f + 0.3f * std::sin(pattern * 2 * kPi / 10);
  Material core = mat(1.0f * glow, 0.3f * glow, 0.85f * glow, 0, 1);
  std::vector<Vec2> circle;
  for (int i = 0; i <= 10; ++i) {
    float t = i * 2 * kPi / 10;
    circle.push_back({35 + 5.0f * std::cos(t), 5.0f * std::sin(t)});
  }
  m.append(Mesh::lathe(circle, 28, metal));
  m.append(Mesh::sphere(2, 9.0f, core));
  for (int i = 0; i < 3; ++i) {
    Mesh s = Mesh::box({-1.6f, 8, -1.6f}, {1.6f, 31, 1.6f}, spoke);
    s.transform([i](Vec3 p) { return turn_z(p, i * 120.0f); });
    m.append(s);
  }
  return m;
}

Mesh star_craft(int pattern) {
  Mesh m;
  Material body = mat(0.82f, 0.2f, 0.26f, 0.55f);
  Material arm = mat(0.6f, 0.6f, 0.66f, 0.45f);
  bool blink = pattern % 5 < 2;
  Material tip = blink ? mat(1.0f, 0.95f, 0.35f, 0, 1) : mat(1.0f, 0.55f, 0.15f, 0, 0.8f);
  m.append(Mesh::sphere(2, 12.0f, body));
  for (int i = 0; i < 4; ++i) {
    Mesh a = lathe_y({{0, 44}, {2.5f, 38}, {5, 12}, {0, 12}}, 6, arm);
    a.transform([](Vec3 p) { return Vec3{p.x, p.y, p.z * 0.8f}; });
    Mesh t = Mesh::sphere(1, 3.0f, tip);
    t.transform([](Vec3 p) { return Vec3{p.x, p.y + 38, p.z}; });
    a.append(t);
    a.transform([i](Vec3 p) { return turn_z(p, 45.0f + i * 90.0f); });
    m.append(a);
  }
  return m;
}

std::vector<EnemyKind> enemy_kinds() {
  return {{100, 50, 45.0f, saucer},
          {75, 50, 120.0f, pod},
          {100, 50, 120.0f, ring},
          {100, 50, 90.0f, star_craft}};
}

Sheet enemy_sheet(const EnemyKind& kind, Wear wear, const std::string& name, uint32_t seed) {
  return make_sheet(name, kind.width, kind.height, 10, 10, [&](int p) {
    Canvas c(kind.width, kind.height, 4);
    Mesh m = kind.build(p);
    // The craft turns about its vertical axis through one symmetry step over
    // the ten patterns, so the loop closes without a jump.
    float spin = kind.symmetry_deg * p / 10.0f;
    Rng rng(seed);
    for (auto& t : m.t) {
      t.m = worn(t.m, wear);
      if (wear == Wear::damaged && rng.uniform() < 0.18f) t.m = mat(0.12f, 0.1f, 0.09f, 0.05f);
    }
    if (wear == Wear::destroyed) {
      // Break the hull into its facets flying apart and tumbling.
      Rng frag(seed ^ 0x9e3779b9u);
      Mesh out;
      float spread = 0.8f + p * 0.75f;
      for (const auto& t : m.t) {
        Vec3 a = m.v[t.a], b = m.v[t.b], d = m.v[t.c];
        Vec3 centre = (a + b + d) * (1.0f / 3);
        Vec3 dir =
            normalize(centre + Vec3{frag.range(-3, 3), frag.range(-3, 3), frag.range(-3, 3)});
        float turn = frag.range(-40, 40) * p / 9.0f;
        auto move = [&](Vec3 v) {
          Vec3 local = turn_x(turn_z(v - centre, turn), turn * 0.7f);
          return (centre * 0.78f) + local * 0.78f + dir * spread;
        };
        Material mt = t.m;
        float ember = std::max(0.0f, 1.0f - p / 6.0f) * (frag.uniform() < 0.35f ? 1.0f : 0.0f);
        if (ember > 0) mt = {mixf(mt.r, 1.0f, ember), mixf(mt.g, 0.45f, ember), mt.b, 0, ember};
        out.tri(move(a), move(b), move(d), mt);
      }
      m = out;
    }
    m.transform([spin](Vec3 v) { return turn_z(v, spin); });
    View view;
    view.cx = kind.width / 2.0f;
    view.cy = kind.height / 2.0f;
    if (wear == Wear::destroyed) {
      float heat = std::max(0.0f, 1.0f - p / 8.0f);
      c.glow(view.cx, view.cy, kind.height * (0.3f + 0.017f * p),
             rgb(1.0f, 0.6f, 0.2f, 0.9f * heat), 1.5f);
    }
    render(c, m, view);
    if (wear != Wear::intact) {
      // Fires on the hull: flickering glows that change from pattern to pattern.
      Rng fire(seed * 31 + uint32_t(p) * 7919u);
      int n = wear == Wear::damaged ? 3 : std::max(0, 6 - p);
      Rng place(seed * 17);
      for (int i = 0; i < n; ++i) {
        float x = view.cx + place.range(-0.3f, 0.3f) * kind.width;
        float y = view.cy + place.range(-0.2f, 0.2f) * kind.height;
        float r = (wear == Wear::damaged ? 5.0f : 8.0f) * fire.range(0.7f, 1.3f);
        c.glow(x, y, r, rgb(1.0f, fire.range(0.45f, 0.8f), 0.15f, 0.9f), 1.6f);
      }
    }
    return c.resolve();
  });
}

// ---- planets -------------------------------------------------------------------

struct PlanetStyle {
  uint32_t seed;
  RGBA low, mid, high;  // colour ramp over the noise value
  float bands;          // > 0: latitude bands (gas giants)
  float detail;         // noise frequency
  RGBA atmosphere;      // rim glow colour (a = strength)
  float ice_caps;       // polar caps (0 = none)
  float water;          // level below which the low colour is flat (oceans)
};

constexpr int kPlanetSize = 160;
constexpr int kTexW = 512, kTexH = 256;

// Colour texture over longitude (two repeats of the pattern per turn, so a
// rotation by 18 degrees per pattern closes the loop over ten patterns) and
// latitude.
std::vector<RGBA> planet_texture(const PlanetStyle& st) {
  Noise n(st.seed), n2(st.seed + 101);
  std::vector<RGBA> tex(size_t(kTexW) * kTexH);
  for (int j = 0; j < kTexH; ++j) {
    float lat = (j + 0.5f) / kTexH * kPi - kPi / 2;
    for (int i = 0; i < kTexW; ++i) {
      float lon = (i + 0.5f) / kTexW * 2 * kPi * 2;  // doubled: repeats twice per turn
      Vec3 d{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat)};
      float v;
      if (st.bands > 0) {
        float warp = n.fbm(d.x * 2.5f, d.y * 2.5f, d.z * 2.5f, 4) * 0.35f;
        v = 0.5f + 0.5f * std::sin((std::sin(lat) + warp) * st.bands) * 0.8f +
            0.2f * n2.fbm(d.x * 6, d.y * 6, d.z * 12, 3);
      } else {
        v = 0.5f + 0.75f * n.fbm(d.x * st.detail, d.y * st.detail, d.z * st.detail, 6);
      }
      v = clamp01(v);
      RGBA c;
      if (v < st.water) {
        c = mix(scaled(st.low, 0.75f), st.low, v / std::max(0.01f, st.water));
        c.a = 1;
      } else if (v < 0.6f) {
        c = mix(st.low, st.mid, smoothstep(st.water, 0.6f, v));
      } else {
        c = mix(st.mid, st.high, smoothstep(0.6f, 0.95f, v));
      }
      if (st.ice_caps > 0) {
        float cap = smoothstep(st.ice_caps, st.ice_caps + 0.08f,
                               std::fabs(std::sin(lat)) + 0.08f * n2.at(d.x * 8, d.y * 8, d.z * 8));
        c = mix(c, opaque(0.93f, 0.96f, 1.0f), cap);
      }
      tex[size_t(j) * kTexW + i] = c;
    }
  }
  return tex;
}

RGBA sample_tex(const std::vector<RGBA>& tex, float u, float v) {
  float x = u * kTexW - 0.5f, y = std::clamp(v * kTexH - 0.5f, 0.0f, kTexH - 1.001f);
  int x0 = int(std::floor(x)), y0 = int(y);
  float fx = x - x0, fy = y - y0;
  auto at = [&](int i, int j) { return tex[size_t(j) * kTexW + ((i % kTexW) + kTexW) % kTexW]; };
  RGBA a = mix(at(x0, y0), at(x0 + 1, y0), fx), b = mix(at(x0, y0 + 1), at(x0 + 1, y0 + 1), fx);
  return mix(a, b, fy);
}

Sheet planet_sheet(const PlanetStyle& st, int index) {
  std::vector<RGBA> tex = planet_texture(st);
  const float tilt = (index % 3 - 1) * 0.25f;  // axial tilt towards the viewer
  return make_sheet(
      "planet" + std::to_string(index + 1), kPlanetSize, kPlanetSize, 10, 5, [&](int p) {
        Canvas c(kPlanetSize, kPlanetSize, 2);
        const float R = kPlanetSize / 2.0f - 7.0f,  // room for the atmosphere (1.08 R)
            cx = kPlanetSize / 2.0f, cy = kPlanetSize / 2.0f;
        const Vec3 light =
            normalize({-0.78f, -0.45f, 0.45f});  // screen x, y down, z towards the viewer
        const float rot = p * 2 * kPi / 20;      // 18 degrees per pattern
        const float ct = std::cos(tilt), stl = std::sin(tilt);
        c.shade(0, 0, float(kPlanetSize), float(kPlanetSize), [&](float x, float y) {
          float dx = (x - cx) / R, dy = (y - cy) / R;
          float r2 = dx * dx + dy * dy;
          if (r2 > 1.0f) {
            // Thin atmosphere beyond the limb.
            if (st.atmosphere.a <= 0 || r2 > 1.08f * 1.08f) return RGBA{};
            float k = 1 - (std::sqrt(r2) - 1) / 0.08f;
            float lit = clamp01(0.4f + (-dx * light.x * -1 + dy * light.y * 1) * 0);
            (void)lit;
            float side =
                clamp01(0.3f + 0.7f * ((dx * light.x + dy * light.y) / std::sqrt(r2) + 0.3f));
            return scaled(st.atmosphere, k * k * side);
          }
          float dz = std::sqrt(1 - r2);
          Vec3 n{dx, dy, dz};
          // Body coordinates: undo the tilt (about the screen x axis), then spin.
          float by = n.y * ct - n.z * stl, bz = n.y * stl + n.z * ct;
          float lat = std::asin(std::clamp(-by, -1.0f, 1.0f));
          float lon = std::atan2(n.x, bz) + rot;
          RGBA col = sample_tex(tex, lon / (2 * kPi), (lat + kPi / 2) / kPi);
          float diff = std::max(0.0f, dot(n, light));
          float k = 0.06f + 0.94f * std::pow(diff, 0.9f);
          RGBA out{col.r * k, col.g * k, col.b * k, 1};
          if (st.atmosphere.a > 0) {
            float rim = std::pow(1 - dz, 3.0f) * (0.25f + 0.75f * diff);
            out.r += st.atmosphere.r * rim;
            out.g += st.atmosphere.g * rim;
            out.b += st.atmosphere.b * rim;
          }
          // The night side stays just above the colour key so the disc is whole.
          out.r = std::max(out.r, 0.045f);
          out.g = std::max(out.g, 0.03f);
          out.b = std::max(out.b, 0.05f);
          return out;
        });
        return c.resolve();
      });
}

std::vector<PlanetStyle> planet_styles() {
  return {
      // 1 blue-green world with oceans and ice caps
      {11, opaque(0.08f, 0.22f, 0.6f), opaque(0.2f, 0.55f, 0.25f), opaque(0.6f, 0.55f, 0.4f), 0,
       2.2f, rgb(0.45f, 0.7f, 1.0f, 1.0f), 0.82f, 0.5f},
      // 2 banded orange gas giant
      {23, opaque(0.55f, 0.3f, 0.15f), opaque(0.85f, 0.6f, 0.35f), opaque(0.98f, 0.88f, 0.7f), 11,
       0, rgb(1.0f, 0.75f, 0.5f, 0.6f), 0, 0},
      // 3 red desert
      {37, opaque(0.45f, 0.14f, 0.08f), opaque(0.75f, 0.33f, 0.16f), opaque(0.92f, 0.65f, 0.45f), 0,
       3.0f, rgb(1.0f, 0.5f, 0.35f, 0.5f), 0.9f, 0},
      // 4 grey cratered moon
      {41, opaque(0.3f, 0.3f, 0.32f), opaque(0.55f, 0.54f, 0.52f), opaque(0.82f, 0.8f, 0.76f), 0,
       4.5f, RGBA{}, 0, 0},
      // 5 icy blue
      {53, opaque(0.45f, 0.62f, 0.8f), opaque(0.75f, 0.88f, 0.96f), opaque(0.97f, 0.99f, 1.0f), 0,
       2.8f, rgb(0.7f, 0.85f, 1.0f, 0.7f), 0, 0},
      // 6 violet gas giant
      {67, opaque(0.3f, 0.16f, 0.45f), opaque(0.6f, 0.4f, 0.75f), opaque(0.9f, 0.8f, 0.95f), 16, 0,
       rgb(0.8f, 0.6f, 1.0f, 0.6f), 0, 0},
      // 7 lava world
      {79, opaque(0.95f, 0.4f, 0.08f), opaque(0.25f, 0.12f, 0.1f), opaque(0.12f, 0.08f, 0.08f), 0,
       3.4f, rgb(1.0f, 0.35f, 0.1f, 0.6f), 0, 0.42f},
      // 8 teal ocean world
      {83, opaque(0.05f, 0.35f, 0.45f), opaque(0.2f, 0.6f, 0.55f), opaque(0.85f, 0.9f, 0.8f), 0,
       2.0f, rgb(0.5f, 1.0f, 0.9f, 0.8f), 0.88f, 0.55f},
      // 9 pale yellow banded giant
      {97, opaque(0.6f, 0.55f, 0.3f), opaque(0.85f, 0.8f, 0.55f), opaque(0.98f, 0.96f, 0.85f), 7, 0,
       rgb(1.0f, 0.95f, 0.7f, 0.5f), 0, 0},
  };
}

// ---- meteor --------------------------------------------------------------------

Sheet meteor_sheet() {
  Noise n(7);
  Material rock = mat(0.68f, 0.58f, 0.49f, 0.15f);
  Mesh m = Mesh::sphere(
      3, 24.0f, rock, [&](Vec3 d) { return 0.28f * n.fbm(d.x * 1.6f, d.y * 1.6f, d.z * 1.6f, 3); });
  Rng shade(5);
  for (auto& t : m.t) {
    float k = shade.range(0.8f, 1.1f);
    t.m.r *= k;
    t.m.g *= k;
    t.m.b *= k;
  }
  return make_sheet("meteor", 96, 72, 10, 10, [&](int p) {
    Canvas c(96, 72, 4);
    Mesh r = m;
    // Tumbles about a slanted axis: 40 degrees a pattern over patterns 1..9.
    float a = p * 40.0f;
    r.transform([a](Vec3 v) {
      Vec3 w = turn_y(turn_x(turn_y(v, 30), a), -30);
      return Vec3{w.x * 1.3f, w.y, w.z};
    });
    View view;
    view.cx = 48;
    view.cy = 36;
    view.ambient = 0.16f;
    render(c, r, view);
    return c.resolve();
  });
}

// ---- small sprites -------------------------------------------------------------

Sheet star_sheet() {
  // Drawn 2 or 4 pixels wide: a small bright square with softer corners.
  Sheet s;
  s.name = "star";
  s.pw = s.ph = 4;
  const float v[4] = {0.55f, 0.9f, 0.9f, 0.55f};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      float k = std::min(1.0f, v[x] * v[y] * 1.25f);
      uint32_t r = uint32_t(235 * k), g = uint32_t(240 * k), b = uint32_t(255 * k);
      s.px.push_back((r << 16) | (g << 8) | b);
    }
  return s;
}

Sheet shot_sheet() {
  Sheet s = make_sheet("shot", 8, 8, 1, 1, [](int) {
    Canvas c(8, 8, 8);
    c.ellipse(4, 4, 3.4f, 3.9f, rgb(0.45f, 0.9f, 1.0f));
    c.ellipse(4, 3.6f, 1.7f, 2.8f, rgb(0.95f, 1.0f, 1.0f));
    return c.resolve();
  });
  return s;
}

Sheet missile_sheet() {
  // Pointing up; also the 6 x 8 pip of the missile row. The whole missile,
  // flame included, lies in rows 0..6: the row's frame closes under the pips
  // on the screen's last row, which is the pip's row 7.
  return make_sheet("missile", 6, 8, 1, 1, [](int) {
    Canvas c(6, 8, 8);
    c.polygon({{3, 0}, {4.5f, 1.8f}, {4.5f, 5.2f}, {1.5f, 5.2f}, {1.5f, 1.8f}},
              rgb(0.92f, 0.92f, 0.95f));
    c.polygon({{3, 0}, {4.2f, 1.5f}, {1.8f, 1.5f}}, rgb(1.0f, 0.3f, 0.2f));
    c.polygon({{1.5f, 3.4f}, {0, 6}, {1.5f, 5.6f}}, rgb(1.0f, 0.35f, 0.2f));
    c.polygon({{4.5f, 3.4f}, {6, 6}, {4.5f, 5.6f}}, rgb(1.0f, 0.35f, 0.2f));
    c.rect(2, 5.2f, 4, 7, rgb(1.0f, 0.75f, 0.2f));
    return c.resolve();
  });
}

Sheet enemy_rocket_sheet() {
  // Pattern 0 light (10), 1 heavy (30), 2 medium (20): green, red, orange.
  const RGBA outer[3] = {rgb(0.3f, 1.0f, 0.35f), rgb(1.0f, 0.2f, 0.25f), rgb(1.0f, 0.6f, 0.1f)};
  const float size[3] = {3.4f, 4.8f, 4.2f};
  return make_sheet("enemy rocket", 12, 12, 3, 3, [&](int p) {
    Canvas c(12, 12, 8);
    c.ellipse(6, 6, size[p] * 0.75f, size[p], outer[p]);
    c.ellipse(6, 5.2f, size[p] * 0.38f, size[p] * 0.55f, rgb(1, 1, 0.85f));
    return c.resolve();
  });
}

Sheet particle_sheet() {
  const RGBA col[4] = {rgb(1.0f, 0.95f, 0.6f), rgb(1.0f, 0.65f, 0.15f), rgb(0.95f, 0.3f, 0.1f),
                       rgb(0.75f, 0.7f, 0.68f)};
  return make_sheet("particle", 8, 8, 4, 4, [&](int p) {
    Canvas c(8, 8, 8);
    c.ellipse(4, 4, 3.8f, 3.8f, mix(col[p], rgb(0.5f, 0.15f, 0.05f), 0.35f));
    c.ellipse(3.6f, 3.6f, 2.4f, 2.4f, col[p]);
    return c.resolve();
  });
}

// The pick-ups: a pulsing orb with an emblem.
Sheet bonus_sheet(int kind, const char* name) {
  const RGBA tint[3] = {rgb(0.25f, 0.55f, 1.0f), rgb(1.0f, 0.55f, 0.15f), rgb(0.3f, 0.95f, 0.4f)};
  return make_sheet(name, 50, 50, 10, 10, [&](int p) {
    Canvas c(50, 50, 4);
    float pulse = 0.5f + 0.5f * std::cos(p * 2 * kPi / 10);
    float r = 19.0f + 3.0f * pulse;
    RGBA t = tint[kind];
    c.glow(25, 25, r + 3, scaled(t, 0.45f + 0.4f * pulse), 1.5f);
    c.shade(25 - r, 25 - r, 25 + r, 25 + r, [&](float x, float y) {
      float dx = (x - 25) / r, dy = (y - 25) / r, d2 = dx * dx + dy * dy;
      if (d2 > 1) return RGBA{};
      float rim = smoothstep(0.6f, 1.0f, std::sqrt(d2));
      float hl = std::max(0.0f, 1 - ((dx + 0.35f) * (dx + 0.35f) + (dy + 0.4f) * (dy + 0.4f)) * 4);
      RGBA base = mix(scaled(t, 0.35f), t, rim);
      return RGBA{clamp01(base.r + hl * 0.6f), clamp01(base.g + hl * 0.6f),
                  clamp01(base.b + hl * 0.6f), 1};
    });
    RGBA white = rgb(1, 1, 1);
    auto shield = [&](float cx, float cy, float s) {
      c.polygon({{cx - 7 * s, cy - 8 * s},
                 {cx + 7 * s, cy - 8 * s},
                 {cx + 7 * s, cy - 1 * s},
                 {cx, cy + 9 * s},
                 {cx - 7 * s, cy - 1 * s}},
                white);
      c.polygon({{cx - 4.5f * s, cy - 5.5f * s},
                 {cx, cy - 5.5f * s},
                 {cx, cy + 5.5f * s},
                 {cx - 4.5f * s, cy - 1.5f * s}},
                tint[0]);
    };
    auto rocket = [&](float cx, float cy, float s) {
      c.polygon({{cx, cy - 10 * s},
                 {cx + 3 * s, cy - 5 * s},
                 {cx + 3 * s, cy + 5 * s},
                 {cx + 6 * s, cy + 10 * s},
                 {cx - 6 * s, cy + 10 * s},
                 {cx - 3 * s, cy + 5 * s},
                 {cx - 3 * s, cy - 5 * s}},
                white);
    };
    if (kind == 0) shield(25, 25, 1.2f);
    if (kind == 1) {
      rocket(20, 25, 1.0f);
      rocket(30, 25, 1.0f);
    }
    if (kind == 2) {
      shield(20, 25, 0.9f);
      rocket(32, 25, 0.9f);
    }
    return c.resolve();
  });
}

// ---- display ---------------------------------------------------------------

Sheet digits_sheet() {
  return make_sheet("digits", 10, 20, 10, 10, [](int p) {
    Canvas c(10, 20, 4);
    std::u32string t(1, char32_t(U'0' + p));
    // Ink inside columns 1..8 and rows 2..17, so neighbours never touch.
    c.text_centered(kBoldFont, 17, t, 4.6f, 10,
                    vgrad(opaque(1, 1, 0.8f), opaque(1, 0.7f, 0.2f), 20));
    return c.resolve();
  });
}

RGBA hud_frame() { return rgb(0.35f, 0.65f, 0.9f); }
RGBA hud_text() { return rgb(0.7f, 0.88f, 1.0f); }

Sheet speed_sheet() {
  return make_sheet("speed", 110, 24, 6, 1, [](int p) {
    Canvas c(110, 24, 4);
    c.text(kHudFont, 9, U"RYCHLOST", 1, -0.5f, [](float, float) { return hud_text(); });
    for (int i = 0; i < 6; ++i) {
      float x0 = 1 + i * 18.0f, h = 4 + i * 1.6f;
      float y1 = 23, y0 = y1 - h;
      bool lit = i <= p;
      RGBA on = mix(rgb(0.2f, 0.9f, 1.0f), rgb(1.0f, 0.85f, 0.2f), i / 5.0f);
      c.rect(x0, y0, x0 + 15, y1, lit ? on : rgb(0.16f, 0.2f, 0.26f));
      if (lit) c.rect(x0, y0, x0 + 15, y0 + 1.2f, rgb(1, 1, 1, 0.6f));
    }
    return c.resolve();
  });
}

Sheet shield_sheet() {
  return make_sheet("shield", 60, 92, 11, 11, [](int p) {
    Canvas c(60, 92, 4);
    c.text(kHudFont, 10, U"ŠTÍT", 4, 0, [](float, float) { return hud_text(); });
    // Ten segments from the bottom up; pattern k lights k of them.
    for (int i = 0; i < 10; ++i) {
      float y1 = 90 - i * 7.4f, y0 = y1 - 6;
      bool lit = i < p;
      RGBA on = mix(rgb(1.0f, 0.25f, 0.15f), rgb(0.25f, 1.0f, 0.4f), smoothstep(0, 6, float(i)));
      float w = 22 + i * 1.8f;
      c.rect(4, y0, 4 + w, y1, lit ? on : rgb(0.15f, 0.17f, 0.22f));
    }
    if (p == 0) {
      // Nearly empty: the lowest segment outlined in dim red.
      RGBA warn = rgb(0.5f, 0.08f, 0.08f);
      c.rect(4, 84, 26, 85.2f, warn);
      c.rect(4, 88.8f, 26, 90, warn);
      c.rect(4, 84, 5.2f, 90, warn);
      c.rect(24.8f, 84, 26, 90, warn);
    }
    return c.resolve();
  });
}

Sheet free_rocket_sheet() {
  return make_sheet("free rockets", 97, 92, 6, 6, [](int p) {
    Canvas c(97, 92, 4);
    c.text(kHudFont, 10, U"PALBA", 30, 0, [](float, float) { return hud_text(); });
    // Five launch tubes; pattern k shows k of them loaded.
    for (int i = 0; i < 5; ++i) {
      float cx = 16 + i * 16.0f, y0 = 24, y1 = 88;
      bool lit = i < p;
      c.rect(cx - 6, y0, cx + 6, y1, rgb(0.14f, 0.17f, 0.22f));
      if (lit) {
        RGBA body = rgb(1.0f, 0.78f, 0.25f);
        c.polygon({{cx, y0 + 3},
                   {cx + 4, y0 + 12},
                   {cx + 4, y1 - 4},
                   {cx - 4, y1 - 4},
                   {cx - 4, y0 + 12}},
                  body);
        c.rect(cx - 4, y1 - 14, cx + 4, y1 - 11, rgb(0.9f, 0.3f, 0.2f));
      }
    }
    return c.resolve();
  });
}

Sheet score_panel_sheet() {
  return make_sheet("score panel", 102, 50, 1, 1, [](int) {
    Canvas c(102, 50, 4);
    // The digits show through the black windows at x 52..101, rows 2..21 and 27..46.
    RGBA f = hud_frame();
    c.rect(0, 0, 102, 1.2f, f);
    c.rect(0, 48.8f, 102, 50, f);
    c.rect(0, 0, 1.2f, 50, f);
    c.rect(0, 24.4f, 50, 25.6f, scaled(f, 0.6f));
    c.text(kHudFont, 9.5f, U"ÚROVEŇ", 4, 5.5f, [](float, float) { return hud_text(); });
    c.text(kHudFont, 9.5f, U"SKÓRE", 4, 30.5f, [](float, float) { return hud_text(); });
    return c.resolve();
  });
}

Sheet missile_panel_sheet() {
  return make_sheet("missile panel", 160, 20, 1, 1, [](int) {
    Canvas c(160, 20, 4);
    // A closed box on the screen's last rows: the pips show through its black
    // window at x 26..145, rows 11..18, and its bottom edge is row 19, the
    // screen's last row, so the row reads as whole, not cut off by the edge.
    RGBA f = hud_frame();
    c.rect(21, 10, 151, 11.2f, f);
    c.rect(21, 19, 151, 20, f);
    c.rect(21, 10, 22.2f, 20, f);
    c.rect(149.8f, 10, 151, 20, f);
    c.text(kHudFont, 8.5f, U"RAKETY", 62, -1.5f, [](float, float) { return hud_text(); });
    return c.resolve();
  });
}

// Arrow pointing up; pattern 1 (a button held) is brighter and smaller.
Sheet cursor_sheet(const char* name) {
  return make_sheet(name, 20, 20, 2, 2, [](int p) {
    Canvas c(20, 20, 8);
    float s = p ? 0.85f : 1.0f;
    auto P = [s](float x, float y) { return Vec2{10 + (x - 10) * s, 10 + (y - 10) * s}; };
    std::vector<Vec2> arrow = {P(10, 1),    P(17, 15),      P(11.5f, 12.5f), P(11.5f, 19),
                               P(8.5f, 19), P(8.5f, 12.5f), P(3, 15)};
    std::vector<Vec2> inner = {P(10, 4),       P(14.6f, 13.2f), P(10.4f, 11.2f), P(10.4f, 17.8f),
                               P(9.6f, 17.8f), P(9.6f, 11.2f),  P(5.4f, 13.2f)};
    c.polygon(arrow, p ? rgb(1.0f, 0.8f, 0.25f) : rgb(0.9f, 0.95f, 1.0f));
    c.polygon(inner, p ? rgb(1.0f, 0.45f, 0.1f) : rgb(0.25f, 0.55f, 0.95f));
    return c.resolve();
  });
}

Sheet banner_sheet(const char* name, int w, const std::u32string& text, RGBA top, RGBA bottom) {
  return make_sheet(name, w, 50, 1, 1, [=](int) {
    Canvas c(w, 50, 4);
    float size = 40;
    while (Canvas::measure_text(kBoldFont, size, text).width > w - 10) size -= 1;
    // A dark outline keeps the letters readable over planets.
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (dx || dy)
          c.text_centered(kBoldFont, size, text, w / 2.0f + dx * 1.2f, 25 + dy * 1.2f,
                          [](float, float) { return opaque(0.12f, 0.06f, 0.05f); });
    c.text_centered(kBoldFont, size, text, w / 2.0f, 25, vgrad(top, bottom, 50));
    return c.resolve();
  });
}

// Menu items are drawn additively, so they are white on black.
Sheet menu_item_sheet(const char* name, int w, const std::u32string& text) {
  return make_sheet(name, w, 25, 1, 1, [=](int) {
    Canvas c(w, 25, 4);
    float size = 19;
    while (Canvas::measure_text(kBoldFont, size, text).width > w - 4) size -= 0.5f;
    c.text_centered(kBoldFont, size, text, w / 2.0f, 12.5f,
                    [](float, float) { return opaque(1, 1, 1); });
    return c.resolve();
  });
}

void draw_title(Canvas& c, float cx, float cy, float size) {
  std::u32string t = U"ZARNIK";
  while (Canvas::measure_text(kBoldFont, size, t).width > c.width() - 6) size -= 1;
  for (int i = 6; i >= 1; --i)
    c.text_centered(kBoldFont, size, t, cx + i * 0.5f, cy + i * 0.6f, [i](float, float) {
      return opaque(0.25f - i * 0.02f, 0.1f, 0.35f - i * 0.03f);
    });
  c.text_centered(kBoldFont, size, t, cx, cy,
                  vgrad(opaque(1.0f, 0.95f, 0.6f), opaque(1.0f, 0.35f, 0.1f), c.height() * 0.9f));
}

Sheet title_sheet() {
  return make_sheet("title", 200, 70, 1, 1, [](int) {
    Canvas c(200, 70, 4);
    draw_title(c, 100, 33, 50);
    return c.resolve();
  });
}

}  // namespace

std::vector<Sheet> game_pictures() {
  auto kinds = enemy_kinds();
  auto styles = planet_styles();
  using namespace slots::play;
  std::vector<Sheet> p(kCount);
  p[kShip] = ship_sheet();
  p[kStar] = star_sheet();
  p[kMeteor] = meteor_sheet();
  p[kShot] = shot_sheet();
  p[kMissile] = missile_sheet();
  // The art's own names of the four kinds, and the seed of each picture.
  const char* const names[4] = {"saucer", "pod", "ring", "star"};
  for (int k = 0; k < 4; ++k) {
    const std::string name = names[k];
    const int seed = 100 * (k + 1);
    p[kEnemies[k].intact] = enemy_sheet(kinds[k], Wear::intact, name, seed + 1);
    p[kEnemies[k].damaged] = enemy_sheet(kinds[k], Wear::damaged, name + " damaged", seed + 2);
    p[kEnemies[k].destroyed] =
        enemy_sheet(kinds[k], Wear::destroyed, name + " destroyed", seed + 3);
  }
  p[kDigits] = digits_sheet();
  p[kCursor] = cursor_sheet("cursor");
  p[kSpeedGauge] = speed_sheet();
  p[kEnemyRocket] = enemy_rocket_sheet();
  p[kFreeRocketGauge] = free_rocket_sheet();
  for (int i = 0; i < 9; ++i) p[kPlanets[i]] = planet_sheet(styles[i], i);
  p[kShieldGauge] = shield_sheet();
  p[kParticle] = particle_sheet();
  p[kScorePanel] = score_panel_sheet();
  p[kPauseBanner] =
      banner_sheet("pause", 100, U"PAUZA", opaque(0.7f, 0.9f, 1.0f), opaque(0.3f, 0.55f, 1.0f));
  p[kWonBanner] =
      banner_sheet("won", 400, U"VÍTĚZSTVÍ!", opaque(1.0f, 1.0f, 0.6f), opaque(0.3f, 1.0f, 0.35f));
  p[kLostBanner] =
      banner_sheet("lost", 158, U"PROHRA", opaque(1.0f, 0.8f, 0.4f), opaque(1.0f, 0.2f, 0.15f));
  p[kBonusShield] = bonus_sheet(0, "bonus shield");
  p[kBonusMissiles] = bonus_sheet(1, "bonus missiles");
  p[kBonusBoth] = bonus_sheet(2, "bonus both");
  p[kMissilePanel] = missile_panel_sheet();
  return p;
}

std::vector<Sheet> menu_pictures() {
  using namespace slots::menu;
  std::vector<Sheet> p(kCount);
  p[kStar] = star_sheet();
  p[kCursor] = cursor_sheet("cursor");
  p[kTitle] = title_sheet();
  p[kStartItem] = menu_item_sheet("start", 100, U"NOVÁ HRA");
  p[kQuitItem] = menu_item_sheet("quit", 80, U"KONEC");
  p[kScoresItem] = menu_item_sheet("high scores", 80, U"REKORDY");
  return p;
}

Sheet splash_picture() {
  return make_sheet(
      "splash", 320, 240, 1, 1,
      [](int) {
        Canvas c(320, 240, 3);
        Rng rng(2024);
        for (int i = 0; i < 90; ++i) {
          float x = rng.range(0, 320), y = rng.range(0, 240), b = rng.range(0.3f, 1.0f);
          c.glow(x, y, rng.range(1.0f, 2.2f), rgb(0.8f * b, 0.85f * b, b), 1.0f);
        }
        // A planet low on the right, lit from the left like everything else.
        Noise n(3);
        const Vec3 light = normalize({-0.8f, -0.4f, 0.45f});
        const float pcx = 252, pcy = 170, R = 60;
        c.shade(pcx - R - 8, pcy - R - 8, pcx + R + 8, pcy + R + 8, [&](float x, float y) {
          float dx = (x - pcx) / R, dy = (y - pcy) / R, r2 = dx * dx + dy * dy;
          if (r2 > 1) {
            float d = std::sqrt(r2) - 1;
            if (d > 0.08f) return RGBA{};
            float k = (1 - d / 0.08f) * clamp01(0.2f + (dx * light.x + dy * light.y));
            return rgb(0.45f, 0.7f, 1.0f, k * k);
          }
          Vec3 nn{dx, dy, std::sqrt(1 - r2)};
          float v = 0.5f + 0.7f * n.fbm(nn.x * 2.5f, nn.y * 2.5f, nn.z * 2.5f, 5);
          RGBA col =
              v < 0.5f ? mix(opaque(0.05f, 0.15f, 0.45f), opaque(0.1f, 0.3f, 0.7f), v * 2)
                       : mix(opaque(0.2f, 0.5f, 0.25f), opaque(0.75f, 0.7f, 0.55f), (v - 0.5f) * 2);
          float k = 0.05f + 0.95f * std::max(0.0f, dot(nn, light));
          return RGBA{col.r * k + 0.03f, col.g * k + 0.03f, col.b * k + 0.05f, 1};
        });
        // The ship crossing in front of it.
        Mesh ship = ship_mesh();
        ship.transform([](Vec3 v) { return turn_z(v * 1.25f, 60); });
        View view;
        view.cx = 100;
        view.cy = 172;
        c.glow(100 - 44, 172 + 12, 10, rgb(1.0f, 0.6f, 0.2f, 0.9f), 2.5f);
        render(c, ship, view);
        draw_title(c, 160, 62, 64);
        c.text_centered(kFont, 13, U"vesmírná střílečka", 160, 104,
                        [](float, float) { return opaque(0.75f, 0.85f, 1.0f); });
        return c.resolve();
      },
      24);
}

}  // namespace assets
