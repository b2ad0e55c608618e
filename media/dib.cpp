// Device-independent bitmaps: reading the header, colour table and pixel rows
// (plain, bit fields, run-length 8 and 4 bit), and writing them back.
#include "media/dib.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

#include "media/byte_reader.h"
#include "media/errors.h"

namespace media {

namespace {

constexpr uint32_t kRGB = 0, kRLE8 = 1, kRLE4 = 2, kBitFields = 3;

// Sanity limits. A plain picture must have all of its rows in the data, which
// bounds it already; a run-length picture can describe a large area in a few
// bytes (end-of-line codes), so its area is bounded by its data size too.
constexpr uint64_t kMaxPixels = TDIB::kMaxPixels;
constexpr uint64_t kRlePixelsPerByte = TDIB::kRlePixelsPerByte;
constexpr uint64_t kRleMinPixels = TDIB::kRleMinPixels;

[[noreturn]] void Invalid() { throw EDIBError("DIB is invalid"); }

uint64_t Stride(int32_t width, int bits) {
  return ((uint64_t(width) * uint64_t(bits) + 31) / 32) * 4;
}

uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }

// Index of pixel x in a packed row of 1, 4 or 8 bits (most significant first).
uint32_t PackedIndex(const uint8_t* row, int32_t x, int bits) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return row[x];
  }
}

void SetPackedIndex(uint8_t* row, int32_t x, int bits, uint32_t index) {
  switch (bits) {
    case 1:
      if (index & 1) row[x >> 3] |= uint8_t(0x80 >> (x & 7));
      break;
    case 4: row[x >> 1] |= uint8_t((x & 1) ? (index & 0x0F) : ((index & 0x0F) << 4)); break;
    default: row[x] = uint8_t(index);
  }
}

// Run-length decoding into plain bottom-up rows of `bits` (8 or 4) per pixel.
// Runs and absolute runs past the row end are clipped, codes past the last
// row are ignored, and pixels the data never reaches keep index 0.
void DecodeRle(const uint8_t* src, size_t n, int32_t width, int32_t rows, int bits, uint64_t stride,
               std::vector<uint8_t>& raw) {
  ByteReader in(src, n);
  int64_t x = 0, y = 0;  // y counts stored rows from the first (bottom) one
  auto put = [&](uint32_t index) {
    if (x < width && y < rows)
      SetPackedIndex(raw.data() + size_t(y) * stride, int32_t(x), bits, index);
    ++x;
  };
  while (in.Remaining() >= 2 && y < rows) {
    uint8_t count = in.U8();
    uint8_t value = in.U8();
    if (count > 0) {
      for (int i = 0; i < count; ++i) {
        if (x >= width) break;
        put(bits == 8 ? value : ((i & 1) ? (value & 0x0F) : (value >> 4)));
      }
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2: {  // delta
        if (in.Remaining() < 2) return;
        x += in.U8();
        y += in.U8();
        break;
      }
      default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
        size_t bytes = bits == 8 ? value : (size_t(value) + 1) / 2;
        size_t padded = (bytes + 1) & ~size_t(1);
        if (in.Remaining() < bytes) return;
        const uint8_t* p = in.Take(bytes);
        for (int i = 0; i < value; ++i) {
          if (x >= width) break;
          put(bits == 8 ? p[i] : ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)));
        }
        in.Skip(std::min(padded - bytes, in.Remaining()));
        break;
      }
    }
  }
}

}  // namespace

