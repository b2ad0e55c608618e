#pragma once
// SHA-256, with which the installation's record recognises the files it
// wrote: a file found later at a recorded path is the installation's own
// only while its size and digest are those recorded.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace installer {

class Sha256 {
 public:
  Sha256();
  void update(const uint8_t* data, size_t size);
  void update(std::string_view text) {
    update(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string hex();

 private:
  void block(const uint8_t* p);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;
};

// What the record keeps of a file's content.
struct ContentId {
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
  friend bool operator==(const ContentId&, const ContentId&) = default;
};

ContentId content_id(const std::vector<uint8_t>& bytes);

// Whether `text` is 64 lower-case hex digits.
bool is_sha256_hex(std::string_view text);

}  // namespace installer
