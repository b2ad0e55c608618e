#pragma once
// The software mixer: a SoundDevice whose buffers are mixed in memory into
// 16-bit stereo at a fixed output rate. A backend pulls the output with mix()
// from its audio thread while the game thread works on the buffers; every
// call takes one mutex for a short time and mix() never allocates.
//
// Sounds whose rate differs from the output's are resampled through a
// windowed-sinc low-pass, so nothing of them is mirrored above their own
// Nyquist frequency. Voices and any other source (the music) are summed in
// floating point, lowered by a fixed headroom and then pass a peak limiter
// that keeps the output below full scale; nothing wraps or clips.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sound_device.h"

namespace platform {

// What the limiter did so far (for measurements).
struct LimiterStats {
  uint64_t frames = 0;           // frames processed
  uint64_t reduced_frames = 0;   // frames whose gain was below 1
  uint64_t reduced_1db = 0;      // frames whose gain was more than 1 dB down
  uint64_t episodes = 0;         // runs of reduced frames
  uint64_t longest_episode = 0;  // frames
  float lowest_gain = 1;         // the deepest reduction
  double gain_sum = 0;           // sum of the gain over reduced frames
  float steepest_fall = 1;       // largest gain ratio from one frame to the next,
  float steepest_rise = 1;       // falling and rising
};

// The last stage of the mix: a fixed headroom, then a peak limiter without
// look-ahead. Its envelope follows a rising peak at once, holds it for a
// while and then falls back slowly; the gain maps the envelope through a
// soft knee, so a signal below the knee passes unchanged and the output
// approaches, but never reaches, the ceiling. Only the rising edge of a
// new peak above the knee is shaped; later cycles pass at a steady gain.
class Limiter {
 public:
  static constexpr float kHeadroom = 0.5f;  // -6 dB: one sound at full scale stays under the knee
  static constexpr float kKnee = 0.5f;      // of full scale, after the headroom
  static constexpr float kCeiling = 0.97f;  // -0.26 dBFS
  static constexpr float kHoldMs = 20.0f;   // a little longer than a 50 Hz period
  static constexpr float kReleaseMs = 80.0f;

  explicit Limiter(uint32_t rate);
  // bus: interleaved stereo, 1.0 = full scale, as summed. Writes out.
  void process(const float* bus, int16_t* out, size_t frames);
  const LimiterStats& stats() const { return stats_; }

 private:
  uint32_t hold_frames_;
  float release_;  // envelope factor per frame once the hold is over
  float envelope_ = 0;
  float gain_ = 1;  // for envelope_
  uint32_t hold_ = 0;
  uint64_t episode_ = 0;
  LimiterStats stats_;
};

class Mixer : public SoundDevice {
 public:
  static constexpr uint32_t kDefaultOutputRate = 44100;
  // The music bus: another source (the music) that adds itself into a
  // buffer of its own: interleaved stereo, 1.0 = full scale, zero when it
  // is called. Called on the audio thread, at most kChunk frames.
  using BusSource = std::function<void(float* bus, size_t frames)>;
  static constexpr size_t kChunk = 256;
  // The music bus's level against the effects, applied before the two meet
  // in front of the headroom and the limiter: whatever renders the music,
  // this is where its balance with the effects is set. Chosen by measuring
  // busy play and the menu (docs/performance.md, "Music against the
  // effects"): the music clearly audible under a fight, the effects on top.
  static constexpr float kMusicGain = 1.6f;  // +4.1 dB

  explicit Mixer(uint32_t output_rate = kDefaultOutputRate);
  ~Mixer() override;

  uint32_t output_rate() const { return output_rate_; }

  Buffer create_buffer(const PcmFormat& format, uint32_t bytes) override;
  Buffer duplicate(Buffer source) override;
  void release(Buffer b) override;
  BufferResult write(Buffer b, uint32_t offset, std::span<const uint8_t> data) override;
  BufferResult play(Buffer b, bool looping) override;
  BufferResult stop(Buffer b) override;
  BufferResult set_position(Buffer b, uint32_t byte_offset) override;
  BufferStatus status(Buffer b) override;
  BufferResult set_pan(Buffer b, int32_t pan) override;
  BufferResult set_volume(Buffer b, int32_t volume) override;
  BufferResult set_frequency(Buffer b, uint32_t hz) override;

  // Mixes the next frames of output into out (interleaved left, right),
  // replacing its contents. Buffers that reach their end stop by themselves.
  // music, when given, renders the music bus, which is raised by
  // kMusicGain and added to the voices before the limiter.
  void mix(int16_t* out, size_t frames, const BusSource& music = {});

  // Byte offset of the play position (for tests and Wait polling).
  uint32_t position(Buffer b);
  // Marks every buffer lost, as a device does when another program takes the
  // sound hardware; operations on a lost buffer report Lost until it is
  // released. For tests.
  void lose_all_buffers();
  // Number of live buffers (for tests).
  size_t buffer_count();
  LimiterStats limiter_stats();

 private:
  // A buffer's samples as one plane per channel, each sample in its own
  // width (8-bit ones made signed), with silence before and after so the
  // filter can read past either end. The planes hold every byte written in
  // whole frames, so a buffer costs its size and no more (a float copy
  // would cost four times an 8-bit sound's bytes).
  struct Samples {
    PcmFormat format;
    uint32_t bytes = 0;             // the size the buffer was made with
    uint32_t frames = 0;            // whole frames
    std::vector<int8_t> planes8;    // 8-bit sounds
    std::vector<int16_t> planes16;  // 16-bit sounds
    template <typename T>
    const T* plane(uint32_t ch) const;
    template <typename T>
    T* plane(uint32_t ch) {
      return const_cast<T*>(static_cast<const Samples*>(this)->plane<T>(ch));
    }
  };
  struct Voice {
    bool used = false;
    std::shared_ptr<Samples> samples;
    bool playing = false;
    bool looping = false;
    bool lost = false;
    bool wrapped = false;  // has looped since its position was set
    uint64_t pos = 0;      // frame position, 32.32 fixed point
    uint64_t step = 0;     // frames of source per output frame, 32.32
    uint32_t frequency = 0;
    int32_t pan = 0;
    int32_t volume = 0;
    float gain_l = 0;
    float gain_r = 0;
  };

  Voice* find(Buffer b);  // caller holds the mutex
  void update_gains(Voice& v);
  void update_step(Voice& v);
  void mix_voice(Voice& v, float* bus, size_t frames);
  template <typename T>
  void mix_voice_of(Voice& v, float* bus, size_t frames);

  const uint32_t output_rate_;
  std::mutex mutex_;
  std::vector<Voice> voices_;
  std::vector<uint32_t> free_;
  Limiter limiter_;
};

// Gain for an attenuation in hundredths of a decibel (0 = 1.0, -10000 = 1e-5).
double attenuation_to_gain(int32_t hundredths_db);

}  // namespace platform
