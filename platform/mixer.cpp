#include "platform/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>


namespace platform {

namespace {

constexpr uint32_t kMinRate = 100;
constexpr uint32_t kMaxRate = 200000;

// The resampling filter: a Kaiser-windowed sinc 32 source frames wide,
// tabulated at 256 phases per frame. Its cutoff sits at 0.43 of the source
// rate (9.5 kHz for 22050 Hz sounds): flat within 0.03 dB up to 8 kHz, and
// from 0.55 of the source rate on (12.1 kHz) everything is at least 85 dB
// down, so the mirror images of the sound above its Nyquist frequency are
// gone.
constexpr int kHalf = 16;
constexpr int kTaps = 2 * kHalf;
constexpr int kPhaseBits = 8;
constexpr int kPhases = 1 << kPhaseBits;
constexpr double kCutoff = 0.43;
constexpr double kBeta = 8.0;
// Sounds faster than the output are filtered at the output's Nyquist
// frequency instead, which widens the filter; beyond eight times the
// output rate it stays at eight times as wide (and lets some alias through)
// so that a voice costs at most 257 taps.
constexpr int kMaxWiden = 8;
constexpr int kWideTaps = 2 * kHalf * kMaxWiden + 1;
// Silence kept before and after each sound's samples: the widest filter
// reads this far past either end.
constexpr uint32_t kPad = kHalf * kMaxWiden + 2;

double bessel_i0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 40; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
  }
  return sum;
}

struct Kernel {
  // fine[m] = h(m / kPhases - kHalf): the filter at every phase step.
  float fine[kTaps * kPhases + 1];
  // poly[p][k] weighs source frame i - kHalf + 1 + k for a position i + p /
  // kPhases; each row sums to 1 so a constant stays exactly constant.
  alignas(16) float poly[kPhases + 1][kTaps];

  Kernel() {
    const double i0b = bessel_i0(kBeta);
    for (int m = 0; m <= kTaps * kPhases; ++m) {
      const double d = double(m) / kPhases - kHalf;
      const double x = d / kHalf;
      const double w = bessel_i0(kBeta * std::sqrt(std::max(0.0, 1 - x * x))) / i0b;
      const double s = d == 0
                           ? 2 * kCutoff
                           : std::sin(2 * std::numbers::pi * kCutoff * d) / (std::numbers::pi * d);
      fine[m] = float(s * w);
    }
    for (int p = 0; p <= kPhases; ++p) {
      double sum = 0;
      for (int k = 0; k < kTaps; ++k) sum += fine[(k + 1) * kPhases - p];
      for (int k = 0; k < kTaps; ++k) poly[p][k] = float(fine[(k + 1) * kPhases - p] / sum);
    }
  }
};

const Kernel& kernel() {
  static const Kernel k;
  return k;
}

using v4 = float __attribute__((vector_size(16)));
using v4i32 = int32_t __attribute__((vector_size(16)));
using v4i16 = int16_t __attribute__((vector_size(8)));
using v8i16 = int16_t __attribute__((vector_size(16)));
using v4i8 = int8_t __attribute__((vector_size(4)));
using v8i8 = int8_t __attribute__((vector_size(8)));

