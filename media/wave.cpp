// RIFF WAVE images: the chunk walk that finds the format block and the
// samples, and the writer that puts them back.
#include "media/wave.h"

#include <cstring>

#include "media/byte_reader.h"
#include "media/errors.h"

namespace media {

namespace {

[[noreturn]] void Invalid() { throw EWaveError("Wave is invalid"); }

uint16_t Field16(const std::vector<uint8_t>& f, size_t at) {
  return f.size() >= at + 2 ? platform::get_le16(&f[at]) : 0;
}

}  // namespace

uint16_t TWave::FormatTag() const { return Field16(format_, 0); }
uint16_t TWave::Channels() const { return Field16(format_, 2); }
uint32_t TWave::SamplesPerSec() const {
  return format_.size() >= 8 ? uint32_t(Field16(format_, 4)) | (uint32_t(Field16(format_, 6)) << 16)
                             : 0;
}
uint16_t TWave::BitsPerSample() const { return Field16(format_, 14); }

TWave TWave::FromPCM(uint16_t channels, uint32_t rate, uint16_t bits,
                     const std::vector<uint8_t>& samples) {
  TWave w;
  const uint16_t block_align = uint16_t(channels * ((bits + 7) / 8));
  platform::put_le16(w.format_, 1);  // PCM
  platform::put_le16(w.format_, channels);
  platform::put_le32(w.format_, rate);
  platform::put_le32(w.format_, rate * block_align);
  platform::put_le16(w.format_, block_align);
  platform::put_le16(w.format_, bits);
  w.data_ = samples;
  return w;
}

void TWave::LoadFromBytes(const uint8_t* data, size_t size) {
  format_.clear();
  data_.clear();
  if (size == 0) return;
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    Invalid();
  std::vector<uint8_t> format, samples;
  size_t pos = 12;
  // Chunks until the data ends or a header of zeros; unknown chunks are
  // skipped by their length alone (no pad byte for odd lengths).
  while (size - pos >= 8) {
    ByteReader head(data + pos, 8);
    const uint32_t id = head.U32();
    const uint32_t length = head.U32();
    if (id == 0 && length == 0) break;
    pos += 8;
    const bool is_fmt = std::memcmp(data + pos - 8, "fmt ", 4) == 0;
    const bool is_data = std::memcmp(data + pos - 8, "data", 4) == 0;
    if (is_fmt || is_data) {
      if (length > size - pos) Invalid();  // the chunk claims more than there is
      // Exactly the chunk's bytes: a capacity rounded up to blocks would
      // cost a tiny sound kilobytes, and a container holds many.
      auto& dest = is_fmt ? format : samples;
      dest.assign(data + pos, data + pos + length);
    }
    if (length >= size - pos) break;
    pos += length;
  }
  format_ = std::move(format);
  data_ = std::move(samples);
}

std::vector<uint8_t> TWave::SaveToBytes() const {
  std::vector<uint8_t> out;
  if (Empty()) return out;
  out.reserve(20 + format_.size() + 8 + data_.size());
  PutBytes(out, "RIFF", 4);
  platform::put_le32(out, uint32_t(4 + 8 + format_.size() + 8 + data_.size()));
  PutBytes(out, "WAVE", 4);
  PutBytes(out, "fmt ", 4);
  platform::put_le32(out, uint32_t(format_.size()));
  PutBytes(out, format_.data(), format_.size());
  PutBytes(out, "data", 4);
  platform::put_le32(out, uint32_t(data_.size()));
  PutBytes(out, data_.data(), data_.size());
  return out;
}

}  // namespace media
