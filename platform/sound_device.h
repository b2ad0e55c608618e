#pragma once
#include <cstdint>
#include <span>

namespace platform {

struct PcmFormat {
  uint16_t channels = 1;  // 1 or 2
  uint32_t samples_per_sec = 22050;
  uint16_t bits_per_sample = 16;  // 8 (unsigned) or 16 (signed)
};

enum class BufferResult {
  Ok,
  Lost,    // the buffer's memory was lost: restore every buffer
  Failed,  // any other failure (recorded by the caller)
};

struct BufferStatus {
  bool playing = false;
  bool looping = false;
  bool lost = false;
};

// The sound device: secondary buffers holding PCM samples, mixed by the
// device. A buffer handle of 0 is never valid.
class SoundDevice {
 public:
  using Buffer = uint32_t;
  virtual ~SoundDevice() = default;
  // Creates a buffer for bytes of samples in the given format; 0 on failure.
  virtual Buffer create_buffer(const PcmFormat& format, uint32_t bytes) = 0;
  // A second buffer sharing the first one's samples; 0 on failure.
  virtual Buffer duplicate(Buffer source) = 0;
  virtual void release(Buffer b) = 0;
  // Copies samples into the buffer starting at byte offset (a lock + copy).
  virtual BufferResult write(Buffer b, uint32_t offset, std::span<const uint8_t> data) = 0;
  virtual BufferResult play(Buffer b, bool looping) = 0;
  virtual BufferResult stop(Buffer b) = 0;
  virtual BufferResult set_position(Buffer b, uint32_t byte_offset) = 0;
  virtual BufferStatus status(Buffer b) = 0;
  // Pan: -10000 (right side silent) .. 10000 (left side silent); hundredths of
  // a decibel of attenuation of the other side.
  virtual BufferResult set_pan(Buffer b, int32_t pan) = 0;
  // Volume: 0 (full) .. -10000; hundredths of a decibel of attenuation.
  virtual BufferResult set_volume(Buffer b, int32_t volume) = 0;
  // Playback rate in Hz; 0 = the buffer's own rate.
  virtual BufferResult set_frequency(Buffer b, uint32_t hz) = 0;
};

}  // namespace platform