void TDIB::LoadFromBytes(const uint8_t* data, size_t size, uint64_t max_pixels) {
  *this = TDIB();
  if (size == 0) return;
  ByteReader in(data, size);

  uint32_t header_size = in.U32();
  int32_t width = 0, height = 0;
  int bits = 0;
  uint32_t compression = kRGB, image_size = 0, colors_used = 0;
  bool core = false;
  if (header_size == 40) {
    width = in.I32();
    height = in.I32();
    in.U16();  // planes
    bits = in.U16();
    compression = in.U32();
    image_size = in.U32();
    in.Skip(8);  // resolutions
    colors_used = in.U32();
    in.U32();  // colours important
  } else if (header_size == 12) {
    core = true;
    width = in.U16();
    height = in.U16();
    in.U16();  // planes
    bits = in.U16();
  } else {
    Invalid();
  }

  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    throw EDIBError(FormatMessage("Bitcount in invalid (%d)", bits));
  if (compression > kBitFields) Invalid();
  if ((compression == kRLE8 && bits != 8) || (compression == kRLE4 && bits != 4)) Invalid();

  TDIB dib;
  dib.bits_ = bits;
  if (compression == kBitFields) {
    for (auto& m : dib.masks_) m = in.U32();
    dib.bitfields_ = true;
  }
  if (bits == 16) {
    if (!dib.bitfields_ ||
        (dib.masks_[0] == 0x7C00 && dib.masks_[1] == 0x03E0 && dib.masks_[2] == 0x001F)) {
      dib.bitfields565_ = false;
    } else if (dib.masks_[0] == 0xF800 && dib.masks_[1] == 0x07E0 && dib.masks_[2] == 0x001F) {
      dib.bitfields565_ = true;
    } else {
      throw EDIBError("PixelFormat in invalid");
    }
  }

  if (width < 0 || height == INT32_MIN) Invalid();
  bool top_down = height < 0;
  int32_t rows = top_down ? -height : height;

  // Colour table: the entries the header names (or the full table for
  // palette depths), at most 256; only palette depths use it.
  uint64_t entries = colors_used;
  if (entries == 0 && bits <= 8) entries = uint64_t(1) << bits;
  if (entries > 256) entries = 256;
  const size_t entry_size = core ? 3 : 4;
  const uint8_t* table = in.Take(entries * entry_size);
  if (bits <= 8) {
    dib.palette_.resize(size_t(entries));
    for (size_t i = 0; i < entries; ++i) {
      const uint8_t* e = table + i * entry_size;
      dib.palette_[i] = (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
    }
  }

  if (width == 0 || rows == 0) {  // nothing to show; keep the empty picture
    *this = TDIB();
    return;
  }
  const uint64_t pixels = uint64_t(width) * uint64_t(rows);
  if (pixels > kMaxPixels) Invalid();
  if (pixels > max_pixels) throw EDIBError("Obrázek je příliš velký");
  const uint64_t stride = Stride(width, bits);
  const uint64_t raw_size = stride * uint64_t(rows);

  if (compression == kRLE8 || compression == kRLE4) {
    const uint8_t* src = in.Take(image_size);
    if (pixels > std::max(kRleMinPixels, uint64_t(image_size) * kRlePixelsPerByte)) Invalid();
    dib.raw_.assign(size_t(raw_size), 0);
    DecodeRle(src, image_size, width, rows, bits, stride, dib.raw_);
  } else {
    const uint8_t* src = in.Take(raw_size);
    dib.raw_.assign(src, src + raw_size);
  }
  if (top_down) {  // keep the stored rows bottom-up, as they are written
    for (int32_t r = 0; r < rows / 2; ++r) {
      auto a = dib.raw_.begin() + ptrdiff_t(uint64_t(r) * stride);
      auto b = dib.raw_.begin() + ptrdiff_t(uint64_t(rows - 1 - r) * stride);
      std::swap_ranges(a, a + ptrdiff_t(stride), b);
    }
  }
  dib.width_ = width;
  dib.height_ = rows;
  dib.Decode();
  *this = std::move(dib);
}

void TDIB::Decode() {
  const uint64_t stride = Stride(width_, bits_);
  rgb_.assign(size_t(width_) * size_t(height_), 0);
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = raw_.data() + size_t(height_ - 1 - y) * stride;
    uint32_t* out = rgb_.data() + size_t(y) * size_t(width_);
    for (int32_t x = 0; x < width_; ++x) {
      uint32_t c = 0;
      switch (bits_) {
        case 1:
        case 4:
        case 8: {
          // An index past the colour table shows black.
          uint32_t i = PackedIndex(row, x, bits_);
          c = i < palette_.size() ? palette_[i] : 0;
          break;
        }
        case 16: {
          uint32_t v = platform::get_le16(&row[2 * size_t(x)]);
          if (bitfields565_)
            c = (Expand5(v >> 11) << 16) | (Expand6((v >> 5) & 0x3F) << 8) | Expand5(v & 0x1F);
          else
            c = (Expand5((v >> 10) & 0x1F) << 16) | (Expand5((v >> 5) & 0x1F) << 8) |
                Expand5(v & 0x1F);
          break;
        }
        case 24: {
          const uint8_t* p = row + 3 * size_t(x);
          c = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
          break;
        }
        case 32: {
          const uint8_t* p = row + 4 * size_t(x);
          c = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
          break;
        }
      }
      out[x] = c;
    }
  }
}

