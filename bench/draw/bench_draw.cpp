// Rotated sprite drawing on an 800 x 600 RGB565 surface: destination pixels
// written per second for the plain, blended and additive rules. And the
// presenters' shrink of a frame onto a smaller screen (800 x 600 onto
// 640 x 480, 1920 x 1080 onto 1366 x 768).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "media/sprite_rotate.h"
#include "media/surface.h"
#include "platform/fonts.h"
#include "platform/frame_shrink.h"
#include "platform/services.h"

namespace {

using media::TBlendRule;

// A sprite with a keyed-out background, like the game's pictures.
media::TDirectDrawSurface& Sprite(int size) {
  static media::TDirectDrawSurface s64(64, 64), s256(256, 256);
  media::TDirectDrawSurface& s = size == 64 ? s64 : s256;
  static bool filled[2] = {false, false};
  bool& f = filled[size == 64 ? 0 : 1];
  if (!f) {
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const double dx = x - size / 2.0, dy = y - size / 2.0;
        const bool in = dx * dx + dy * dy < size * size / 4.0;
        s.Pixels()[y * size + x] = in ? uint16_t(0x1000 + x * 7 + y * 131) : 0;
      }
    s.SetColorKey(0);
    f = true;
  }
  return s;
}

// Pixels a draw writes to: the ones that map inside the source rectangle.
int64_t CoveredPixels(int size, int angle) {
  media::TDirectDrawSurface probe(800, 600);
  probe.FillSurface(0);
  media::TDirectDrawSurface solid(size, size);
  solid.FillSurface(0xFFFF);
  media::DrawRotated(&probe, 400, 300, size, size, &solid, media::TRect{0, 0, size, size}, 0.5, 0.5,
                     angle, 255, TBlendRule::Plain, false);
  int64_t n = 0;
  for (int i = 0; i < 800 * 600; ++i) n += probe.Pixels()[i] != 0;
  return n;
}

void BM_Rotated(benchmark::State& state) {
  const int size = int(state.range(0));
  const int angle = int(state.range(1));
  const int alpha = int(state.range(2));
  const auto rule = static_cast<TBlendRule>(state.range(3));
  const bool keyed = state.range(4) != 0;
  media::TDirectDrawSurface dest(800, 600);
  dest.FillSurface(0x4208);
  auto& src = Sprite(size);
  const media::TRect rect{0, 0, size, size};
  const int64_t covered = CoveredPixels(size, angle);
  int i = 0;
  for (auto _ : state) {
    // Move across the surface so the work is not one cached spot.
    const int x = 150 + (i * 37) % 500, y = 150 + (i * 53) % 300;
    media::DrawRotated(&dest, x, y, size, size, &src, rect, 0.5, 0.5, angle, alpha, rule, keyed);
    benchmark::DoNotOptimize(dest.Pixels());
    ++i;
  }
  state.counters["Mpx/s"] = benchmark::Counter(double(covered) * double(state.iterations()) / 1e6,
                                               benchmark::Counter::kIsRate);
}

void Args(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "angle", "alpha", "rule", "keyed"});
  for (int size : {64, 256}) {
    for (int angle : {0, 37, 64}) {
      b->Args({size, angle, 255, int(TBlendRule::Plain), 1});
      b->Args({size, angle, 128, int(TBlendRule::Blended), 1});
    }
    b->Args({size, 37, 255, int(TBlendRule::Plain), 0});
    b->Args({size, 37, 200, int(TBlendRule::Additive), 1});
    b->Args({size, 37, 255, int(TBlendRule::Additive), 1});
  }
}

BENCHMARK(BM_Rotated)->Apply(Args);

}  // namespace

namespace {

// A line of canvas text as the in-game readouts draw it every frame.
void BM_TextOut(benchmark::State& state) {
  platform::services().fonts = &platform::default_font_rasterizer();
  media::TDirectDrawSurface dest(800, 600);
  auto& c = dest.GetCanvas();
  c.Brush.Style = media::TBrushStyle::bsClear;
  c.Font.Name = state.range(0) ? "Impact" : "Arial";
  c.Font.Size = state.range(0) ? 10 : 8;
  c.Font.Color = media::RGBColor(255, 0, 0);
  for (auto _ : state) {
    c.TextOut(100, 100, "Odolnost 100% Zamířen");
    benchmark::DoNotOptimize(dest.Pixels());
  }
}
BENCHMARK(BM_TextOut)->Arg(0)->Arg(1);

void BM_Shrink(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  const int ow = int(state.range(2)), oh = int(state.range(3));
  std::vector<uint16_t> frame(size_t(w) * size_t(h));
  uint32_t v = 1;
  for (auto& p : frame) p = uint16_t((v = v * 1664525u + 1013904223u) >> 16);
  std::vector<uint32_t> out(size_t(ow) * size_t(oh));
  platform::FrameShrink shrink;
  for (auto _ : state) {
    shrink.shrink(frame.data(), w, h, w, out.data(), ow, oh, ow);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * ow * oh);
}
BENCHMARK(BM_Shrink)
    ->Args({800, 600, 640, 480})
    ->Args({1920, 1080, 1365, 768})
    ->Unit(benchmark::kMillisecond);

}  // namespace
