#pragma once
// A device-independent bitmap as the picture containers hold it.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

class TDIB {
 public:
  TDIB() = default;
  // A picture of the given depth (1, 4, 8 with a palette; 16 as 5-6-5
  // through bit fields or 5-5-5; 24; 32) made from 0x00RRGGBB pixels, top row
  // first. For depths <= 8 the palette is given (at most 2^bits entries) and
  // each pixel must match one entry; an empty palette is built from the
  // pixels' colours in order of first appearance. Depth 16 stores 5-6-5 with
  // bit fields; pass 15 for 16-bit pixels stored 5-5-5 without bit fields.
  // Channels are truncated to the stored width. Throws std::invalid_argument.
  static TDIB FromPixels(int32_t width, int32_t height, int bits,
                         const std::vector<uint32_t>& rgb_top_down,
                         const std::vector<uint32_t>& palette = {});

  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int BitCount() const { return bits_; }
  // 16 and 32 bits: whether the header carries bit-field masks.
  bool BitFields() const { return bitfields_; }
  // 16 bits: whether the pixels are 5-6-5 (else 5-5-5).
  bool Is565() const { return bitfields565_; }
  // The colour table as 0x00RRGGBB (depths <= 8).
  const std::vector<uint32_t>& Palette() const { return palette_; }
  // Decoded pixel as 0x00RRGGBB; (0, 0) is the top-left corner.
  uint32_t PixelRGB(int32_t x, int32_t y) const { return rgb_[size_t(y) * width_ + x]; }
  const std::vector<uint32_t>& RGB() const { return rgb_; }

  // The most pixels a picture may have (8192 x 8192).
  static constexpr uint64_t kMaxPixels = uint64_t(1) << 26;
  // A run-length picture may describe at most this many pixels per byte of
  // its data (what runs of 255 pixels in two bytes give; only end-of-line
  // and delta codes go beyond), or kRleMinPixels whatever its data.
  static constexpr uint64_t kRlePixelsPerByte = 128;
  static constexpr uint64_t kRleMinPixels = uint64_t(1) << 16;

  // Reads the bitmap part of picture data (from the header size on).
  // Empty input gives an empty picture. A picture of more than `max_pixels`
  // (at most kMaxPixels) pixels fails with "Obrázek je příliš velký" before any of
  // it is decoded. Throws EDIBError, or EReadError when the data ends early.
  // On failure the picture is left empty.
  void LoadFromBytes(const uint8_t* data, size_t size, uint64_t max_pixels = kMaxPixels);
  // Writes the bitmap part: the 40-byte header, colour table, pixel rows.
  // Run-length and top-down pictures are written as plain bottom-up rows.
  std::vector<uint8_t> SaveToBytes() const;

 private:
  void Decode();  // fills rgb_ from raw_ and palette_

  int32_t width_ = 0;
  int32_t height_ = 0;
  int bits_ = 0;
  bool bitfields_ = false;         // header is followed by three masks
  bool bitfields565_ = false;      // 16 bits stored as 5-6-5
  uint32_t masks_[3] = {0, 0, 0};  // red, green, blue when bitfields_
  std::vector<uint32_t> palette_;  // 0x00RRGGBB
  std::vector<uint32_t> rgb_;      // decoded, top row first
  std::vector<uint8_t> raw_;       // the stored rows (bottom-up), for writing back
};

}  // namespace media
