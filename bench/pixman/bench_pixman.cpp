// Our rotated, scaled sprite drawing against pixman doing the same operation
// on the same 800 x 600 RGB565 surface, in one run.
//
// Both sides draw the same sprites (a disc on a keyed-out square, 64 x 64 and
// 256 x 256) at the same places, angles, sizes and alphas with nearest
// sampling. Pixman has no colour key, so its copy of the sprite is a8r8g8b8
// with the keyed pixels made fully transparent (converted once, outside the
// timing); the rules map as
//   plain          -> OVER (transparent pixels leave the destination alone)
//   blended, alpha -> OVER through a solid alpha mask
//   additive       -> ADD, through a solid alpha mask below 255
// Unkeyed plain draws give pixman an r5g6b5 source, which is opaque inside
// and transparent outside the sprite, the same as our unkeyed copy.
//
// Before timing, every case is drawn once by both onto a clean surface and
// the share of pixels that differ is printed, so a mismatch in what is being
// compared shows at once. After the run a table gives each case's time ratio
// (pixman / ours in CPU time, > 1 means we are faster), from the medians when
// --benchmark_repetitions is given.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/sprite_rotate.h"
#include "media/surface.h"

namespace {

using media::TBlendRule;
constexpr int kW = 800, kH = 600;

struct Case {
  int size;   // sprite side in pixels
  int scale;  // on-screen size in percent of the sprite side
  int angle;  // 1/256 of a turn
  int alpha;  // 0..255
  TBlendRule rule;
  bool keyed;
  std::string Name() const {
    static const char* rules[] = {"plain", "additive", "blended"};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s/size:%d/scale:%d/angle:%d/alpha:%d/%s", rules[int(rule)],
                  size, scale, angle, alpha, keyed ? "keyed" : "unkeyed");
    return buf;
  }
};

std::vector<Case> Cases() {
  std::vector<Case> v;
  for (int size : {64, 256}) {
    for (int angle : {0, 37, 64}) {
      v.push_back({size, 100, angle, 255, TBlendRule::Plain, true});
      v.push_back({size, 100, angle, 128, TBlendRule::Blended, true});
    }
    v.push_back({size, 150, 37, 128, TBlendRule::Blended, true});
    v.push_back({size, 50, 37, 128, TBlendRule::Blended, true});
    v.push_back({size, 100, 37, 255, TBlendRule::Plain, false});
    v.push_back({size, 100, 37, 200, TBlendRule::Additive, true});
    v.push_back({size, 100, 37, 255, TBlendRule::Additive, true});
  }
  return v;
}

// The sprite on our surface type; key 0 outside the disc.
struct Sprite {
  media::TDirectDrawSurface ours;
  std::vector<uint32_t> argb;  // pixman's copy, keyed pixels transparent
  pixman_image_t* keyed = nullptr;
  pixman_image_t* opaque = nullptr;  // r5g6b5 over our own pixels
  explicit Sprite(int size) : ours(size, size), argb(size_t(size) * size) {
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const double dx = x - size / 2.0, dy = y - size / 2.0;
        const bool in = dx * dx + dy * dy < size * size / 4.0;
        const uint16_t p = in ? uint16_t(0x1000 + x * 7 + y * 131) : 0;
        ours.Pixels()[y * size + x] = p;
        if (p == 0) {
          argb[size_t(y) * size + x] = 0;
        } else {
          // Bits replicated, so writing back to 565 gives p again.
          const uint32_t r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
          const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4),
                         b = (b5 << 3) | (b5 >> 2);
          argb[size_t(y) * size + x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
      }
    ours.SetColorKey(0);
    keyed = pixman_image_create_bits(PIXMAN_a8r8g8b8, size, size, argb.data(), size * 4);
    opaque = pixman_image_create_bits(PIXMAN_r5g6b5, size, size,
                                      reinterpret_cast<uint32_t*>(ours.Pixels()), size * 2);
    for (pixman_image_t* i : {keyed, opaque})
      pixman_image_set_filter(i, PIXMAN_FILTER_NEAREST, nullptr, 0);
  }
  ~Sprite() {
    pixman_image_unref(keyed);
    pixman_image_unref(opaque);
  }
};

