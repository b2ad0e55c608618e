// Surfaces: colour conversion, keyed and clipped copies, the canvas.
#include "media/surface.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace media {
namespace {

// A surface whose pixel at (x, y) is 1 + x + 16 * y, so every pixel differs.
void FillNumbered(TDirectDrawSurface& s) {
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) s.Pixels()[y * s.Pitch() + x] = uint16_t(1 + x + 16 * y);
}

int CountNot(const TDirectDrawSurface& s, uint16_t value) {
  int n = 0;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) != value;
  return n;
}

TEST(Colors, IdentifiersSystemColoursAndTruncation) {
  EXPECT_EQ(RGBTo565(0x0000FF), 0xF800);  // red is the low byte
  EXPECT_EQ(RGBTo565(0xFF0000), 0x001F);
  EXPECT_EQ(RGBTo565(RGBColor(7, 3, 7)), 0);  // below one step of each channel
  EXPECT_EQ(RGBTo565(RGBColor(8, 4, 8)), 0x0821);
  EXPECT_EQ(ColorToRGB(0x80000005), RGBColor(255, 255, 255));  // window
  EXPECT_EQ(ColorToRGB(0x8000000F), RGBColor(192, 192, 192));  // button face
  EXPECT_EQ(ColorToRGB(0x80000012), RGBColor(0, 0, 0));        // button text
  EXPECT_EQ(ColorToRGB(0x800000FF), 0u);                       // unknown index
  EXPECT_EQ(ColorToRGB(0x00123456), 0x00123456u);

  TDirectDrawSurface s(4, 4);
  EXPECT_EQ(s.MatchColor(0x8000000F), RGBTo565(RGBColor(192, 192, 192)));
  EXPECT_EQ(s.MatchColor(RGBColor(255, 0, 255)), 0xF81Fu);
  TDirectDrawSurface none;
  EXPECT_EQ(none.MatchColor(RGBColor(255, 255, 255)), 0u);
  s.SetSize(0, 5);
  EXPECT_FALSE(s.Exists());
}

TEST(DrawSurface, ClipsAtEveryEdgeWithoutShifting) {
  TDirectDrawSurface src(4, 4);
  FillNumbered(src);
  const TRect all{0, 0, 4, 4};
  struct Case {
    int x, y;
  };
  for (Case c : {Case{-2, -1}, Case{6, 6}, Case{-3, 5}, Case{5, -3}, Case{2, 2}}) {
    TDirectDrawSurface dst(8, 8);
    dst.FillSurface(0);
    dst.DrawSurface(c.x, c.y, all, &src, false);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        int sx = x - c.x, sy = y - c.y;
        uint16_t want = (sx >= 0 && sx < 4 && sy >= 0 && sy < 4) ? src.Pixel(sx, sy) : 0;
        ASSERT_EQ(dst.Pixel(x, y), want) << c.x << "," << c.y << " at " << x << "," << y;
      }
  }
  // Wholly off any side, or starting at or beyond the far edges: nothing.
  for (Case c : {Case{8, 0}, Case{9, 0}, Case{0, 8}, Case{-4, 0}, Case{0, -4}, Case{100000, 3}}) {
    TDirectDrawSurface dst(8, 8);
    dst.DrawSurface(c.x, c.y, all, &src, false);
    EXPECT_EQ(CountNot(dst, 0), 0) << c.x << "," << c.y;
  }
  // A source rectangle reaching past the source is cut and the destination
  // moves with it.
  TDirectDrawSurface dst(8, 8);
  dst.DrawSurface(1, 1, TRect{-1, 2, 6, 4}, &src, false);
  EXPECT_EQ(dst.Pixel(1, 1), 0);
  EXPECT_EQ(dst.Pixel(2, 1), src.Pixel(0, 2));
  EXPECT_EQ(dst.Pixel(5, 2), src.Pixel(3, 3));
  EXPECT_EQ(dst.Pixel(6, 2), 0);
  EXPECT_EQ(CountNot(dst, 0), 8);
  dst.DrawSurface(0, 0, all, nullptr, false);  // absent source: nothing, no crash
}

TEST(DrawSurface, ColourKeySkipsOnlyWhenTransparent) {
  TDirectDrawSurface src(2, 1);
  src.Pixels()[0] = 0x1234;
  src.Pixels()[1] = 0xF81F;
  src.SetColorKey(0xF81F);
  TDirectDrawSurface dst(2, 1);
  dst.FillSurface(7);
  dst.DrawSurface(0, 0, TRect{0, 0, 2, 1}, &src, true);
  EXPECT_EQ(dst.Pixel(0, 0), 0x1234);
  EXPECT_EQ(dst.Pixel(1, 0), 7);
  dst.DrawSurface(0, 0, TRect{0, 0, 2, 1}, &src, false);
  EXPECT_EQ(dst.Pixel(1, 0), 0xF81F);
}

