#pragma once
// Samples for the mixer's and the sound component's tests: 16-bit PCM
// bytes, and what a sample played at its own level becomes at the output.
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/mixer.h"

namespace test_pcm {

inline std::vector<uint8_t> Pcm16(const std::vector<int16_t>& s) {
  std::vector<uint8_t> b;
  for (int16_t v : s) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return b;
}

// The mix keeps a fixed headroom.
inline int16_t Out(double sample) {
  return int16_t(std::lround(sample * platform::Limiter::kHeadroom));
}

}  // namespace test_pcm