inline v4 load4(const float* p) {
  v4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Samples are read into the top bits of 32-bit lanes (a 16-bit one times
// 2^16, an 8-bit one times 2^24) and converted to float there: interleaving
// with zeros is what every vector unit does well, and the values stay exact.
// Full scale is 2^31 for both.
inline v4 load4(const int16_t* p) {
  v4i16 v;
  std::memcpy(&v, p, sizeof v);
  const v4i16 zero = {};
  const v8i16 high = __builtin_shufflevector(zero, v, 0, 4, 1, 5, 2, 6, 3, 7);
  v4i32 lanes;
  std::memcpy(&lanes, &high, sizeof lanes);
  return __builtin_convertvector(lanes, v4);
}

inline v4 load4(const int8_t* p) {
  v4i8 v;
  std::memcpy(&v, p, sizeof v);
  const v4i8 zero8 = {};
  const v8i8 high8 = __builtin_shufflevector(zero8, v, 0, 4, 1, 5, 2, 6, 3, 7);
  v4i16 v16;
  std::memcpy(&v16, &high8, sizeof v16);
  return load4(reinterpret_cast<const int16_t*>(&v16));
}

// One sample as load4 reads it.
template <typename T>
inline float widened(T x) {
  return float(int32_t(x) * (sizeof(T) == 1 ? (int32_t(1) << 24) : (int32_t(1) << 16)));
}

inline float widened(float x) { return x; }

// What a widened sample of full scale is worth: the filter sums widened
// samples and the gain scales the sum by this power of two, which gives
// exactly what scaling each sample first would.
constexpr float kWidenedFullScale = 1.0f / 2147483648.0f;

inline float sum4(v4 v) { return (v[0] + v[1]) + (v[2] + v[3]); }

// The filter at a fractional phase, between two tabulated ones.
template <typename T>
inline float interpolate(const T* x, const float* c0, const float* c1, float t) {
  v4 a0{}, a1{};
  if (t == 0.0f) {  // on a tabulated phase, as at exactly twice the rate
    for (int k = 0; k < kTaps; k += 4) a0 += load4(x + k) * load4(c0 + k);
    return sum4(a0);
  }
  for (int k = 0; k < kTaps; k += 4) {
    const v4 s = load4(x + k);
    a0 += s * load4(c0 + k);
    a1 += s * load4(c1 + k);
  }
  const float y0 = sum4(a0), y1 = sum4(a1);
  return y0 + t * (y1 - y0);
}

uint32_t block_align(const PcmFormat& f) {
  return static_cast<uint32_t>(f.channels) * (f.bits_per_sample / 8u);
}

}  // namespace

double attenuation_to_gain(int32_t hundredths_db) {
  if (hundredths_db >= 0) return 1.0;
  if (hundredths_db <= -10000) return 0.0;  // the bottom of the scale is silence
  return std::pow(10.0, hundredths_db / 2000.0);
}

// ---- limiter ---------------------------------------------------------------

Limiter::Limiter(uint32_t rate)
    : hold_frames_(uint32_t(kHoldMs * float(rate) / 1000.0f)),
      release_(std::exp(-1000.0f / (kReleaseMs * float(rate)))) {}

void Limiter::process(const float* bus, int16_t* out, size_t frames) {
  constexpr float kSpan = kCeiling - kKnee;
  for (size_t i = 0; i < frames; ++i) {
    const float l = bus[2 * i] * kHeadroom, r = bus[2 * i + 1] * kHeadroom;
    const float a = std::max(std::fabs(l), std::fabs(r));
    const float before = gain_;
    bool moved = true;
    if (a >= envelope_) {
      envelope_ = a;
      hold_ = hold_frames_;
    } else if (hold_ > 0) {
      --hold_;
      moved = false;
    } else {
      envelope_ = std::max(a, envelope_ * release_);
    }
    if (moved) {
      // Above the knee the envelope is bent towards the ceiling, smoothly
      // (the slope is 1 at the knee): knee + span * u / sqrt(1 + u * u).
      if (envelope_ > kKnee) {
        const float u = (envelope_ - kKnee) * (1.0f / kSpan);
        gain_ = (kKnee + kSpan * u / std::sqrt(1.0f + u * u)) / envelope_;
      } else {
        gain_ = 1.0f;
      }
    }
    // The gain keeps both channels under the ceiling; the clamp only guards
    // against rounding.
    out[2 * i] = int16_t(std::clamp(std::lrint(l * gain_ * 32768.0f), -32768L, 32767L));
    out[2 * i + 1] = int16_t(std::clamp(std::lrint(r * gain_ * 32768.0f), -32768L, 32767L));

    ++stats_.frames;
    if (gain_ < 1.0f) {
      ++stats_.reduced_frames;
      stats_.reduced_1db += gain_ < 0.891251f ? 1 : 0;
      stats_.gain_sum += gain_;
      stats_.lowest_gain = std::min(stats_.lowest_gain, gain_);
      if (episode_++ == 0) ++stats_.episodes;
      stats_.longest_episode = std::max(stats_.longest_episode, episode_);
    } else {
      episode_ = 0;
    }
    if (gain_ != before) {
      stats_.steepest_fall = std::max(stats_.steepest_fall, before / gain_);
      stats_.steepest_rise = std::max(stats_.steepest_rise, gain_ / before);
    }
  }
}

// ---- mixer -----------------------------------------------------------------

template <typename T>
const T* Mixer::Samples::plane(uint32_t ch) const {
  const T* base;
  if constexpr (sizeof(T) == 1)
    base = planes8.data();
  else
    base = planes16.data();
  return base + size_t(ch) * (frames + 2 * kPad) + kPad;
}

Mixer::Mixer(uint32_t output_rate)
    : output_rate_(output_rate == 0 ? kDefaultOutputRate : output_rate), limiter_(output_rate_) {
  kernel();  // made here, not on the audio thread
}

Mixer::~Mixer() = default;

Mixer::Voice* Mixer::find(Buffer b) {
  if (b == 0 || b > voices_.size()) return nullptr;
  Voice& v = voices_[b - 1];
  return v.used ? &v : nullptr;
}

void Mixer::update_gains(Voice& v) {
  double vol = attenuation_to_gain(v.volume);
  // Pan attenuates the other side only: negative pan quietens the right.
  double left = v.pan > 0 ? attenuation_to_gain(-v.pan) : 1.0;
  double right = v.pan < 0 ? attenuation_to_gain(v.pan) : 1.0;
  v.gain_l = float(vol * left);
  v.gain_r = float(vol * right);
}

void Mixer::update_step(Voice& v) {
  uint32_t rate = v.frequency == 0 ? v.samples->format.samples_per_sec : v.frequency;
  rate = std::clamp(rate, kMinRate, kMaxRate);
  v.step = (static_cast<uint64_t>(rate) << 32) / output_rate_;
}

SoundDevice::Buffer Mixer::create_buffer(const PcmFormat& format, uint32_t bytes) {
  if ((format.channels != 1 && format.channels != 2) ||
      (format.bits_per_sample != 8 && format.bits_per_sample != 16) ||
      format.samples_per_sec < kMinRate || format.samples_per_sec > kMaxRate || bytes == 0)
    return 0;
  auto s = std::make_shared<Samples>();
  s->format = format;
  s->bytes = bytes;
  s->frames = bytes / block_align(format);
  const size_t plane_size = size_t(format.channels) * (s->frames + 2 * kPad);
  if (format.bits_per_sample == 8)
    s->planes8.assign(plane_size, 0);
  else
    s->planes16.assign(plane_size, 0);
  std::lock_guard lock(mutex_);
  uint32_t index;
  if (!free_.empty()) {
    index = free_.back();
    free_.pop_back();
  } else {
    voices_.emplace_back();
    index = static_cast<uint32_t>(voices_.size() - 1);
  }
  Voice& v = voices_[index];
  v = Voice{};
  v.used = true;
  v.samples = std::move(s);
  update_gains(v);
  update_step(v);
  return index + 1;
}

SoundDevice::Buffer Mixer::duplicate(Buffer source) {
  std::lock_guard lock(mutex_);
  Voice* src = find(source);
  if (src == nullptr || src->lost) return 0;
  std::shared_ptr<Samples> samples = src->samples;
  uint32_t frequency = src->frequency;
  int32_t pan = src->pan, volume = src->volume;
  uint32_t index;
  if (!free_.empty()) {
    index = free_.back();
    free_.pop_back();
  } else {
    voices_.emplace_back();  // may move *src: copied above
    index = static_cast<uint32_t>(voices_.size() - 1);
  }
  Voice& v = voices_[index];
  v = Voice{};
  v.used = true;
  v.samples = std::move(samples);
  v.frequency = frequency;
  v.pan = pan;
  v.volume = volume;
  update_gains(v);
  update_step(v);
  return index + 1;
}

void Mixer::release(Buffer b) {
  std::shared_ptr<Samples> last;  // freed after the lock is dropped
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return;
  last = std::move(v->samples);
  *v = Voice{};
  free_.push_back(b - 1);
}

BufferResult Mixer::write(Buffer b, uint32_t offset, std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  Samples& s = *v->samples;
  if (offset > s.bytes || data.size() > s.bytes - offset) return BufferResult::Failed;
  // Byte by byte into the samples of whole frames: an 8-bit sample is the
  // byte less 128, a 16-bit one takes the byte as its low or high half.
  const uint32_t width = s.format.bits_per_sample / 8u;
  const uint32_t align = block_align(s.format);
  uint32_t frame = offset / align, within = offset % align;
  for (const uint8_t b : data) {
    if (frame >= s.frames) break;  // the bytes after the last whole frame are not played
    const uint32_t ch = within / width;
    if (width == 1) {
      s.plane<int8_t>(ch)[frame] = int8_t(int(b) - 128);
    } else {
      int16_t& x = s.plane<int16_t>(ch)[frame];
      const uint16_t u = uint16_t(x);
      x = int16_t((within & 1) ? uint16_t((u & 0x00FF) | (b << 8)) : uint16_t((u & 0xFF00) | b));
    }
    if (++within == align) {
      within = 0;
      ++frame;
    }
  }
  return BufferResult::Ok;
}

BufferResult Mixer::play(Buffer b, bool looping) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  if ((v->pos >> 32) >= v->samples->frames) {  // at the end: start over
    v->pos = 0;
    v->wrapped = false;
  }
  v->playing = true;
  v->looping = looping;
  return BufferResult::Ok;
}

