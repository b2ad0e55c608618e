// Text through GDI: the game's three faces or their stand-ins (Wine offers
// the host's fonts, not Windows' own), and glyphs laid out where GDI's own
// text output puts them, with the cell and the ink beyond it as the canvas
// expects.
#include "platform/gdi/gdi_text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

namespace platform::win32 {
namespace {

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // right, bottom inclusive
  bool empty() const { return right < 0; }
};

Box ink_box(const TextBitmap& bm, int threshold) {
  Box b;
  for (int y = 0; y < bm.height; ++y)
    for (int x = 0; x < bm.width; ++x)
      if (bm.coverage[size_t(y) * size_t(bm.width) + size_t(x)] > threshold) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
      }
  return b;
}

// The same text drawn by GDI's own TextOut, top-left aligned at (0, top),
// white on black into a bitmap of the same size: the ink's box.
Box gdi_text_out_box(const std::wstring& face, int weight, int px, const std::wstring& text,
                     const TextBitmap& bm) {
  HDC dc = CreateCompatibleDC(nullptr);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = bm.width;
  bi.bmiHeader.biHeight = -bm.height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(dc, bmp);
  HFONT font = CreateFontW(-px, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face.c_str());
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  SetTextAlign(dc, TA_TOP | TA_LEFT);
  TextOutW(dc, 0, bm.top, text.c_str(), int(text.size()));
  GdiFlush();
  TextBitmap seen;
  seen.width = bm.width;
  seen.height = bm.height;
  seen.coverage.resize(size_t(bm.width) * size_t(bm.height));
  for (size_t i = 0; i < seen.coverage.size(); ++i)
    seen.coverage[i] = uint8_t((static_cast<const uint32_t*>(bits)[i] >> 8) & 0xFF);
  DeleteObject(font);
  DeleteObject(bmp);
  DeleteDC(dc);
  return ink_box(seen, 96);
}

TEST(GdiText, TheGameFacesOrTheirHeavyStandIns) {
  GdiRasterizer fonts;
  const auto arial = fonts.face_info("Arial", 20);
  EXPECT_FALSE(arial.name.empty());
  EXPECT_FALSE(arial.stand_in) << "GDI's own answer for Arial (" << arial.name << ")";
  EXPECT_LT(arial.weight, 600);

  for (const char* heavy : {"Arial Black", "arial black", "Impact"}) {
    const auto f = fonts.face_info(heavy, 20);
    SCOPED_TRACE(heavy);
    if (!f.stand_in) {
      EXPECT_EQ(f.name == "Impact" || f.name == "Arial Black", true) << f.name;
    } else {
      EXPECT_GE(f.weight, 700) << "a stand-in is bold: " << f.name;
    }
  }
  // Impact is narrow: its stand-in is condensed, so a line of it is
  // narrower than the same line in the Arial Black stand-in.
  const std::u32string line = U"SKÓRE 12345";
  if (fonts.face_info("Impact", 24).stand_in && fonts.face_info("Arial Black", 24).stand_in) {
    EXPECT_LT(fonts.render("Impact", 24, line).width,
              fonts.render("Arial Black", 24, line).width * 9 / 10);
  }
  // Any other name still gives text.
  EXPECT_GT(fonts.render("No Such Face", 16, U"Ahoj").width, 0);
}

TEST(GdiText, GlyphsLandWhereGdisOwnTextOutPutsThem) {
  GdiRasterizer fonts;
  const auto info = fonts.face_info("Arial", 24);
  const std::wstring face(info.name.begin(), info.name.end());
  for (const std::u32string& text :
       {std::u32string(U"NOVÁ HRA"), std::u32string(U"Řízení ŽÁDNÉ")}) {
    const TextBitmap bm = fonts.render("Arial", 24, text);
    ASSERT_GT(bm.width, 0);
    EXPECT_GE(bm.height, bm.top + bm.cell_height);
    const Box ours = ink_box(bm, 96);
    const Box gdi =
        gdi_text_out_box(face, FW_NORMAL, 24, std::wstring(text.begin(), text.end()), bm);
    ASSERT_FALSE(ours.empty());
    ASSERT_FALSE(gdi.empty());
    EXPECT_NEAR(ours.left, gdi.left, 1);
    EXPECT_NEAR(ours.right, gdi.right, 1);
    EXPECT_NEAR(ours.top, gdi.top, 1);
    EXPECT_NEAR(ours.bottom, gdi.bottom, 1);
  }
}

TEST(GdiText, InkBeyondTheCellGetsRowsOfItsOwn) {
  GdiRasterizer fonts;
  // The caron of Ř reaches above the capitals; nothing of it is cut off, so
  // Ř has the ink of R and more, and the bitmap holds it all.
  const TextBitmap r = fonts.render("Arial", 30, U"R");
  const TextBitmap rc = fonts.render("Arial", 30, U"Ř");
  ASSERT_GT(r.cell_height, 0);
  EXPECT_EQ(r.cell_height, rc.cell_height) << "one cell for the font, whatever the text";
  const Box a = ink_box(r, 0), b = ink_box(rc, 0);
  EXPECT_LT(b.top - rc.top, a.top - r.top) << "the caron rises above the R";
  EXPECT_GE(b.top, 0);
  EXPECT_GE(rc.height, rc.top + rc.cell_height);
  // A descender stays inside the cell's bottom or gets rows below it.
  const TextBitmap g = fonts.render("Arial", 30, U"gjp");
  EXPECT_LT(ink_box(g, 0).bottom, g.height);
}

TEST(GdiText, EmptyOrUnusableRequestsGiveNothingAndStorageIsReused) {
  GdiRasterizer fonts;
  TextBitmap bm = fonts.render("Arial", 20, U"");
  EXPECT_EQ(bm.width, 0);
  EXPECT_EQ(fonts.render("Arial", 0, U"A").width, 0);
  EXPECT_EQ(fonts.render("Arial", 5000, U"A").width, 0);
  // A space has no ink but takes its width.
  const TextBitmap space = fonts.render("Arial", 20, U" ");
  EXPECT_GT(space.width, 0);
  EXPECT_TRUE(ink_box(space, 0).empty());
  // A larger text first, then a smaller one into the same bitmap: no new
  // storage.
  fonts.render_into("Arial", 40, U"WWWWWWWW", bm);
  const auto* storage = bm.coverage.data();
  fonts.render_into("Arial", 20, U"ab", bm);
  EXPECT_EQ(bm.coverage.data(), storage);
  EXPECT_GT(bm.width, 0);
}

}  // namespace
}  // namespace platform::win32
