#include "media/dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "media/errors.h"
#include "tests/media/bytes.h"

using media::TDIB;
using test::Bytes;

namespace {

// A 40-byte header followed by whatever the test appends.
Bytes Header(int32_t w, int32_t h, uint16_t bits, uint32_t compression = 0, uint32_t image_size = 0,
             uint32_t colors_used = 0) {
  Bytes b;
  b.u32(40).u32(uint32_t(w)).u32(uint32_t(h)).u16(1).u16(bits).u32(compression);
  b.u32(image_size).u32(0).u32(0).u32(colors_used).u32(0);
  return b;
}

std::string ErrorOf(const Bytes& b) {
  TDIB dib;
  try {
    dib.LoadFromBytes(b.data(), b.size());
  } catch (const media::EMediaError& e) {
    EXPECT_TRUE(dib.Empty());
    return e.what();
  }
  return "";
}

TDIB Load(const Bytes& b) {
  TDIB dib;
  dib.LoadFromBytes(b.data(), b.size());
  return dib;
}

// Pixels that exercise every channel and row/column position.
std::vector<uint32_t> Gradient(int w, int h) {
  std::vector<uint32_t> px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      px.push_back(uint32_t((x * 37) & 0xFF) << 16 | uint32_t((y * 53) & 0xFF) << 8 |
                   uint32_t((x * y * 11 + 7) & 0xFF));
  return px;
}

}  // namespace

TEST(DIB, EveryDepthRoundTripsThroughItsBytes) {
  const int w = 13, h = 5;  // odd width: rows need padding at every depth
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                         0x123456, 0xFFFFFF, 0x808080, 0xABCDEF};
  for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    std::vector<uint32_t> px = Gradient(w, h);
    const size_t colours = bits == 1 ? 2 : palette.size();
    if (bits <= 8)
      for (size_t i = 0; i < px.size(); ++i) px[i] = palette[(i * 7 + i / w) % colours];
    std::vector<uint32_t> pal =
        bits <= 8 ? std::vector<uint32_t>(palette.begin(), palette.begin() + colours)
                  : std::vector<uint32_t>{};
    TDIB dib = TDIB::FromPixels(w, h, bits, px, pal);
    const auto bytes = dib.SaveToBytes();
    const uint64_t stride = ((uint64_t(w) * (bits == 15 ? 16 : bits) + 31) / 32) * 4;
    const size_t masks = bits == 16 ? 12 : 0;
    EXPECT_EQ(bytes.size(), 40 + masks + (bits <= 8 ? colours * 4 : 0) + stride * h);

    TDIB back = Load(Bytes(bytes));
    EXPECT_EQ(back.Width(), w);
    EXPECT_EQ(back.Height(), h);
    EXPECT_EQ(back.BitCount(), bits == 15 ? 16 : bits);
    EXPECT_EQ(back.SaveToBytes(), bytes);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t want = px[size_t(y) * w + x];
        uint32_t got = back.PixelRGB(x, y);
        if (bits == 16) {  // 5-6-5: top bits of each channel survive
          EXPECT_EQ(got & 0xF8FCF8, want & 0xF8FCF8);
        } else if (bits == 15) {
          EXPECT_EQ(got & 0xF8F8F8, want & 0xF8F8F8);
        } else {
          EXPECT_EQ(got, want) << x << "," << y;
        }
      }
  }
}

TEST(DIB, SixteenBitChannelsExpandToFullRange) {
  TDIB dib = TDIB::FromPixels(2, 1, 16, {0xFFFFFF, 0x000000});
  EXPECT_EQ(dib.PixelRGB(0, 0), 0xFFFFFFu);
  EXPECT_EQ(dib.PixelRGB(1, 0), 0u);
  EXPECT_TRUE(dib.BitFields());
  EXPECT_TRUE(dib.Is565());
}

TEST(DIB, PaletteIsBuiltFromThePixelsWhenNotGiven) {
  TDIB dib = TDIB::FromPixels(3, 1, 1, {0x112233, 0x445566, 0x112233});
  EXPECT_EQ(dib.Palette(), (std::vector<uint32_t>{0x112233, 0x445566}));
  EXPECT_THROW(TDIB::FromPixels(3, 1, 1, {1, 2, 3}), std::invalid_argument);
  EXPECT_THROW(TDIB::FromPixels(2, 1, 8, {1, 2}, {1}), std::invalid_argument);
  EXPECT_THROW(TDIB::FromPixels(2, 2, 24, {1, 2}), std::invalid_argument);
}