BufferResult Mixer::stop(Buffer b) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  v->playing = false;
  v->looping = false;
  return BufferResult::Ok;
}

BufferResult Mixer::set_position(Buffer b, uint32_t byte_offset) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  uint32_t frame = byte_offset / block_align(v->samples->format);
  if (frame > v->samples->frames) return BufferResult::Failed;
  v->pos = static_cast<uint64_t>(frame) << 32;
  v->wrapped = false;
  return BufferResult::Ok;
}

BufferStatus Mixer::status(Buffer b) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return {};
  BufferStatus s;
  s.playing = v->playing;
  s.looping = v->playing && v->looping;
  s.lost = v->lost;
  return s;
}

uint32_t Mixer::position(Buffer b) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return 0;
  return static_cast<uint32_t>(v->pos >> 32) * block_align(v->samples->format);
}

BufferResult Mixer::set_pan(Buffer b, int32_t pan) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  v->pan = std::clamp(pan, -10000, 10000);
  update_gains(*v);
  return BufferResult::Ok;
}

BufferResult Mixer::set_volume(Buffer b, int32_t volume) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  v->volume = std::clamp(volume, -10000, 0);
  update_gains(*v);
  return BufferResult::Ok;
}

BufferResult Mixer::set_frequency(Buffer b, uint32_t hz) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  v->frequency = hz;
  update_step(*v);
  return BufferResult::Ok;
}

