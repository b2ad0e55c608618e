// Canvas drawing in steady state: no heap allocation once fonts, glyphs and
// the canvas's buffers are warm, and text in the same pixels as compositing a
// freshly rendered bitmap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "harness/alloc_count.h"
#include "media/surface.h"
#include "platform/fonts.h"
#include "platform/services.h"
#include "platform/text.h"

namespace media {
namespace {

// What the game draws on a canvas in a frame: the lock ring and line, the
// lock label and a readout in different fonts, a stored 8-bit name, a wide
// string, a long then a short line so the reused buffers shrink and grow.
void DrawFrameTexts(TDirectDrawSurfaceCanvas& c, int frame) {
  c.Pen.Color = RGBColor(255, 0, 0);
  c.Brush.Style = TBrushStyle::bsClear;
  c.Ellipse(40 + frame % 9, 50, 10, 10 + frame % 5);
  c.Brush.Style = TBrushStyle::bsSolid;
  c.Ellipse(-20, -20, 30 + frame % 3, 25);
  c.MoveTo(25, 30);
  c.LineTo(300, 5 + frame % 50);
  c.Brush.Style = TBrushStyle::bsClear;
  c.Font.Name = "Arial";
  c.Font.Size = 8;
  c.Font.Color = RGBColor(255, 0, 0);
  c.TextOut(10 + frame % 7, 5, "Zamířen");
  char readout[32];
  const int n = std::snprintf(readout, sizeof readout, "Odolnost %d%%", frame % 101);
  c.Font.Name = "Arial Black";
  c.Font.Size = 6;
  c.TextOut(-3, 20, std::string_view(readout, size_t(n)));
  c.Brush.Style = TBrushStyle::bsSolid;
  c.Font.Name = "impact";
  c.Font.Size = 10;
  c.TextOutAnsi(150, 30, "Jm\xe9no hr\xe1\xe8\x65 \xf8\xf9\x9e");
  c.TextOutUtf32(300, 45, U"Sk\u00f3re 1234567890");
  c.Font.Name = "Arial";
  c.Font.Size = -12;
  c.TextOut(0, 0, "A long line of text, wider than anything else drawn here");
  c.TextOut(0, 0, "i");
}

TEST(TextAlloc, SteadyStateCanvasDrawsAllocateNothing) {
  TDirectDrawSurface s(320, 60);
  auto& c = s.GetCanvas();
  // Warm up: every digit of the readout, so every glyph is cached.
  for (int frame = 0; frame < 101; ++frame) DrawFrameTexts(c, frame);
  EXPECT_EQ(alloc_count::allocations_during([&] {
              for (int frame = 0; frame < 200; ++frame) DrawFrameTexts(c, frame);
            }),
            0);
  // A second canvas warms its own buffers, then stays quiet too.
  TDirectDrawSurface other(100, 20);
  auto& c2 = other.GetCanvas();
  DrawFrameTexts(c2, 0);
  EXPECT_EQ(alloc_count::allocations_during([&] { DrawFrameTexts(c2, 1); }), 0);
  other.ReleaseCanvas();
  s.ReleaseCanvas();
}

TEST(TextAlloc, RenderIntoAReusedBitmapEqualsAFreshRender) {
  platform::FontRasterizer& fonts = platform::default_font_rasterizer();
  struct Case {
    const char* family;
    int px;
    std::u32string text;
  };
  const Case cases[] = {
      {"Arial", 40, U"Wide and tall text"},  // large first: later ones must not keep its leftovers
      {"Arial", 11, U"ab"},
      {"ARIAL", 11, U"ab"},
      {"Impact", 13, U"Zamířen"},
      {"Arial Black", 8, U"Odolnost 100%"},
      {"NoSuchFont 42", 16, U"fallback ř"},
      {"Arial", 11, U""},     // empty text: an empty bitmap
      {"Arial", 0, U"zero"},  // no size: an empty bitmap
      {"Arial", 9, U"    "},  // blanks only: a cell with no ink
      {"Arial", 60, U"Grows past every earlier text"},
      {"Impact", 7, U"x"},
  };
  platform::TextBitmap reused;
  for (const Case& k : cases) {
    fonts.render_into(k.family, k.px, k.text, reused);
    const platform::TextBitmap fresh = fonts.render(k.family, k.px, k.text);
    SCOPED_TRACE(std::string(k.family) + " " + std::to_string(k.px));
    EXPECT_EQ(reused.width, fresh.width);
    EXPECT_EQ(reused.height, fresh.height);
    EXPECT_EQ(reused.coverage, fresh.coverage);
    EXPECT_EQ(reused.coverage.size(), size_t(reused.width) * size_t(reused.height));
  }
}

// Composites a bitmap the way a top-left aligned text is drawn: the cell at
// y (ink above it above y), the cell filled with the brush when solid,
// coverage blended into the 565 pixels.
void DrawReference(TDirectDrawSurface& s, int x, int y, const platform::TextBitmap& bm, TColor font,
                   bool opaque, TColor brush) {
  const int fr = int(font & 0xFF), fg = int((font >> 8) & 0xFF), fb = int((font >> 16) & 0xFF);
  for (int r = 0; r < bm.height; ++r)
    for (int col = 0; col < bm.width; ++col) {
      const int64_t xx = int64_t(x) + col, yy = int64_t(y) - bm.top + r;
      if (xx < 0 || yy < 0 || xx >= s.Width() || yy >= s.Height()) continue;
      uint16_t& d = s.Pixels()[size_t(yy) * s.Pitch() + size_t(xx)];
      if (opaque && r >= bm.top && r < bm.top + bm.cell_height) d = RGBTo565(brush);
      const int a = bm.coverage[size_t(r) * size_t(bm.width) + size_t(col)];
      if (a == 0) continue;
      if (a == 255) {
        d = RGBTo565(font);
        continue;
      }
      int cr = (d >> 11) << 3, cg = ((d >> 5) & 0x3F) << 2, cb = (d & 0x1F) << 3;
      cr += ((fr - cr) * a) / 255;
      cg += ((fg - cg) * a) / 255;
      cb += ((fb - cb) * a) / 255;
      d = uint16_t(((cr >> 3) << 11) | ((cg >> 2) << 5) | (cb >> 3));
    }
}

std::vector<uint16_t> PixelsOf(const TDirectDrawSurface& s) {
  return std::vector<uint16_t>(s.Pixels(), s.Pixels() + size_t(s.Height()) * s.Pitch());
}

// Fills a surface with a pattern so blending over differing backgrounds shows.
void Pattern(TDirectDrawSurface& s) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      s.Pixels()[size_t(y) * s.Pitch() + x] = uint16_t(x * 977 + y * 131);
}

TEST(TextAlloc, CanvasPixelsMatchTheRenderedBitmap) {
  const char* families[] = {"Arial", "Arial Black", "Impact"};
  const char* texts[] = {"Zamířen", "Odolnost 100%", "WAVE fj ÿ", "i", "ŘÁDKY Ýj"};
  const int sizes[] = {6, 8, 14};
  const std::pair<int, int> places[] = {{3, 4}, {-7, -3}, {150, 30}};
  TDirectDrawSurface drawn(160, 40), expected(160, 40);
  auto& c = drawn.GetCanvas();
  for (const char* family : families)
    for (const char* text : texts)
      for (int size : sizes)
        for (bool opaque : {false, true})
          for (auto [x, y] : places) {
            Pattern(drawn);
            Pattern(expected);
            c.Font.Name = family;
            c.Font.Size = size;
            c.Font.Color = RGBColor(250, 120, 30);
            c.Brush.Style = opaque ? TBrushStyle::bsSolid : TBrushStyle::bsClear;
            c.Brush.Color = RGBColor(0, 0, 200);
            c.TextOut(x, y, text);
            const int px = int(size * 96.0 / 72.0 + 0.5);
            DrawReference(expected, x, y,
                          platform::default_font_rasterizer().render(family, px,
                                                                     platform::utf8_to_utf32(text)),
                          RGBColor(250, 120, 30), opaque, RGBColor(0, 0, 200));
            ASSERT_EQ(PixelsOf(drawn), PixelsOf(expected))
                << family << " " << text << " " << size << " " << opaque << " " << x;
          }
  drawn.ReleaseCanvas();
}

TEST(TextAlloc, AccentsAboveTheCellAreDrawnNotCut) {
  // In the face that stands in for Arial the accents of capitals reach a
  // row above the font's ascent at the game's sizes.
  auto& fonts = platform::default_font_rasterizer();
  for (int px : {8, 11, 13}) {
    const platform::TextBitmap bm = fonts.render("Arial", px, U"ŘÁ");
    const platform::TextBitmap plain = fonts.render("Arial", px, U"RA");
    EXPECT_EQ(bm.cell_height, plain.cell_height) << px;
    EXPECT_EQ(plain.top, 0) << px;
    EXPECT_EQ(plain.height, plain.cell_height) << px;
    if (bm.top == 0) continue;  // another face, with room for its accents
    EXPECT_EQ(bm.height, bm.top + bm.cell_height) << px;
    int ink = 0;
    for (int c = 0; c < bm.width; ++c) ink += bm.coverage[size_t(c)];
    EXPECT_GT(ink, 0) << "the row above the cell is empty at " << px << " px";
  }

  // On the surface: ink above y, the brush only from y on.
  TDirectDrawSurface s(80, 30);
  s.FillSurface(0);
  auto& c = s.GetCanvas();
  c.Font.Name = "Arial";
  c.Font.Size = 8;
  c.Font.Color = RGBColor(255, 255, 255);
  c.Brush.Style = TBrushStyle::bsSolid;
  c.Brush.Color = RGBColor(0, 0, 255);
  const platform::TextBitmap bm = fonts.render("Arial", 11, U"ŘÁ");
  c.TextOut(5, 10, "ŘÁ");
  s.ReleaseCanvas();
  EXPECT_EQ(s.Pixel(5, 10), 0x001F) << "the cell's corner takes the brush";
  bool brush_above = false, ink_above = false;
  for (int x = 0; x < 80; ++x) {
    const uint16_t p = s.Pixel(x, 9);
    brush_above = brush_above || p == 0x001F;
    ink_above = ink_above || p != 0;
  }
  EXPECT_FALSE(brush_above) << "the brush fills above the cell";
  EXPECT_EQ(ink_above, bm.top > 0) << "the accents above the cell are not drawn";
}

TEST(TextAlloc, EveryEightBitCharacterDrawsAsItsUnicodeForm) {
  TDirectDrawSurface a(60, 30), b(60, 30);
  auto& ca = a.GetCanvas();
  auto& cb = b.GetCanvas();
  for (int code = 0x20; code < 0x100; ++code) {
    const std::string byte(1, char(code));
    a.FillSurface(0);
    b.FillSurface(0);
    ca.Font.Size = cb.Font.Size = 14;
    ca.Font.Color = cb.Font.Color = RGBColor(255, 255, 255);
    // The character between two letters, so a change of advance shows too.
    ca.TextOutAnsi(2, 2, "H" + byte + "H");
    cb.TextOutUtf32(2, 2, U"H" + platform::cp1250_to_utf32(byte) + U"H");
    ASSERT_EQ(PixelsOf(a), PixelsOf(b)) << "byte " << code;
  }
  a.ReleaseCanvas();
  b.ReleaseCanvas();
}

// A rasteriser of the simplest kind, a new bitmap at every call: the canvas
// draws its bitmaps, and render() gives the same picture.
class FixedRasterizer final : public platform::FontRasterizer {
 public:
  void render_into(std::string_view, int, std::u32string_view text,
                   platform::TextBitmap& bm) override {
    bm = {};
    bm.width = int(text.size());
    bm.height = 2;
    bm.coverage.assign(size_t(bm.width) * 2, 255);
    bm.coverage[0] = 0;
  }
};

TEST(TextAlloc, ARasteriserThatReusesNothingStillDraws) {
  FixedRasterizer fixed;
  platform::FontRasterizer* saved = platform::services().fonts;
  platform::services().fonts = &fixed;
  TDirectDrawSurface s(10, 5);
  s.FillSurface(0x1111);
  auto& c = s.GetCanvas();
  c.Brush.Style = TBrushStyle::bsClear;
  c.Font.Color = RGBColor(255, 255, 255);
  c.TextOut(1, 1, "abc");
  s.ReleaseCanvas();
  platform::services().fonts = saved;
  EXPECT_EQ(s.Pixel(1, 1), 0x1111);  // no coverage
  EXPECT_EQ(s.Pixel(2, 1), 0xFFFF);
  EXPECT_EQ(s.Pixel(3, 2), 0xFFFF);
  EXPECT_EQ(s.Pixel(4, 1), 0x1111);  // past the three-letter cell
  EXPECT_EQ(s.Pixel(2, 3), 0x1111);  // below the two-row cell
  EXPECT_EQ(fixed.render("Arial", 11, U"abc").coverage,
            (std::vector<uint8_t>{0, 255, 255, 255, 255, 255}));
}

}  // namespace
}  // namespace media