TEST(DIB, StoredRowsAreBottomUpUnlessHeightIsNegative) {
  // 1 x 2, 24 bits: first stored row is red, second blue.
  Bytes rows;
  rows.u8(0).u8(0).u8(0xFF).u8(0).u8(0xFF).u8(0).u8(0).u8(0);
  TDIB up = Load(Header(1, 2, 24).append(rows));
  EXPECT_EQ(up.PixelRGB(0, 0), 0x0000FFu);  // top row is the last stored
  EXPECT_EQ(up.PixelRGB(0, 1), 0xFF0000u);
  TDIB down = Load(Header(1, -2, 24).append(rows));
  EXPECT_EQ(down.Height(), 2);
  EXPECT_EQ(down.PixelRGB(0, 0), 0xFF0000u);
  // Written back bottom-up with a positive height.
  EXPECT_EQ(Load(Bytes(down.SaveToBytes())).RGB(), down.RGB());
}

TEST(DIB, ShortHeaderHasThreeByteColourEntries) {
  Bytes b;
  b.u32(12).u16(3).u16(1).u16(1).u16(4);
  for (int i = 0; i < 16; ++i) b.u8(uint8_t(i)).u8(uint8_t(i * 2)).u8(uint8_t(i * 3));
  b.u8(0x1F).u8(0x20).u8(0).u8(0);  // indices 1, 15, 2
  TDIB dib = Load(b);
  ASSERT_EQ(dib.Width(), 3);
  EXPECT_EQ(dib.PixelRGB(0, 0), 0x030201u);
  EXPECT_EQ(dib.PixelRGB(1, 0), 0x2D1E0Fu);
  EXPECT_EQ(dib.PixelRGB(2, 0), 0x060402u);
}

TEST(DIB, ColoursUsedLimitsTheTableAndOutOfRangeIndicesShowBlack) {
  Bytes b = Header(2, 1, 8, 0, 0, 1);
  b.u32(0x00ABCDEF);            // one entry
  b.u8(0).u8(200).u8(0).u8(0);  // index 0, index 200 (no entry)
  TDIB dib = Load(b);
  EXPECT_EQ(dib.PixelRGB(0, 0), 0xABCDEFu);
  EXPECT_EQ(dib.PixelRGB(1, 0), 0u);
}

TEST(DIB, RunLength8) {
  // 5 x 3, stored bottom row first.
  Bytes rle;
  rle.u8(3).u8(1);                          // run: 1 1 1
  rle.u8(0).u8(3).u8(2).u8(3).u8(4).u8(0);  // absolute 2 3 (4 clipped), pad byte
  rle.u8(0).u8(0);                          // end of line
  rle.u8(0).u8(2).u8(2).u8(0);              // delta: two to the right
  rle.u8(4).u8(3);                          // run of four 3s, clipped at the row end
  rle.u8(0).u8(0);
  rle.u8(0).u8(3).u8(4).u8(4).u8(4).u8(0);  // absolute 4 4 4, pad byte
  rle.u8(0).u8(1);                          // end of bitmap
  Bytes b = Header(5, 3, 8, 1, uint32_t(rle.size()), 5);
  for (uint32_t c : {0x000000u, 0x111111u, 0x222222u, 0x333333u, 0x444444u}) b.u32(c);
  b.append(rle);
  TDIB dib = Load(b);
  auto row = [&](int y) {
    std::vector<uint32_t> r;
    for (int x = 0; x < 5; ++x) r.push_back(dib.PixelRGB(x, y) & 0xF);
    return r;
  };
  EXPECT_EQ(row(2), (std::vector<uint32_t>{1, 1, 1, 2, 3}));
  EXPECT_EQ(row(1), (std::vector<uint32_t>{0, 0, 3, 3, 3}));
  EXPECT_EQ(row(0), (std::vector<uint32_t>{4, 4, 4, 0, 0}));
  // Written back as plain 8-bit rows that decode to the same picture.
  TDIB back = Load(Bytes(dib.SaveToBytes()));
  EXPECT_EQ(back.BitCount(), 8);
  EXPECT_EQ(back.RGB(), dib.RGB());
}

TEST(DIB, RunLength4) {
  // 6 x 2, stored bottom row first.
  Bytes rle;
  rle.u8(5).u8(0x12);                 // run alternating nibbles: 1 2 1 2 1
  rle.u8(1).u8(0x30);                 // run of one: 3
  rle.u8(0).u8(0);                    // end of line
  rle.u8(0).u8(3).u8(0x45).u8(0x60);  // absolute 4 5 6 (two bytes, no pad)
  rle.u8(0).u8(1);                    // end of bitmap
  Bytes b = Header(6, 2, 4, 2, uint32_t(rle.size()), 7);
  for (uint32_t i = 0; i < 7; ++i) b.u32(i * 0x111111);
  b.append(rle);
  TDIB dib = Load(b);
  std::vector<uint32_t> bottom, top;
  for (int x = 0; x < 6; ++x) {
    bottom.push_back(dib.PixelRGB(x, 1) & 0xF);
    top.push_back(dib.PixelRGB(x, 0) & 0xF);
  }
  EXPECT_EQ(bottom, (std::vector<uint32_t>{1, 2, 1, 2, 1, 3}));
  EXPECT_EQ(top, (std::vector<uint32_t>{4, 5, 6, 0, 0, 0}));
}

