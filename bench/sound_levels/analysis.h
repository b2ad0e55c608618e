#pragma once
// Measures of a stereo 16-bit recording: how much of it reaches full scale,
// and how much of its energy lies above a given frequency (for sounds made at
// a lower rate than the output, that energy is what resampling left behind).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sound_levels {

struct Levels {
  size_t frames = 0;
  double peak_dbfs = -200;
  double rms_dbfs = -200;
  uint64_t full_scale_samples = 0;  // samples at 32767 or -32768
  size_t windows = 0;               // whole 100 ms windows
  size_t full_scale_windows = 0;    // windows holding at least one such sample
};

// Clipping and level figures of interleaved stereo samples at rate.
Levels measure_levels(const std::vector<int16_t>& stereo, uint32_t rate);

// Energy of the band [from_hz, to_hz) relative to the band [0, split_hz), in
// decibels, from the power spectrum averaged over the whole recording (both
// channels, Hann windows of 4096 frames overlapping by half). -200 when
// either band is empty.
struct Spectrum {
  std::vector<double> power;  // per bin, 0..rate/2
  double bin_hz = 0;
};
Spectrum average_spectrum(const std::vector<int16_t>& stereo, uint32_t rate);
double band_ratio_db(const Spectrum& s, double from_hz, double to_hz, double split_hz);

}  // namespace sound_levels
