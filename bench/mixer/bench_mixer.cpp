// Cost of mixing one second of output (stereo, 1024-frame blocks as the audio
// callback asks for them) with a number of voices playing: looping 16-bit
// mono sounds at 22050 Hz, the game's kind, plus one 8-bit stereo voice at
// 11025 Hz when there are several. "Linear" is the mixer as it was before
// the filtered resampling and the limiter (linear interpolation, integer
// sum, clamped), kept here as the reference; "Mixer" is platform::Mixer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/mixer.h"

namespace {

constexpr size_t kBlock = 1024;

std::vector<uint8_t> mono16() {
  std::vector<uint8_t> b(2 * 22050);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7);
  return b;
}

std::vector<uint8_t> stereo8() {
  std::vector<uint8_t> b(2 * 11025);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 3);
  return b;
}

// The earlier mixing loop, reduced to what the measurement needs.
struct LinearVoice {
  const std::vector<uint8_t>* bytes;
  uint32_t channels, frames;
  bool eight;
  uint64_t pos = 0, step;
  int64_t gl, gr;
};

inline int32_t sample_at(const uint8_t* base, uint32_t frame, uint32_t channel, uint32_t channels,
                         bool eight_bit) {
  size_t i = static_cast<size_t>(frame) * channels + channel;
  if (eight_bit) return (static_cast<int32_t>(base[i]) - 128) * 256;
  return static_cast<int16_t>(static_cast<uint16_t>(base[2 * i] | (base[2 * i + 1] << 8)));
}

void linear_mix(std::vector<LinearVoice>& voices, int16_t* out, size_t frames) {
  constexpr size_t kChunk = 256;
  int32_t acc[2 * kChunk];
  while (frames > 0) {
    size_t n = std::min(frames, kChunk);
    std::fill(acc, acc + 2 * n, 0);
    for (LinearVoice& v : voices) {
      const uint8_t* base = v.bytes->data();
      const uint64_t end = uint64_t(v.frames) << 32;
      for (size_t i = 0; i < n; ++i) {
        if (v.pos >= end) v.pos %= end;
        uint32_t f0 = uint32_t(v.pos >> 32), f1 = f0 + 1;
        if (f1 >= v.frames) f1 = 0;
        const int32_t frac = int32_t((v.pos >> 16) & 0xFFFF);
        int32_t l0 = sample_at(base, f0, 0, v.channels, v.eight);
        int32_t l1 = sample_at(base, f1, 0, v.channels, v.eight);
        int32_t l = l0 + (((l1 - l0) * frac) >> 16), r = l;
        if (v.channels == 2) {
          int32_t r0 = sample_at(base, f0, 1, v.channels, v.eight);
          int32_t r1 = sample_at(base, f1, 1, v.channels, v.eight);
          r = r0 + (((r1 - r0) * frac) >> 16);
        }
        acc[2 * i] += int32_t((l * v.gl) >> 16);
        acc[2 * i + 1] += int32_t((r * v.gr) >> 16);
        v.pos += v.step;
      }
    }
    for (size_t i = 0; i < 2 * n; ++i) out[i] = int16_t(std::clamp<int32_t>(acc[i], -32768, 32767));
    out += 2 * n;
    frames -= n;
  }
}

void Linear(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  const uint32_t rate = static_cast<uint32_t>(state.range(1));
  const auto mono = mono16();
  const auto st8 = stereo8();
  std::vector<LinearVoice> vs;
  for (int v = 0; v < voices; ++v) {
    const bool last = v == voices - 1 && voices > 1;
    const uint64_t step = (uint64_t(last ? 11025 : 22050) << 32) / rate;
    vs.push_back({last ? &st8 : &mono, last ? 2u : 1u, last ? 11025u : 22050u, last, 0, step,
                  65536 * 7 / 10, 65536 * 5 / 10});
  }
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    for (size_t done = 0; done < rate; done += kBlock) {
      linear_mix(vs, out.data(), kBlock);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetLabel("per second of audio");
}

void Mixer(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  platform::Mixer m(static_cast<uint32_t>(state.range(1)));
  const auto mono = mono16();
  const auto st8 = stereo8();
  for (int v = 0; v < voices; ++v) {
    platform::SoundDevice::Buffer b;
    if (v == voices - 1 && voices > 1) {
      b = m.create_buffer({2, 11025, 8}, static_cast<uint32_t>(st8.size()));
      m.write(b, 0, st8);
    } else {
      b = m.create_buffer({1, 22050, 16}, static_cast<uint32_t>(mono.size()));
      m.write(b, 0, mono);
    }
    m.set_pan(b, (v * 1300) % 20001 - 10000);
    m.set_volume(b, -v * 50);
    m.play(b, true);
  }
  std::vector<int16_t> out(2 * kBlock);
  for (auto _ : state) {
    for (size_t done = 0; done < m.output_rate(); done += kBlock) {
      m.mix(out.data(), kBlock);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetLabel("per second of audio");
}

void Args(benchmark::internal::Benchmark* b) {
  for (int rate : {44100, 48000})
    for (int voices : {1, 4, 16}) b->Args({voices, rate});
  b->ArgNames({"voices", "rate"});
  b->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(Linear)->Apply(Args);
BENCHMARK(Mixer)->Apply(Args);
