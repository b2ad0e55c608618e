// Time to load a picture container of about 2 MB (the size of the game's
// in-game pictures), and to write one.
#include <benchmark/benchmark.h>

#include "media/container.h"
#include "media/dxdraw.h"
#include "media/pictures.h"
#include "platform/headless/headless.h"

namespace {

// 16-bit pictures of the kinds the game holds: a tall strip of ship
// patterns, a few pattern sheets and small sprites, about 2 MB in all.
std::vector<uint8_t> MakeContainer() {
  media::TPictureCollection c;
  auto add = [&](int w, int h, int bits) {
    std::vector<uint32_t> px(size_t(w) * h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
    auto& it = c.Add();
    it.Picture = media::TDIB::FromPixels(w, h, bits, px);
    it.PatternWidth = w < 64 ? w : 64;
    it.PatternHeight = 64;
  };
  add(64, 128 * 64, 16);                          // 1 MB ship strip
  for (int i = 0; i < 12; ++i) add(640, 64, 16);  // sheets, 80 KB each
  for (int i = 0; i < 20; ++i) add(32, 32, 24);
  return media::SaveCollectionStream(c, "OBRAZKY");
}

void BM_LoadPictureContainer(benchmark::State& state) {
  const std::vector<uint8_t> bytes = MakeContainer();
  for (auto _ : state) {
    media::TPictureCollection c;
    media::LoadCollectionStream(c, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(c.Count());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  state.counters["container_bytes"] = double(bytes.size());
}
BENCHMARK(BM_LoadPictureContainer)->Unit(benchmark::kMillisecond);

// The same with the display running: the load also cuts the patterns onto
// surfaces, as when the game switches between menu and play.
void BM_LoadPictureContainerIntoDisplay(benchmark::State& state) {
  const std::vector<uint8_t> bytes = MakeContainer();
  platform::headless::Backend backend;
  backend.install(false);
  media::TDXDraw display;
  media::TDXImageList images;
  images.SetDXDraw(&display);
  display.InitializeDisplay();
  for (auto _ : state) {
    media::LoadCollectionStream(images.Items, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(images.Items.ItemAt(0).PatternCount());
  }
  display.FinalizeDisplay();
}
BENCHMARK(BM_LoadPictureContainerIntoDisplay)->Unit(benchmark::kMillisecond);

void BM_SavePictureContainer(benchmark::State& state) {
  const std::vector<uint8_t> bytes = MakeContainer();
  media::TPictureCollection c;
  media::LoadCollectionStream(c, bytes.data(), bytes.size());
  for (auto _ : state) benchmark::DoNotOptimize(media::SaveCollectionStream(c, "OBRAZKY"));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_SavePictureContainer)->Unit(benchmark::kMillisecond);

}  // namespace
