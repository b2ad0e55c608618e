#include "tools/assetgen/mesh.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>

namespace assets {

namespace {
constexpr float kPi = 3.14159265358979f;
}

void Mesh::append(const Mesh& o) {
  int base = int(v.size());
  v.insert(v.end(), o.v.begin(), o.v.end());
  for (const Tri& x : o.t) t.push_back({x.a + base, x.b + base, x.c + base, x.m});
}

void Mesh::transform(const std::function<Vec3(Vec3)>& f) {
  for (Vec3& p : v) p = f(p);
}

Mesh Mesh::lathe(const std::vector<Vec2>& profile, int segments, const Material& m, float phase) {
  Mesh out;
  for (size_t i = 0; i + 1 < profile.size(); ++i) {
    for (int s = 0; s < segments; ++s) {
      float a0 = 2 * kPi * (s + phase) / segments, a1 = 2 * kPi * (s + 1 + phase) / segments;
      Vec2 p = profile[i], q = profile[i + 1];
      Vec3 A{p.x * std::cos(a0), p.x * std::sin(a0), p.y};
      Vec3 B{p.x * std::cos(a1), p.x * std::sin(a1), p.y};
      Vec3 C{q.x * std::cos(a1), q.x * std::sin(a1), q.y};
      Vec3 D{q.x * std::cos(a0), q.x * std::sin(a0), q.y};
      if (p.x > 1e-6f && q.x > 1e-6f)
        out.quad(A, B, C, D, m);
      else if (p.x > 1e-6f)
        out.tri(A, B, C, m);
      else if (q.x > 1e-6f)
        out.tri(A, C, D, m);
    }
  }
  return out;
}

Mesh Mesh::extrude(const std::vector<Vec2>& o, float z0, float z1, const Material& top,
                   const Material& side) {
  Mesh out;
  // Fan triangulation: the outlines used here are convex or star-shaped
  // about their first point.
  for (size_t i = 1; i + 1 < o.size(); ++i) {
    out.tri({o[0].x, o[0].y, z1}, {o[i].x, o[i].y, z1}, {o[i + 1].x, o[i + 1].y, z1}, top);
    out.tri({o[0].x, o[0].y, z0}, {o[i].x, o[i].y, z0}, {o[i + 1].x, o[i + 1].y, z0}, side);
  }
  for (size_t i = 0; i < o.size(); ++i) {
    Vec2 a = o[i], b = o[(i + 1) % o.size()];
    out.quad({a.x, a.y, z0}, {b.x, b.y, z0}, {b.x, b.y, z1}, {a.x, a.y, z1}, side);
  }
  return out;
}

Mesh Mesh::box(Vec3 lo, Vec3 hi, const Material& m) {
  return extrude({{lo.x, lo.y}, {hi.x, lo.y}, {hi.x, hi.y}, {lo.x, hi.y}}, lo.z, hi.z, m, m);
}

Mesh Mesh::sphere(int subdivisions, float radius, const Material& m,
                  const std::function<float(Vec3)>& bump) {
  std::vector<std::array<Vec3, 3>> tris = {{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}},
                                           {Vec3{0, 1, 0}, Vec3{-1, 0, 0}, Vec3{0, 0, 1}},
                                           {Vec3{-1, 0, 0}, Vec3{0, -1, 0}, Vec3{0, 0, 1}},
                                           {Vec3{0, -1, 0}, Vec3{1, 0, 0}, Vec3{0, 0, 1}},
                                           {Vec3{0, 1, 0}, Vec3{1, 0, 0}, Vec3{0, 0, -1}},
                                           {Vec3{-1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, -1}},
                                           {Vec3{0, -1, 0}, Vec3{-1, 0, 0}, Vec3{0, 0, -1}},
                                           {Vec3{1, 0, 0}, Vec3{0, -1, 0}, Vec3{0, 0, -1}}};
  for (int s = 0; s < subdivisions; ++s) {
    std::vector<std::array<Vec3, 3>> next;
    for (auto& t : tris) {
      Vec3 ab = normalize(t[0] + t[1]), bc = normalize(t[1] + t[2]), ca = normalize(t[2] + t[0]);
      next.push_back({t[0], ab, ca});
      next.push_back({ab, t[1], bc});
      next.push_back({ca, bc, t[2]});
      next.push_back({ab, bc, ca});
    }
    tris.swap(next);
  }
  Mesh out;
  auto place = [&](Vec3 d) { return d * (radius * (1.0f + (bump ? bump(d) : 0.0f))); };
  for (auto& t : tris) out.tri(place(t[0]), place(t[1]), place(t[2]), m);
  return out;
}

