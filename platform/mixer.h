#pragma once
// The software mixer: a SoundDevice whose buffers are mixed in memory into
// 16-bit stereo at a fixed output rate. A backend pulls the output with mix()
// from its audio thread while the game thread works on the buffers; every
// call takes one mutex for a short time and mix() never allocates.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sound_device.h"

namespace platform {

class Mixer : public SoundDevice {
 public:
  static constexpr uint32_t kDefaultOutputRate = 44100;
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
  void mix(int16_t* out, size_t frames);

  // Byte offset of the play position (for tests and Wait polling).
  uint32_t position(Buffer b);
  // Marks every buffer lost, as a device does when another program takes the
  // sound hardware; operations on a lost buffer report Lost until it is
  // released. For tests.
  void lose_all_buffers();
  // Number of live buffers (for tests).
  size_t buffer_count();

 private:
  struct Samples {
    PcmFormat format;
    std::vector<uint8_t> bytes;
    uint32_t frames = 0;  // whole frames in bytes
  };
  struct Voice {
    bool used = false;
    std::shared_ptr<Samples> samples;
    bool playing = false;
    bool looping = false;
    bool lost = false;
    uint64_t pos = 0;   // frame position, 32.32 fixed point
    uint64_t step = 0;  // frames of source per output frame, 32.32
    uint32_t frequency = 0;
    int32_t pan = 0;
    int32_t volume = 0;
    int32_t gain_l = 0;  // Q16
    int32_t gain_r = 0;
  };

  Voice* find(Buffer b);  // caller holds the mutex
  void update_gains(Voice& v);
  void update_step(Voice& v);
  void mix_voice(Voice& v, int32_t* acc, size_t frames);

  const uint32_t output_rate_;
  std::mutex mutex_;
  std::vector<Voice> voices_;
  std::vector<uint32_t> free_;
};

// Gain for an attenuation in hundredths of a decibel (0 = 1.0, -10000 = 1e-5).
double attenuation_to_gain(int32_t hundredths_db);

}  // namespace platform