TEST(Canvas, LineToLeavesOutTheEndPointAndClips) {
  TDirectDrawSurface s(10, 10);
  auto& c = s.GetCanvas();
  EXPECT_TRUE(c.HandleAllocated());
  c.Pen.Color = RGBColor(255, 255, 255);
  c.MoveTo(1, 1);
  c.LineTo(5, 1);
  for (int x = 1; x <= 4; ++x) EXPECT_EQ(s.Pixel(x, 1), 0xFFFF) << x;
  EXPECT_EQ(s.Pixel(5, 1), 0);
  EXPECT_EQ(CountNot(s, 0), 4);
  c.LineTo(5, 4);  // continues from the last end point, which it now draws
  EXPECT_EQ(s.Pixel(5, 1), 0xFFFF);
  EXPECT_EQ(s.Pixel(5, 3), 0xFFFF);
  EXPECT_EQ(s.Pixel(5, 4), 0);
  s.FillSurface(0);
  c.MoveTo(0, 0);
  c.LineTo(4, 4);  // diagonal
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.Pixel(i, i), 0xFFFF);
  EXPECT_EQ(CountNot(s, 0), 4);
  s.FillSurface(0);
  c.MoveTo(0, 0);
  c.LineTo(8, 3);  // shallow: one pixel per column
  for (int x = 0; x < 8; ++x) {
    int n = 0;
    for (int y = 0; y < 10; ++y) n += s.Pixel(x, y) != 0;
    EXPECT_EQ(n, 1) << x;
  }
  s.FillSurface(0);
  c.MoveTo(-20, 5);
  c.LineTo(30, 5);  // crosses the whole surface
  for (int x = 0; x < 10; ++x) EXPECT_EQ(s.Pixel(x, 5), 0xFFFF);
  c.MoveTo(-1000000, -5);
  c.LineTo(1000000, -5);  // beside it: nothing
  EXPECT_EQ(CountNot(s, 0), 10);
  s.ReleaseCanvas();
  EXPECT_FALSE(c.HandleAllocated());
}

TEST(Canvas, EllipseOutlineHollowOrFilledAndNormalised) {
  for (bool reversed : {false, true}) {
    TDirectDrawSurface s(12, 12);
    auto& c = s.GetCanvas();
    c.Pen.Color = RGBColor(255, 0, 0);
    c.Brush.Style = TBrushStyle::bsClear;
    if (reversed)
      c.Ellipse(10, 10, 1, 1);
    else
      c.Ellipse(1, 1, 10, 10);
    // Inscribed in columns and rows 1..9: touches each side once in the middle.
    EXPECT_EQ(s.Pixel(5, 1), 0xF800);
    EXPECT_EQ(s.Pixel(5, 9), 0xF800);
    EXPECT_EQ(s.Pixel(1, 5), 0xF800);
    EXPECT_EQ(s.Pixel(9, 5), 0xF800);
    EXPECT_EQ(s.Pixel(5, 5), 0);  // hollow
    EXPECT_EQ(s.Pixel(1, 1), 0);  // corners stay free
    for (int i = 0; i < 12; ++i) {
      EXPECT_EQ(s.Pixel(10, i), 0);
      EXPECT_EQ(s.Pixel(i, 10), 0);
      EXPECT_EQ(s.Pixel(0, i), 0);
    }
    // Symmetric about the centre.
    for (int y = 1; y <= 9; ++y)
      for (int x = 1; x <= 9; ++x) ASSERT_EQ(s.Pixel(x, y), s.Pixel(10 - x, 10 - y));
  }
  TDirectDrawSurface s(12, 12);
  auto& c = s.GetCanvas();
  c.Pen.Color = RGBColor(255, 0, 0);
  c.Brush.Style = TBrushStyle::bsSolid;
  c.Brush.Color = RGBColor(0, 0, 255);
  c.Ellipse(1, 1, 10, 10);
  EXPECT_EQ(s.Pixel(5, 5), 0x001F);
  EXPECT_EQ(s.Pixel(5, 1), 0xF800);
  EXPECT_EQ(s.Pixel(1, 1), 0);
  // Partly and wholly off the surface: clipped, no crash.
  c.Ellipse(-30, -30, 6, 6);
  c.Ellipse(100, 100, 200, 200);
  c.Ellipse(3, 3, 3, 9);  // empty rectangle
}

// Rows and columns that hold any pixel differing from the background.
struct Ink {
  int pixels = 0, left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};
Ink InkOf(const TDirectDrawSurface& s, uint16_t background) {
  Ink k;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.Pixel(x, y) != background) {
        ++k.pixels;
        k.left = std::min(k.left, x);
        k.right = std::max(k.right, x);
        k.top = std::min(k.top, y);
        k.bottom = std::max(k.bottom, y);
      }
  return k;
}

