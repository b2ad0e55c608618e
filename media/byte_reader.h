#pragma once
// Bounds-checked little-endian reading from a byte range, shared by the
// container, bitmap and wave readers. Every read checks the remaining length
// first, so a damaged length field can neither read past the end nor make a
// caller allocate more than the data holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/errors.h"
#include "platform/little_endian.h"

namespace media {

inline constexpr const char* kTruncatedData = "Unexpected end of data";

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t Position() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ >= size_; }
  const uint8_t* Current() const { return data_ + pos_; }

  // Throws EReadError when fewer than n bytes remain.
  void Need(uint64_t n) const {
    if (n > Remaining()) throw EReadError(kTruncatedData);
  }
  const uint8_t* Take(uint64_t n) {
    Need(n);
    const uint8_t* p = data_ + pos_;
    pos_ += size_t(n);
    return p;
  }
  void Skip(uint64_t n) { Take(n); }
  uint8_t U8() { return *Take(1); }
  uint16_t U16() { return platform::get_le16(Take(2)); }
  uint32_t U32() { return platform::get_le32(Take(4)); }
  int8_t I8() { return int8_t(U8()); }
  int16_t I16() { return int16_t(U16()); }
  int32_t I32() { return int32_t(U32()); }
  std::string Chars(uint64_t n) {
    const uint8_t* p = Take(n);
    return std::string(reinterpret_cast<const char*>(p), size_t(n));
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Appending, the writers' counterpart (the integers through
// platform::put_le16 and put_le32).
inline void PutU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
inline void PutBytes(std::vector<uint8_t>& out, const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  out.insert(out.end(), b, b + n);
}

}  // namespace media
