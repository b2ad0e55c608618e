// Cost of mixing one second of output (44100 Hz stereo) with a number of
// voices playing: looping 16-bit mono sounds at 22050 Hz, the game's kind,
// plus one 8-bit stereo voice at 11025 Hz when there are several.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/mixer.h"

namespace {

void MixOneSecond(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  platform::Mixer m;
  std::vector<uint8_t> mono(2 * 22050);
  for (size_t i = 0; i < mono.size(); ++i) mono[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> stereo8(2 * 11025);
  for (size_t i = 0; i < stereo8.size(); ++i) stereo8[i] = static_cast<uint8_t>(i * 3);
  for (int v = 0; v < voices; ++v) {
    platform::SoundDevice::Buffer b;
    if (v == voices - 1 && voices > 1) {
      b = m.create_buffer({2, 11025, 8}, static_cast<uint32_t>(stereo8.size()));
      m.write(b, 0, stereo8);
    } else {
      b = m.create_buffer({1, 22050, 16}, static_cast<uint32_t>(mono.size()));
      m.write(b, 0, mono);
    }
    m.set_pan(b, (v * 1300) % 20001 - 10000);
    m.set_volume(b, -v * 50);
    m.play(b, true);
  }
  // The audio callback's usual block size.
  constexpr size_t kBlock = 1024;
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    for (size_t done = 0; done < m.output_rate(); done += kBlock) {
      m.mix(out.data(), kBlock);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetLabel("per second of audio");
}

}  // namespace

BENCHMARK(MixOneSecond)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond);