std::vector<uint16_t> Render(const std::string& font, int size, const std::string& text, int x = 2,
                             int y = 2, bool ansi = false) {
  TDirectDrawSurface s(200, 40);
  auto& c = s.GetCanvas();
  c.Brush.Style = TBrushStyle::bsClear;
  c.Font.Name = font;
  c.Font.Size = size;
  c.Font.Color = RGBColor(255, 255, 255);
  if (ansi)
    c.TextOutAnsi(x, y, text);
  else
    c.TextOut(x, y, text);
  s.ReleaseCanvas();
  return std::vector<uint16_t>(s.Pixels(), s.Pixels() + 200 * 40);
}

TEST(Canvas, TextRendersCzechLettersInEveryFontUsed) {
  for (const char* font : {"Arial", "Arial Black", "Arial black", "Impact", "NoSuchFont 42"}) {
    TDirectDrawSurface s(200, 40);
    auto& c = s.GetCanvas();
    c.Brush.Style = TBrushStyle::bsClear;
    c.Font.Name = font;
    c.Font.Size = 8;
    c.Font.Color = RGBColor(255, 0, 0);
    c.TextOut(10, 5, "Zamířen");
    Ink k = InkOf(s, 0);
    EXPECT_GT(k.pixels, 30) << font;
    EXPECT_GE(k.left, 10) << font;
    EXPECT_GE(k.top, 5) << font;
    EXPECT_LT(k.bottom, 5 + 20) << font;
    // Only shades of the font colour over black.
    for (int i = 0; i < 200 * 40; ++i) ASSERT_EQ(s.Pixels()[i] & 0x07FF, 0) << font;
  }
  // Each accented letter renders, and differently from its plain letter.
  const std::pair<const char*, const char*> pairs[] = {
      {"ř", "r"}, {"í", "i"}, {"é", "e"}, {"á", "a"}, {"č", "c"},
      {"š", "s"}, {"ž", "z"}, {"ů", "u"}, {"Ř", "R"}, {"Ž", "Z"}};
  for (auto [accented, plain] : pairs) {
    auto a = Render("Arial", 10, accented), p = Render("Arial", 10, plain);
    EXPECT_NE(a, p) << accented;
    EXPECT_NE(a, Render("Arial", 10, "")) << accented;
  }
  // The stored 8-bit text gives the same picture as its UTF-8 form.
  const std::string czech = "Jméno hráče: řůžďťň";
  EXPECT_EQ(Render("Impact", 10, platform::utf8_to_cp1250(czech), 2, 2, true),
            Render("Impact", 10, czech));
}

TEST(Canvas, TextSizeBackgroundAndClipping) {
  auto height_of = [](int size) {
    TDirectDrawSurface s(200, 60);
    auto& c = s.GetCanvas();
    c.Brush.Style = TBrushStyle::bsClear;
    c.Font.Size = size;
    c.Font.Color = RGBColor(255, 255, 255);
    c.TextOut(0, 0, "H");
    Ink k = InkOf(s, 0);
    return k.bottom - k.top + 1;
  };
  // Cap height of a sans face is about 0.72 em; 6, 8, 10 points are 8, 11, 13 px.
  EXPECT_LT(height_of(6), height_of(10));
  EXPECT_NEAR(height_of(10), 9, 2);

  TDirectDrawSurface s(100, 30);
  s.FillSurface(0x1234);
  auto& c = s.GetCanvas();
  c.Brush.Style = TBrushStyle::bsSolid;
  c.Brush.Color = RGBColor(0, 0, 255);
  c.Font.Color = RGBColor(255, 255, 255);
  c.TextOut(5, 5, "ab");
  EXPECT_EQ(s.Pixel(5, 5), 0x001F);  // the cell's corner takes the brush
  EXPECT_EQ(s.Pixel(4, 5), 0x1234);
  c.Brush.Style = TBrushStyle::bsClear;
  s.FillSurface(0x1234);
  c.TextOut(5, 5, "ab");
  EXPECT_EQ(s.Pixel(5, 5), 0x1234);

  // Text partly off every edge draws its visible part only.
  s.FillSurface(0);
  c.TextOut(-6, -4, "Odolnost 100%");
  c.TextOut(90, 25, "Odolnost 100%");
  c.TextOut(100000, 5, "x");
  c.TextOut(-100000, 5, "x");
  EXPECT_GT(InkOf(s, 0).pixels, 0);
  c.TextOut(0, 0, std::string("\xff\xfe bad \xc3", 9));  // malformed UTF-8: no crash
}

}  // namespace
}  // namespace media

// The clear writes whole words; every pixel of every size must still get
// exactly the value, including the last few of a row count not divisible by 4.
TEST(FillSurface, EveryPixelGetsTheValueForAnySize) {
  for (int w : {1, 3, 5, 7, 800}) {
    for (uint16_t value : {uint16_t(0), uint16_t(0xFFFF), uint16_t(0x4208), uint16_t(0xF801)}) {
      media::TDirectDrawSurface s(w, 3);
      s.FillSurface(0x1234);
      s.FillSurface(value);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(s.Pixel(x, y), value) << w << " " << x << "," << y;
    }
  }
  media::TDirectDrawSurface empty;
  empty.FillSurface(0x4208);  // no pixels: nothing to do, nothing to crash
}