void Mixer::lose_all_buffers() {
  std::lock_guard lock(mutex_);
  for (Voice& v : voices_) {
    if (!v.used) continue;
    v.lost = true;
    v.playing = false;
    v.looping = false;
  }
}

size_t Mixer::buffer_count() {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const Voice& v : voices_) n += v.used ? 1 : 0;
  return n;
}

LimiterStats Mixer::limiter_stats() {
  std::lock_guard lock(mutex_);
  return limiter_.stats();
}

// Adds one voice into the bus. A voice at the output's rate is copied; any
// other is filtered: through the tabulated phases when it is not faster than
// the output, through the widened filter when it is. The filter sees
// silence before the start and after the end of a one-shot; a looping voice
// sees its loop continue past the end, and before the start once it has
// gone round.
void Mixer::mix_voice(Voice& v, float* bus, size_t frames) {
  if (v.samples->format.bits_per_sample == 8)
    mix_voice_of<int8_t>(v, bus, frames);
  else
    mix_voice_of<int16_t>(v, bus, frames);
}

template <typename T>
void Mixer::mix_voice_of(Voice& v, float* bus, size_t frames) {
  const Samples& s = *v.samples;
  const uint32_t n = s.frames;
  if (n == 0) {
    v.playing = false;
    return;
  }
  const Kernel& kern = kernel();
  const uint32_t ch = s.format.channels;
  const T* planes[2] = {s.plane<T>(0), s.plane<T>(ch - 1)};
  // The sums are of widened samples; the gains take their full scale in.
  const float gl = v.gain_l * kWidenedFullScale, gr = v.gain_r * kWidenedFullScale;
  const uint64_t end = static_cast<uint64_t>(n) << 32;
  const bool copy = v.step == (uint64_t(1) << 32);
  const bool wide = v.step > (uint64_t(1) << 32);
  // Widening: 1 / scale source frames per filter frame.
  const double scale =
      wide ? std::max(double(uint64_t(1) << 32) / double(v.step), 1.0 / kMaxWiden) : 1.0;
  const int reach = wide ? int(std::ceil(kHalf / scale)) : kHalf;
  float gathered[2][kWideTaps + 4];
  for (size_t i = 0; i < frames; ++i) {
    if (v.pos >= end) {
      if (!v.looping) {
        v.playing = false;
        v.pos = end;
        return;
      }
      v.pos %= end;
      v.wrapped = true;
    }
    const int64_t f0 = int64_t(v.pos >> 32);
    const uint32_t frac = uint32_t(v.pos);
    float y[2];
    if (copy && frac == 0) {
      y[0] = widened(planes[0][f0]);
      y[1] = widened(planes[1][f0]);
    } else {
      // The frames the filter reads: f0 - reach + 1 .. f0 + reach.
      const int64_t first = f0 - reach + 1, last = f0 + reach;
      const bool edge = v.looping && (last >= int64_t(n) || (v.wrapped && first < 0));
      // The filter over the frames from src[c] on, whichever type they have.
      auto filter = [&](const auto* src0, const auto* src1) {
        if (!wide) {
          const uint32_t p = frac >> (32 - kPhaseBits);
          const float t =
              float(frac & ((1u << (32 - kPhaseBits)) - 1)) * (1.0f / (1u << (32 - kPhaseBits)));
          y[0] = interpolate(src0, kern.poly[p], kern.poly[p + 1], t);
          y[1] = ch == 2 ? interpolate(src1, kern.poly[p], kern.poly[p + 1], t) : y[0];
          return;
        }
        // Weights from the fine table at (j - position) * scale, normalised
        // so that a constant stays constant.
        const double at = double(frac) / 4294967296.0;
        float acc[2] = {0, 0}, wsum = 0;
        for (int j = 0; j < 2 * reach; ++j) {
          const double d = (double(j - reach + 1) - at) * scale;
          if (d <= -kHalf || d >= kHalf) continue;
          const double m = (d + kHalf) * kPhases;
          const int mi = int(m);
          const float mt = float(m - mi);
          const float w = kern.fine[mi] + mt * (kern.fine[mi + 1] - kern.fine[mi]);
          wsum += w;
          acc[0] += w * widened(src0[j]);
          acc[1] += w * widened(src1[j]);
        }
        y[0] = acc[0] / wsum;
        y[1] = acc[1] / wsum;
      };
      if (edge) {
        for (uint32_t c = 0; c < 2; ++c) {
          for (int64_t j = first; j <= last; ++j) {
            int64_t k = j % int64_t(n);
            if (k < 0) k += n;
            gathered[c][j - first] = (j < 0 && !v.wrapped) ? 0.0f : widened(planes[c][k]);
          }
        }
        filter(gathered[0], gathered[1]);
      } else {
        filter(planes[0] + first, planes[1] + first);
      }
    }
    bus[2 * i] += y[0] * gl;
    bus[2 * i + 1] += y[1] * gr;
    v.pos += v.step;
    if (v.pos >= end && !v.looping) {  // a one-shot stops as soon as it is used up
      v.playing = false;
      v.pos = end;
      return;
    }
  }
}

void Mixer::mix(int16_t* out, size_t frames, const BusSource& music) {
  float bus[2 * kChunk];
  float music_bus[2 * kChunk];
  while (frames > 0) {
    const size_t n = std::min(frames, kChunk);
    std::fill(bus, bus + 2 * n, 0.0f);
    {
      std::lock_guard lock(mutex_);
      for (Voice& v : voices_)
        if (v.used && v.playing && !v.lost) mix_voice(v, bus, n);
    }
    // The music renders without the mixer's lock, so the game thread is not
    // kept waiting meanwhile.
    if (music) {
      std::fill(music_bus, music_bus + 2 * n, 0.0f);
      music(music_bus, n);
      for (size_t i = 0; i < 2 * n; ++i) bus[i] += music_bus[i] * kMusicGain;
    }
    {
      std::lock_guard lock(mutex_);
      limiter_.process(bus, out, n);
    }
    out += 2 * n;
    frames -= n;
  }
}

}  // namespace platform