std::vector<uint8_t> TDIB::SaveToBytes() const {
  std::vector<uint8_t> out;
  if (Empty()) return out;
  const uint64_t stride = Stride(width_, bits_);
  const uint32_t image_size = uint32_t(stride * uint64_t(height_));
  const bool palette = bits_ <= 8;
  out.reserve(40 + 12 + palette_.size() * 4 + image_size);
  platform::put_le32(out, 40);
  platform::put_le32(out, uint32_t(width_));
  platform::put_le32(out, uint32_t(height_));
  platform::put_le16(out, 1);
  platform::put_le16(out, uint16_t(bits_));
  platform::put_le32(out, bitfields_ ? kBitFields : kRGB);
  platform::put_le32(out, image_size);
  platform::put_le32(out, 0);
  platform::put_le32(out, 0);
  platform::put_le32(out, palette ? uint32_t(palette_.size()) : 0);
  platform::put_le32(out, 0);
  if (bitfields_)
    for (uint32_t m : masks_) platform::put_le32(out, m);
  if (palette) {
    for (uint32_t c : palette_) {
      PutU8(out, uint8_t(c));
      PutU8(out, uint8_t(c >> 8));
      PutU8(out, uint8_t(c >> 16));
      PutU8(out, 0);
    }
  }
  PutBytes(out, raw_.data(), raw_.size());
  return out;
}

TDIB TDIB::FromPixels(int32_t width, int32_t height, int bits,
                      const std::vector<uint32_t>& rgb_top_down,
                      const std::vector<uint32_t>& palette) {
  if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxPixels)
    throw std::invalid_argument("TDIB::FromPixels: bad size");
  if (rgb_top_down.size() != size_t(width) * size_t(height))
    throw std::invalid_argument("TDIB::FromPixels: pixel count does not match the size");
  const bool as555 = bits == 15;
  if (as555) bits = 16;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    throw std::invalid_argument("TDIB::FromPixels: unsupported depth");

  TDIB dib;
  dib.width_ = width;
  dib.height_ = height;
  dib.bits_ = bits;
  if (bits == 16 && !as555) {
    dib.bitfields_ = true;
    dib.bitfields565_ = true;
    dib.masks_[0] = 0xF800;
    dib.masks_[1] = 0x07E0;
    dib.masks_[2] = 0x001F;
  }

  std::unordered_map<uint32_t, uint32_t> index_of;
  if (bits <= 8) {
    const size_t max_entries = size_t(1) << bits;
    if (palette.empty()) {
      for (uint32_t c : rgb_top_down) {
        c &= 0xFFFFFF;
        if (index_of.emplace(c, uint32_t(dib.palette_.size())).second) dib.palette_.push_back(c);
      }
    } else {
      for (uint32_t c : palette) {
        index_of.emplace(c & 0xFFFFFF, uint32_t(dib.palette_.size()));
        dib.palette_.push_back(c & 0xFFFFFF);
      }
    }
    if (dib.palette_.size() > max_entries)
      throw std::invalid_argument("TDIB::FromPixels: too many colours for the depth");
  }

  const uint64_t stride = Stride(width, bits);
  dib.raw_.assign(size_t(stride * uint64_t(height)), 0);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = dib.raw_.data() + size_t(height - 1 - y) * stride;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = rgb_top_down[size_t(y) * size_t(width) + size_t(x)] & 0xFFFFFF;
      const uint32_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          auto it = index_of.find(c);
          if (it == index_of.end())
            throw std::invalid_argument("TDIB::FromPixels: pixel colour not in the palette");
          SetPackedIndex(row, x, bits, it->second);
          break;
        }
        case 16: {
          uint32_t v = as555 ? ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
                             : ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
          platform::set_le16(&row[2 * size_t(x)], uint16_t(v));
          break;
        }
        case 24:
        case 32: {
          uint8_t* p = row + size_t(x) * size_t(bits / 8);
          p[0] = uint8_t(b);
          p[1] = uint8_t(g);
          p[2] = uint8_t(r);
          break;
        }
      }
    }
  }
  dib.Decode();
  return dib;
}

}  // namespace media
