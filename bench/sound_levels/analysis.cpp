#include "bench/sound_levels/analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace sound_levels {

namespace {

double to_db(double ratio) { return ratio > 0 ? 10 * std::log10(ratio) : -200; }

// In-place iterative radix-2 FFT (size a power of two).
void fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double ang = -2 * std::numbers::pi / double(len);
    const std::complex<double> w(std::cos(ang), std::sin(ang));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> wk(1);
      for (size_t k = 0; k < len / 2; ++k) {
        const auto u = a[i + k], v = a[i + k + len / 2] * wk;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        wk *= w;
      }
    }
  }
}

}  // namespace

Levels measure_levels(const std::vector<int16_t>& stereo, uint32_t rate) {
  Levels l;
  l.frames = stereo.size() / 2;
  const size_t window = rate / 10;
  double sum = 0;
  int peak = 0;
  bool window_hit = false;
  for (size_t i = 0; i < 2 * l.frames; ++i) {
    const int s = stereo[i];
    sum += double(s) * s;
    peak = std::max(peak, std::abs(s));
    if (s >= 32767 || s <= -32768) {
      ++l.full_scale_samples;
      window_hit = true;
    }
    if ((i / 2 + 1) % window == 0 && i % 2 == 1) {
      ++l.windows;
      l.full_scale_windows += window_hit ? 1 : 0;
      window_hit = false;
    }
  }
  if (l.frames > 0) {
    l.peak_dbfs = 20 * std::log10(std::max(peak, 1) / 32768.0);
    l.rms_dbfs = to_db(sum / double(2 * l.frames) / (32768.0 * 32768.0));
  }
  return l;
}

Spectrum average_spectrum(const std::vector<int16_t>& stereo, uint32_t rate) {
  constexpr size_t kN = 4096;
  Spectrum s;
  s.bin_hz = double(rate) / kN;
  s.power.assign(kN / 2 + 1, 0.0);
  std::vector<double> hann(kN);
  for (size_t i = 0; i < kN; ++i)
    hann[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(kN));
  std::vector<std::complex<double>> buf(kN);
  const size_t frames = stereo.size() / 2;
  for (size_t start = 0; start + kN <= frames; start += kN / 2) {
    for (int ch = 0; ch < 2; ++ch) {
      for (size_t i = 0; i < kN; ++i) buf[i] = hann[i] * stereo[2 * (start + i) + ch] / 32768.0;
      fft(buf);
      for (size_t k = 0; k <= kN / 2; ++k) s.power[k] += std::norm(buf[k]);
    }
  }
  return s;
}

double band_ratio_db(const Spectrum& s, double from_hz, double to_hz, double split_hz) {
  double band = 0, base = 0;
  for (size_t k = 1; k < s.power.size(); ++k) {  // bin 0 (offset) left out
    const double f = double(k) * s.bin_hz;
    if (f < split_hz) base += s.power[k];
    if (f >= from_hz && f < to_hz) band += s.power[k];
  }
  if (band <= 0 || base <= 0) return -200;
  return to_db(band / base);
}

}  // namespace sound_levels