Sprite& SpriteOf(int size) {
  static Sprite s64(64), s256(256);
  return size == 64 ? s64 : s256;
}

// A destination surface with pixman's view of the same pixels.
struct Dest {
  media::TDirectDrawSurface surface{kW, kH};
  pixman_image_t* image;
  Dest() {
    surface.FillSurface(0x4208);
    image = pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH,
                                     reinterpret_cast<uint32_t*>(surface.Pixels()), kW * 2);
  }
  ~Dest() { pixman_image_unref(image); }
};

void DrawOurs(Dest& d, const Case& c, int x, int y) {
  Sprite& s = SpriteOf(c.size);
  const int w = c.size * c.scale / 100;
  media::DrawRotated(&d.surface, x, y, w, w, &s.ours, media::TRect{0, 0, c.size, c.size}, 0.5, 0.5,
                     c.angle, c.alpha, c.rule, c.keyed);
}

// Pixman's side: the inverse mapping as a transform (destination pixel to
// sprite pixel), composited over the same clipped bounding box of the four
// turned corners that our renderer walks.
void DrawPixman(Dest& d, const Case& c, int x, int y, pixman_image_t* mask) {
  Sprite& s = SpriteOf(c.size);
  pixman_image_t* src = c.keyed ? s.keyed : s.opaque;
  const int w = c.size * c.scale / 100;
  const auto& cos_table = media::CosTable();
  const double co = cos_table[size_t(c.angle & 255)];
  const double si = cos_table[size_t((c.angle + 192) & 255)];
  const double k = double(c.size) / w;
  const double cx = c.size * 0.5, cy = c.size * 0.5;
  pixman_f_transform f;
  f.m[0][0] = k * co;
  f.m[0][1] = k * si;
  f.m[0][2] = cx - k * (co * x + si * y);
  f.m[1][0] = -k * si;
  f.m[1][1] = k * co;
  f.m[1][2] = cy - k * (-si * x + co * y);
  f.m[2][0] = 0;
  f.m[2][1] = 0;
  f.m[2][2] = 1;
  pixman_transform t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(src, &t);

  int x0 = kW, y0 = kH, x1 = -1, y1 = -1;
  for (int u : {0, w})
    for (int v : {0, w}) {
      const int cu = int(u - w * 0.5), cv = int(v - w * 0.5);
      const int px = x + int(cu * co - cv * si), py = y + int(cu * si + cv * co);
      x0 = std::min(x0, px);
      x1 = std::max(x1, px);
      y0 = std::min(y0, py);
      y1 = std::max(y1, py);
    }
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, kW - 1);
  y1 = std::min(y1, kH - 1);
  if (x1 < x0 || y1 < y0) return;

  pixman_op_t op = c.rule == TBlendRule::Additive ? PIXMAN_OP_ADD : PIXMAN_OP_OVER;
  pixman_image_t* m = (c.rule != TBlendRule::Plain && c.alpha < 255) ? mask : nullptr;
  pixman_image_composite32(op, src, m, d.image, x0, y0, 0, 0, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
}

pixman_image_t* AlphaMask(int alpha) {
  pixman_color_t col{0, 0, 0, uint16_t(alpha * 257)};
  return pixman_image_create_solid_fill(&col);
}

// Where the i-th draw of a run goes: across the surface, so the work is not
// one cached spot, and always fully inside it.
void Place(int i, int& x, int& y) {
  x = 150 + (i * 37) % 500;
  y = 150 + (i * 53) % 300;
}

