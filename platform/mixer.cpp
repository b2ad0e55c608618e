#include "platform/mixer.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr size_t kChunk = 256;  // output frames mixed per pass over the voices
constexpr uint32_t kMinRate = 100;
constexpr uint32_t kMaxRate = 200000;

uint32_t block_align(const PcmFormat& f) {
  return static_cast<uint32_t>(f.channels) * (f.bits_per_sample / 8u);
}

// One channel of one frame as a signed 16-bit value.
inline int32_t sample_at(const uint8_t* base, uint32_t frame, uint32_t channel, uint32_t channels,
                         bool eight_bit) {
  size_t i = static_cast<size_t>(frame) * channels + channel;
  if (eight_bit) return (static_cast<int32_t>(base[i]) - 128) * 256;
  return static_cast<int16_t>(static_cast<uint16_t>(base[2 * i] | (base[2 * i + 1] << 8)));
}

}  // namespace

double attenuation_to_gain(int32_t hundredths_db) {
  if (hundredths_db >= 0) return 1.0;
  if (hundredths_db <= -10000) return 0.0;  // the bottom of the scale is silence
  return std::pow(10.0, hundredths_db / 2000.0);
}

Mixer::Mixer(uint32_t output_rate)
    : output_rate_(output_rate == 0 ? kDefaultOutputRate : output_rate) {}

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
  v.gain_l = static_cast<int32_t>(std::lround(vol * left * 65536.0));
  v.gain_r = static_cast<int32_t>(std::lround(vol * right * 65536.0));
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
  s->bytes.assign(bytes, format.bits_per_sample == 8 ? 0x80 : 0);
  s->frames = bytes / block_align(format);
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
  auto& bytes = v->samples->bytes;
  if (offset > bytes.size() || data.size() > bytes.size() - offset) return BufferResult::Failed;
  std::copy(data.begin(), data.end(), bytes.begin() + offset);
  return BufferResult::Ok;
}

BufferResult Mixer::play(Buffer b, bool looping) {
  std::lock_guard lock(mutex_);
  Voice* v = find(b);
  if (v == nullptr) return BufferResult::Failed;
  if (v->lost) return BufferResult::Lost;
  if ((v->pos >> 32) >= v->samples->frames) v->pos = 0;  // at the end: start over
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

// Adds one voice into the accumulator with linear interpolation between
// source frames. A looping voice wraps its position (and its interpolation
// partner) to the start; a one-shot voice stops at its last frame.
void Mixer::mix_voice(Voice& v, int32_t* acc, size_t frames) {
  const Samples& s = *v.samples;
  const uint32_t n = s.frames;
  if (n == 0) {
    v.playing = false;
    return;
  }
  const uint8_t* base = s.bytes.data();
  const uint32_t ch = s.format.channels;
  const bool eight = s.format.bits_per_sample == 8;
  const int64_t gl = v.gain_l, gr = v.gain_r;
  const uint64_t end = static_cast<uint64_t>(n) << 32;
  for (size_t i = 0; i < frames; ++i) {
    if (v.pos >= end) {
      if (!v.looping) {
        v.playing = false;
        v.pos = end;
        return;
      }
      v.pos %= end;
    }
    uint32_t f0 = static_cast<uint32_t>(v.pos >> 32);
    uint32_t f1 = f0 + 1;
    if (f1 >= n) f1 = v.looping ? 0 : f0;
    const int32_t frac = static_cast<int32_t>((v.pos >> 16) & 0xFFFF);
    int32_t l0 = sample_at(base, f0, 0, ch, eight), l1 = sample_at(base, f1, 0, ch, eight);
    int32_t l = l0 + (((l1 - l0) * frac) >> 16);
    int32_t r = l;
    if (ch == 2) {
      int32_t r0 = sample_at(base, f0, 1, ch, eight), r1 = sample_at(base, f1, 1, ch, eight);
      r = r0 + (((r1 - r0) * frac) >> 16);
    }
    acc[2 * i] += static_cast<int32_t>((l * gl) >> 16);
    acc[2 * i + 1] += static_cast<int32_t>((r * gr) >> 16);
    v.pos += v.step;
    if (v.pos >= end && !v.looping) {  // a one-shot stops as soon as it is used up
      v.playing = false;
      v.pos = end;
      return;
    }
  }
}

void Mixer::mix(int16_t* out, size_t frames) {
  int32_t acc[2 * kChunk];
  std::lock_guard lock(mutex_);
  while (frames > 0) {
    size_t n = std::min(frames, kChunk);
    std::fill(acc, acc + 2 * n, 0);
    for (Voice& v : voices_)
      if (v.used && v.playing && !v.lost) mix_voice(v, acc, n);
    for (size_t i = 0; i < 2 * n; ++i)
      out[i] = static_cast<int16_t>(std::clamp<int32_t>(acc[i], -32768, 32767));
    out += 2 * n;
    frames -= n;
  }
}

}  // namespace platform
