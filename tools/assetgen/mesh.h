#pragma once
// A tiny flat-shaded mesh renderer for the ship, the enemies and the meteor.
// World axes: x to the right, y forward (away from the viewer), z up. The
// camera looks down at 30 degrees, so a circle on the ground becomes a 2:1
// ellipse on the screen.
#include <functional>
#include <vector>

#include "tools/assetgen/raster.h"

namespace assets {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 normalize(Vec3 a) {
  float l = std::sqrt(dot(a, a));
  return l > 0 ? a * (1.0f / l) : a;
}

struct Material {
  float r = 0.7f, g = 0.7f, b = 0.7f;
  float specular = 0.3f;  // strength of the highlight
  float emissive = 0.0f;  // 1 = glows at full colour regardless of light
};

struct Mesh {
  struct Tri {
    int a, b, c;
    Material m;
  };
  std::vector<Vec3> v;
  std::vector<Tri> t;

  int vertex(Vec3 p) {
    v.push_back(p);
    return int(v.size()) - 1;
  }
  void tri(Vec3 a, Vec3 b, Vec3 c, const Material& m) {
    t.push_back({vertex(a), vertex(b), vertex(c), m});
  }
  void quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, const Material& m) {
    tri(a, b, c, m);
    tri(a, c, d, m);
  }
  void append(const Mesh& o);
  // Applies f to every vertex.
  void transform(const std::function<Vec3(Vec3)>& f);

  // Surface of revolution about the z axis through `profile` points (radius,
  // height), with `segments` facets around.
  static Mesh lathe(const std::vector<Vec2>& profile, int segments, const Material& m,
                    float phase = 0.0f);
  // A flat polygon in the x-y plane extruded between heights z0 and z1.
  static Mesh extrude(const std::vector<Vec2>& outline, float z0, float z1, const Material& top,
                      const Material& side);
  static Mesh box(Vec3 lo, Vec3 hi, const Material& m);
  // Sphere subdivided from an octahedron; `bump` displaces each vertex
  // radially by bump(direction).
  static Mesh sphere(int subdivisions, float radius, const Material& m,
                     const std::function<float(Vec3)>& bump = {});
};

struct View {
  float elevation_deg = 30.0f;                     // camera angle above the horizon
  float scale = 1.0f;                              // output pixels per world unit
  float cx = 0, cy = 0;                            // screen position of the world origin
  Vec3 light = normalize({-0.75f, 0.25f, 0.65f});  // towards the light: from the left, above
  float ambient = 0.22f;
};

// Draws the mesh over the canvas with a depth buffer of its own.
void render(Canvas& canvas, const Mesh& mesh, const View& view);

// Rotation about the vertical axis, clockwise seen from above by `deg`.
Vec3 turn_z(Vec3 p, float deg);
Vec3 turn_x(Vec3 p, float deg);
Vec3 turn_y(Vec3 p, float deg);

}  // namespace assets