void BM_Ours(benchmark::State& state, Case c) {
  Dest d;
  int i = 0;
  for (auto _ : state) {
    int x, y;
    Place(i++, x, y);
    DrawOurs(d, c, x, y);
    benchmark::DoNotOptimize(d.surface.Pixels());
  }
}

void BM_Pixman(benchmark::State& state, Case c) {
  Dest d;
  pixman_image_t* mask = AlphaMask(c.alpha);
  int i = 0;
  for (auto _ : state) {
    int x, y;
    Place(i++, x, y);
    DrawPixman(d, c, x, y, mask);
    benchmark::DoNotOptimize(d.surface.Pixels());
  }
  pixman_image_unref(mask);
}

// Share of destination pixels where the two results differ, and of those
// touched by either, for one draw of the case.
void Compare(const Case& c) {
  Dest a, b;
  a.surface.FillSurface(0x4208);
  b.surface.FillSurface(0x4208);
  DrawOurs(a, c, 400, 300);
  pixman_image_t* mask = AlphaMask(c.alpha);
  DrawPixman(b, c, 400, 300, mask);
  pixman_image_unref(mask);
  long diff = 0, touched = 0, far = 0;
  for (int i = 0; i < kW * kH; ++i) {
    const uint16_t p = a.surface.Pixels()[i], q = b.surface.Pixels()[i];
    touched += p != 0x4208 || q != 0x4208;
    if (p != q) {
      ++diff;
      // More than one step in any channel: not just rounding.
      const int dr = std::abs((p >> 11) - (q >> 11)),
                dg = std::abs(((p >> 5) & 63) - ((q >> 5) & 63)),
                db = std::abs((p & 31) - (q & 31));
      far += dr > 1 || dg > 2 || db > 1;
    }
  }
  std::printf("  %-52s %7ld px drawn, %6.2f%% differ, %6.2f%% by more than rounding\n",
              c.Name().c_str(), touched, touched ? 100.0 * diff / touched : 0.0,
              touched ? 100.0 * far / touched : 0.0);
}

// Collects the times to print the ratio table at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      const bool aggregate = r.run_type == Run::RT_Aggregate;
      if (aggregate && r.aggregate_name != "median" && r.aggregate_name != "stddev") continue;
      const std::string name = r.run_name.function_name;  // "Ours/..." or "Pixman/..."
      const auto slash = name.find('/');
      Times& t = times_[name.substr(slash + 1)];
      Side& side = name.substr(0, slash) == "Ours" ? t.ours : t.pixman;
      if (aggregate && r.aggregate_name == "stddev")
        side.stddev = r.GetAdjustedCPUTime();
      else if (aggregate || side.median == 0)
        side.median = r.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\nCPU time per draw, median (standard deviation) in microseconds\n");
    std::printf("%-52s %16s %16s %6s\n", "case", "ours", "pixman", "ratio");
    for (const auto& [key, t] : times_) {
      if (t.ours.median <= 0 || t.pixman.median <= 0) continue;
      std::printf("%-52s %8.1f (%5.1f) %8.1f (%5.1f) %6.2f\n", key.c_str(), t.ours.median / 1e3,
                  t.ours.stddev / 1e3, t.pixman.median / 1e3, t.pixman.stddev / 1e3,
                  t.pixman.median / t.ours.median);
    }
  }

 private:
  struct Side {
    double median = 0, stddev = 0;
  };
  struct Times {
    Side ours, pixman;
  };
  std::map<std::string, Times> times_;
};

}  // namespace

int main(int argc, char** argv) {
  std::printf("Agreement of the two results (one draw at the centre):\n");
  for (const Case& c : Cases()) Compare(c);
  std::printf("\n");
  for (const Case& c : Cases()) {
    benchmark::RegisterBenchmark(("Ours/" + c.Name()).c_str(), BM_Ours, c);
    benchmark::RegisterBenchmark(("Pixman/" + c.Name()).c_str(), BM_Pixman, c);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
