#pragma once
// A sound as the sound containers hold it: a wave format block and samples.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

class TWave {
 public:
  bool Empty() const { return format_.empty() || data_.empty(); }
  // The format block as stored (format tag, channels, rate, byte rate, block
  // align, bits per sample, optional extra).
  const std::vector<uint8_t>& Format() const { return format_; }
  const std::vector<uint8_t>& Data() const { return data_; }
  uint16_t FormatTag() const;
  uint16_t Channels() const;
  uint32_t SamplesPerSec() const;
  uint16_t BitsPerSample() const;

  // 16-bit or 8-bit PCM built from parts (for writers and tests).
  static TWave FromPCM(uint16_t channels, uint32_t rate, uint16_t bits,
                       const std::vector<uint8_t>& samples);

  // Reads a RIFF WAVE image. Throws EWaveError("Wave is invalid").
  void LoadFromBytes(const uint8_t* data, size_t size);
  // Writes the RIFF WAVE image; empty when there is no format or no data.
  std::vector<uint8_t> SaveToBytes() const;

 private:
  std::vector<uint8_t> format_;
  std::vector<uint8_t> data_;
};

}  // namespace media
