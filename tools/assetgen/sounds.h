#pragma once
// The game's sound effects, synthesised: 16-bit mono PCM.
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

constexpr uint32_t kSampleRate = 22050;

struct Sound {
  std::string name;
  std::vector<int16_t> samples;
};

// Index = wave number the game plays (0 is a short silence, never played).
std::vector<Sound> game_sounds();

// Scales a signal so its loudest sample sits at `peak` (0..1 of full scale)
// and fades its first and last milliseconds so it starts and stops without a
// click. Exposed for tests.
std::vector<int16_t> finish(std::vector<float> signal, float peak, float fade_ms = 4.0f);

}  // namespace assets
