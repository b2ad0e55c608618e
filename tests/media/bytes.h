#pragma once
// Little-endian byte builder for hand-made test inputs.
#include <cstdint>
#include <string>
#include <vector>

namespace test {

class Bytes : public std::vector<uint8_t> {
 public:
  Bytes() = default;
  explicit Bytes(std::vector<uint8_t> v) : std::vector<uint8_t>(std::move(v)) {}
  Bytes& u8(uint8_t v) {
    push_back(v);
    return *this;
  }
  Bytes& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
  Bytes& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
  Bytes& str(const std::string& s) {
    insert(end(), s.begin(), s.end());
    return *this;
  }
  // Length byte + characters.
  Bytes& sstr(const std::string& s) { return u8(uint8_t(s.size())).str(s); }
  Bytes& append(const std::vector<uint8_t>& b) {
    insert(end(), b.begin(), b.end());
    return *this;
  }
};

}  // namespace test