TEST(DIB, BitFieldMasksPickThe16BitLayout) {
  auto sixteen = [](uint32_t r, uint32_t g, uint32_t b, uint16_t pixel) {
    return Header(1, 1, 16, 3).u32(r).u32(g).u32(b).u16(pixel).u16(0);
  };
  EXPECT_EQ(Load(sixteen(0xF800, 0x07E0, 0x001F, 0xF800)).PixelRGB(0, 0), 0xFF0000u);
  EXPECT_EQ(Load(sixteen(0xF800, 0x07E0, 0x001F, 0x07E0)).PixelRGB(0, 0), 0x00FF00u);
  EXPECT_EQ(Load(sixteen(0x7C00, 0x03E0, 0x001F, 0x7C00)).PixelRGB(0, 0), 0xFF0000u);
  EXPECT_EQ(Load(sixteen(0x7C00, 0x03E0, 0x001F, 0x03E0)).PixelRGB(0, 0), 0x00FF00u);
  EXPECT_EQ(ErrorOf(sixteen(0x001F, 0x07E0, 0xF800, 0)), "PixelFormat in invalid");
  EXPECT_EQ(ErrorOf(sixteen(0xF000, 0x0F00, 0x00F0, 0)), "PixelFormat in invalid");
  // Without bit fields 16 bits are 5-5-5.
  EXPECT_EQ(Load(Header(1, 1, 16).u16(0x7C00).u16(0)).PixelRGB(0, 0), 0xFF0000u);
  // 32 bits take 8-8-8 whatever the masks say.
  TDIB deep = Load(Header(1, 1, 32, 3).u32(0xFF).u32(0xFF00).u32(0xFF0000).u32(0x00112233));
  EXPECT_EQ(deep.PixelRGB(0, 0), 0x112233u);
  // Bit fields are kept when written back.
  EXPECT_EQ(Load(Bytes(deep.SaveToBytes())).SaveToBytes(), deep.SaveToBytes());
  EXPECT_TRUE(deep.BitFields());
}

TEST(DIB, InvalidHeadersFailWithTheirMessages) {
  EXPECT_EQ(ErrorOf(Bytes().u32(41)), "DIB is invalid");
  EXPECT_EQ(ErrorOf(Bytes().u32(108)), "DIB is invalid");
  EXPECT_EQ(ErrorOf(Header(1, 1, 7)), "Bitcount in invalid (7)");
  EXPECT_EQ(ErrorOf(Header(1, 1, 0)), "Bitcount in invalid (0)");
  EXPECT_EQ(ErrorOf(Header(1, 1, 24, 4)), "DIB is invalid");  // unknown compression
  EXPECT_EQ(ErrorOf(Header(1, 1, 24, 1)), "DIB is invalid");  // run-length needs 8 bits
  EXPECT_EQ(ErrorOf(Header(-1, 1, 24)), "DIB is invalid");
  EXPECT_EQ(ErrorOf(Header(1, INT32_MIN, 24)), "DIB is invalid");
  // No bytes at all: an empty picture, no error.
  EXPECT_TRUE(Load(Bytes()).Empty());
}

TEST(DIB, DamagedSizesFailWithoutHugeAllocations) {
  // 100000 x 100000 at 24 bits would need 30 GB of rows.
  EXPECT_FALSE(ErrorOf(Header(100000, 100000, 24).u32(0)).empty());
  // Colour table longer than the data.
  EXPECT_EQ(ErrorOf(Header(2, 2, 8, 0, 0, 200).u32(0)), "Unexpected end of data");
  // Rows cut short.
  EXPECT_EQ(ErrorOf(Header(4, 4, 24).u32(0)), "Unexpected end of data");
  // A run-length picture claiming a huge area from a few bytes.
  Bytes rle = Header(60000, 60000, 8, 1, 2, 1).u32(0).u8(0).u8(1);
  EXPECT_EQ(ErrorOf(rle), "DIB is invalid");
  // Image size beyond the data.
  EXPECT_EQ(ErrorOf(Header(2, 2, 8, 1, 1000, 1).u32(0).u8(0).u8(1)), "Unexpected end of data");
}

TEST(DIB, TruncatedHeaderFailsAtEveryLength) {
  Bytes full = Header(3, 2, 8, 0, 0, 2).u32(1).u32(2);
  for (int i = 0; i < 2 * 4; ++i) full.u8(1);  // two rows of 3 padded to 4
  for (size_t n = 1; n < full.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_FALSE(ErrorOf(Bytes(std::vector<uint8_t>(full.begin(), full.begin() + n))).empty());
  }
  EXPECT_EQ(ErrorOf(full), "");
}