Vec3 turn_z(Vec3 p, float deg) {
  float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
  // Clockwise seen from above: forward (0, 1) goes to (sin a, cos a).
  return {p.x * c + p.y * s, -p.x * s + p.y * c, p.z};
}
Vec3 turn_x(Vec3 p, float deg) {
  float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
  return {p.x, p.y * c - p.z * s, p.y * s + p.z * c};
}
Vec3 turn_y(Vec3 p, float deg) {
  float a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
  return {p.x * c + p.z * s, p.y, -p.x * s + p.z * c};
}

void render(Canvas& canvas, const Mesh& mesh, const View& view) {
  const int SW = canvas.sample_width(), SH = canvas.sample_height(), ss = canvas.ss();
  std::vector<float> depth(size_t(SW) * SH, -std::numeric_limits<float>::infinity());
  std::vector<RGBA> colour(size_t(SW) * SH);
  const float e = view.elevation_deg * kPi / 180, se = std::sin(e), ce = std::cos(e);
  const Vec3 to_eye{0, -ce, se};
  struct P {
    float x, y, z;
  };
  std::vector<P> proj(mesh.v.size());
  for (size_t i = 0; i < mesh.v.size(); ++i) {
    Vec3 p = mesh.v[i];
    proj[i] = {(view.cx + p.x * view.scale) * ss,
               (view.cy - (p.y * se + p.z * ce) * view.scale) * ss, -p.y * ce + p.z * se};
  }
  for (const Mesh::Tri& t : mesh.t) {
    Vec3 n = normalize(cross(mesh.v[t.b] - mesh.v[t.a], mesh.v[t.c] - mesh.v[t.a]));
    if (dot(n, to_eye) < 0) n = n * -1.0f;  // two-sided: the facet faces the viewer
    const Material& m = t.m;
    float diff = std::max(0.0f, dot(n, view.light));
    Vec3 h = normalize(view.light + to_eye);
    float shine = m.specular * std::pow(std::max(0.0f, dot(n, h)), 24.0f);
    float k = view.ambient + (1 - view.ambient) * diff;
    RGBA c;
    if (m.emissive > 0) {
      c = {mixf(m.r * k, m.r, m.emissive), mixf(m.g * k, m.g, m.emissive),
           mixf(m.b * k, m.b, m.emissive), 1};
    } else {
      c = {m.r * k + shine, m.g * k + shine, m.b * k + shine, 1};
    }
    c.r = clamp01(c.r);
    c.g = clamp01(c.g);
    c.b = clamp01(c.b);
    const P a = proj[t.a], b = proj[t.b], d = proj[t.c];
    float area = (b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x);
    if (std::fabs(area) < 1e-9f) continue;
    int x0 = std::max(0, int(std::floor(std::min({a.x, b.x, d.x}))));
    int x1 = std::min(SW - 1, int(std::ceil(std::max({a.x, b.x, d.x}))));
    int y0 = std::max(0, int(std::floor(std::min({a.y, b.y, d.y}))));
    int y1 = std::min(SH - 1, int(std::ceil(std::max({a.y, b.y, d.y}))));
    float inv = 1.0f / area;
    for (int y = y0; y <= y1; ++y) {
      float py = y + 0.5f;
      for (int x = x0; x <= x1; ++x) {
        float px = x + 0.5f;
        float w0 = ((b.x - px) * (d.y - py) - (b.y - py) * (d.x - px)) * inv;
        float w1 = ((d.x - px) * (a.y - py) - (d.y - py) * (a.x - px)) * inv;
        float w2 = 1 - w0 - w1;
        if (w0 < 0 || w1 < 0 || w2 < 0) continue;
        float z = w0 * a.z + w1 * b.z + w2 * d.z;
        size_t idx = size_t(y) * SW + x;
        if (z <= depth[idx]) continue;
        depth[idx] = z;
        colour[idx] = c;
      }
    }
  }
  for (int y = 0; y < SH; ++y)
    for (int x = 0; x < SW; ++x) {
      const RGBA& c = colour[size_t(y) * SW + x];
      if (c.a > 0) canvas.over(x, y, c);
    }
}

}  // namespace assets
