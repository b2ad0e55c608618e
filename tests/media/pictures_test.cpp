// Picture items: pattern cutting, plain and rotated drawing, blend rules.
#include "media/pictures.h"

#include <gtest/gtest.h>

#include <cmath>

#include "media/errors.h"
#include "media/sprite_rotate.h"

namespace media {
namespace {

// A picture whose every pixel is distinct in 565: red, green and blue steps
// chosen so no two positions (below 32 x 64) truncate to the same value.
uint32_t PixelAt(int x, int y) {
  return (uint32_t((x * 8) & 0xF8) << 16) | (uint32_t((y * 4) & 0xFC) << 8) |
         uint32_t(((x >> 5) * 8 + (y >> 6) * 64) & 0xF8);
}
uint16_t Pixel565(int x, int y) {
  return RGBTo565(
      RGBColor(uint8_t(PixelAt(x, y) >> 16), uint8_t(PixelAt(x, y) >> 8), uint8_t(PixelAt(x, y))));
}

TDIB Picture(int w, int h) {
  std::vector<uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = PixelAt(x, y);
  return TDIB::FromPixels(w, h, 24, px);
}

struct Item {
  TPictureCollection coll;
  TPictureCollectionItem* item;
  Item(int w, int h, int pw, int ph, int skw = 0, int skh = 0, bool sysmem = false) {
    item = &coll.Add();
    item->Picture = Picture(w, h);
    item->PatternWidth = pw;
    item->PatternHeight = ph;
    item->SkipWidth = skw;
    item->SkipHeight = skh;
    item->SystemMemory = sysmem;
    item->Transparent = false;
    item->Initialize();
    item->Restore();
  }
};

// Every pattern, drawn plainly, shows the picture at (step * column, step * row).
void ExpectPatternsShowThePicture(const TPictureCollectionItem& it, int columns, int step_x,
                                  int step_y, int max_side = 600) {
  const int pw = it.Width(), ph = it.Height();
  for (int p = 0; p < it.PatternCount(); ++p) {
    TDirectDrawSurface dst(pw, ph);
    it.DrawPattern(&dst, 0, 0, p);
    const int ox = step_x * (p % columns), oy = step_y * (p / columns);
    for (int y = 0; y < ph; ++y)
      for (int x = 0; x < pw; ++x)
        ASSERT_EQ(dst.Pixel(x, y), Pixel565(ox + x, oy + y))
            << "pattern " << p << " " << x << "," << y;
    const TDirectDrawSurface* s = it.PatternSurface(p);
    ASSERT_NE(s, nullptr);
    ASSERT_LE(s->Width(), max_side);
    ASSERT_LE(s->Height(), max_side);
  }
}

TEST(PatternCutting, CountsAndLayout) {
  {
    Item a(320, 240, 0, 0);
    ASSERT_EQ(a.item->PatternCount(), 1);
    EXPECT_EQ(a.item->PatternRect(0).Width(), 320);
    ExpectPatternsShowThePicture(*a.item, 1, 0, 0);
  }
  {
    Item a(200, 50, 50, 50);
    ASSERT_EQ(a.item->PatternCount(), 4);
    ExpectPatternsShowThePicture(*a.item, 4, 50, 50);
  }
  {
    Item a(200, 50, 50, 50, 10);
    ASSERT_EQ(a.item->PatternCount(), 3);  // (200 + 10) div 60
    ExpectPatternsShowThePicture(*a.item, 3, 60, 50);
  }
  {
    Item a(130, 130, 20, 20, 5, 5);  // 5 x 5 patterns with gaps both ways
    ASSERT_EQ(a.item->PatternCount(), 25);
    ExpectPatternsShowThePicture(*a.item, 5, 25, 25);
  }
}

TEST(PatternCutting, LargePicturesAreTiledAndSystemMemorySharesOneSurface) {
  // step 53: tiles of 530 (the multiple reaching 512); 22 columns and 11 rows
  // across 3 x 2 tiles, the last ones narrower.
  Item a(1200, 600, 50, 50, 3, 3);
  ASSERT_EQ(a.item->PatternCount(), 22 * 11);
  ExpectPatternsShowThePicture(*a.item, 22, 53, 53);
  EXPECT_EQ(a.item->PatternSurface(0), a.item->PatternSurface(9));
  EXPECT_NE(a.item->PatternSurface(9), a.item->PatternSurface(10));  // x 530 starts tile 1
  EXPECT_EQ(a.item->PatternSurface(10)->Width(), 530);
  EXPECT_EQ(a.item->PatternSurface(21)->Width(), 1200 - 1060);
  EXPECT_EQ(a.item->PatternSurface(22 * 10)->Height(), 600 - 530);
  EXPECT_EQ(a.item->PatternRect(11).Left, 53);

  // Fewer whole patterns than 512 wide: the tile holds just them.
  Item b(1100, 40, 100, 40);
  ASSERT_EQ(b.item->PatternCount(), 11);
  EXPECT_EQ(b.item->PatternSurface(5)->Width(), 600);
  EXPECT_EQ(b.item->PatternSurface(6)->Width(), 500);
  ExpectPatternsShowThePicture(*b.item, 11, 100, 40);

  Item c(1200, 600, 50, 50, 3, 3, true);
  ASSERT_EQ(c.item->PatternCount(), 22 * 11);
  EXPECT_EQ(c.item->PatternSurface(0), c.item->PatternSurface(22 * 11 - 1));
  EXPECT_EQ(c.item->PatternRect(22 * 11 - 1).Left, 21 * 53);
  ExpectPatternsShowThePicture(*c.item, 22, 53, 53, 1200);
}

TEST(PatternCutting, DegenerateInputGivesNoPatternsAndDrawsNothing) {
  Item tall(50, 50, 60, 10);  // pattern wider than the picture
  EXPECT_EQ(tall.item->PatternCount(), 0);
  Item neg(50, 50, 10, 10, -10, 0);  // gaps eating the whole step
  EXPECT_EQ(neg.item->PatternCount(), 0);
  Item neg2(50, 50, 10, 10, -20, 0);
  EXPECT_EQ(neg2.item->PatternCount(), 0);

  TPictureCollection coll;
  auto& empty = coll.Add();
  empty.Initialize();
  empty.Restore();
  EXPECT_EQ(empty.PatternCount(), 0);

  Item a(20, 10, 10, 10);
  TDirectDrawSurface dst(30, 30);
  for (int bad : {-1, 2, 1000}) {
    a.item->DrawPattern(&dst, 0, 0, bad);
    a.item->DrawPatternRotated(&dst, 10, 10, 10, 10, bad, 0.5, 0.5, 3);
    a.item->DrawPatternRotatedAdditive(&dst, 10, 10, 10, 10, bad, 0.5, 0.5, 3, 255);
    a.item->DrawPatternRotatedBlended(&dst, 10, 10, 10, 10, bad, 0.5, 0.5, 3, 255);
  }
  a.item->DrawPatternRotated(&dst, 10, 10, 0, 10, 0, 0.5, 0.5, 3);
  a.item->DrawPatternRotated(&dst, 10, 10, 10, 0, 0, 0.5, 0.5, 3);
  a.item->DrawPatternRotatedAdditive(&dst, 10, 10, 10, 10, 0, 0.5, 0.5, 3, 0);
  a.item->DrawPatternRotatedBlended(&dst, 10, 10, 10, 10, 0, 0.5, 0.5, 3, -5);
  a.item->DrawPattern(nullptr, 0, 0, 0);
  a.item->Finalize();  // not initialised any more: draws nothing
  a.item->DrawPattern(&dst, 0, 0, 0);
  for (int i = 0; i < 900; ++i) ASSERT_EQ(dst.Pixels()[i], 0);

  // Out-of-range items are empty and harmless.
  EXPECT_EQ(a.coll.ItemAt(5).PatternCount(), 0);
  a.coll.ItemAt(-1).DrawPattern(&dst, 0, 0, 0);
  EXPECT_EQ(&a.coll.ItemAt(1), &a.coll.ItemAt(7));
}

TEST(PatternCutting, ColourKeyFollowsTransparentColour) {
  TPictureCollection coll;
  auto& it = coll.Add();
  // Black, button face grey, white.
  it.Picture = TDIB::FromPixels(3, 1, 24, {0x000000, 0xC0C0C0, 0xFFFFFF});
  it.TransparentColor = 0x8000000F;  // button face, a system colour
  it.Initialize();
  it.Restore();
  TDirectDrawSurface dst(3, 1);
  dst.FillSurface(0x0841);
  it.DrawPattern(&dst, 0, 0, 0);
  EXPECT_EQ(dst.Pixel(0, 0), 0);
  EXPECT_EQ(dst.Pixel(1, 0), 0x0841);  // keyed out
  EXPECT_EQ(dst.Pixel(2, 0), 0xFFFF);
  it.SetTransparentColor(RGBColor(255, 255, 255));  // re-keys the cut surfaces
  dst.FillSurface(0x0841);
  it.DrawPatternRotated(&dst, 0, 0, 3, 1, 0, 0, 0, 0);
  EXPECT_EQ(dst.Pixel(1, 0), RGBTo565(0xC0C0C0));
  EXPECT_EQ(dst.Pixel(2, 0), 0x0841);
}

TEST(Collection, InitialiseNeedsAnInitialisedDisplay) {
  TPictureCollection coll;
  coll.Add();
  try {
    coll.Initialize();
    FAIL() << "no exception";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "TPictureCollection cannot be initialized");
  }
  EXPECT_FALSE(coll.ItemAt(0).Initialized());
}

// ---- rotated drawing -------------------------------------------------------

// A copy of a surface's pixels.
struct Img {
  int w = 0, h = 0;
  std::vector<uint16_t> px;
  explicit Img(const TDirectDrawSurface& s)
      : w(s.Width()), h(s.Height()), px(s.Pixels(), s.Pixels() + s.Width() * s.Height()) {}
  uint16_t Pixel(int x, int y) const { return px[size_t(y) * w + x]; }
  const uint16_t* Pixels() const { return px.data(); }
  bool operator==(const Img&) const = default;
};

struct Rot {
  TDirectDrawSurface src{8, 8};
  Rot() {
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) src.Pixels()[y * 8 + x] = Pixel565(x, y);
  }
  Img Draw(int x, int y, int w, int h, double cx, double cy, int angle,
           TBlendRule rule = TBlendRule::Plain, int alpha = 255, uint16_t background = 0) {
    TDirectDrawSurface dst(40, 40);
    dst.FillSurface(background);
    DrawRotated(&dst, x, y, w, h, &src, TRect{0, 0, 8, 8}, cx, cy, angle, alpha, rule, false);
    return Img(dst);
  }
};

bool Same(const Img& a, const Img& b) { return a == b; }

TEST(Rotated, UnturnedCopyCentreAndFullTurn) {
  Rot r;
  auto d = r.Draw(10, 12, 8, 8, 0, 0, 0);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      bool in = x >= 10 && x < 18 && y >= 12 && y < 20;
      ASSERT_EQ(d.Pixel(x, y), in ? Pixel565(x - 10, y - 12) : 0) << x << "," << y;
    }
  EXPECT_TRUE(Same(d, r.Draw(10, 12, 8, 8, 0, 0, 256)));
  EXPECT_TRUE(Same(d, r.Draw(10, 12, 8, 8, 0, 0, -256)));
  // Centred: (x, y) is the middle of the sprite.
  EXPECT_TRUE(Same(d, r.Draw(14, 16, 8, 8, 0.5, 0.5, 0)));
  // Scaled by two: each source pixel covers a 2 x 2 block.
  auto big = r.Draw(0, 0, 16, 16, 0, 0, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(big.Pixel(x, y), Pixel565(x / 2, y / 2));
  EXPECT_EQ(big.Pixel(16, 0), 0);
  // Halved: every other source pixel, sampled at the destination pixel centres.
  auto small = r.Draw(0, 0, 4, 4, 0, 0, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      ASSERT_EQ(small.Pixel(x, y), Pixel565(2 * x + 1, 2 * y + 1));  // pixel centres
}

TEST(Rotated, QuarterTurnsClockwiseAboutThePoint) {
  Rot r;
  // 64: the source's top row becomes the rightmost column, left of (x, y).
  auto d = r.Draw(20, 10, 8, 8, 0, 0, 64);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      bool in = x >= 12 && x < 20 && y >= 10 && y < 18;
      uint16_t want = in ? Pixel565(y - 10, 7 - (x - 12)) : 0;
      ASSERT_EQ(d.Pixel(x, y), want) << x << "," << y;
    }
  // Half turn about the centre.
  auto h = r.Draw(20, 20, 8, 8, 0.5, 0.5, 128);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(h.Pixel(16 + x, 16 + y), Pixel565(7 - x, 7 - y));
  // Three quarters equals a quarter the other way.
  EXPECT_TRUE(Same(r.Draw(20, 20, 8, 8, 0.5, 0.5, 192), r.Draw(20, 20, 8, 8, 0.5, 0.5, -64)));
}

TEST(Rotated, ArbitraryAnglesMatchTheInverseMapping) {
  // Every drawn pixel carries the source pixel that the exact inverse mapping
  // names, nothing lies outside the turned sprite, and the inside is filled.
  TDirectDrawSurface src(8, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) src.Pixels()[y * 8 + x] = uint16_t(1 + x + 8 * y);
  const auto& ct = CosTable();
  int checked = 0, off = 0;
  for (int angle : {7, 30, 45, 100, 160, 211, 250}) {
    for (auto [w, h] : {std::pair{16, 12}, std::pair{24, 9}, std::pair{5, 20}}) {
      TDirectDrawSurface dst(60, 60);
      const int X = 30, Y = 29;
      DrawRotated(&dst, X, Y, w, h, &src, TRect{0, 0, 8, 6}, 0.5, 0.5, angle, 255,
                  TBlendRule::Plain, false);
      const double c = ct[size_t(angle & 255)], s = ct[size_t((angle + 192) & 255)];
      const double cu0 = std::trunc(-w * 0.5), cv0 = std::trunc(-h * 0.5);
      for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
          const double dx = x + 0.5 - X, dy = y + 0.5 - Y;
          const double u = (dx * c + dy * s - cu0) * 8.0 / w;
          const double v = (-dx * s + dy * c - cv0) * 6.0 / h;
          const uint16_t got = dst.Pixel(x, y);
          const bool near_edge =
              std::fabs(u - std::round(u)) < 1e-3 || std::fabs(v - std::round(v)) < 1e-3;
          if (near_edge) continue;
          const bool inside = u >= 0 && u < 8 && v >= 0 && v < 6;
          if (!inside) {
            ASSERT_EQ(got, 0) << angle << " " << x << "," << y;
            continue;
          }
          ++checked;
          // Inside the sprite but outside the truncated corner box may stay empty.
          if (got == 0) {
            ++off;
            continue;
          }
          ASSERT_EQ(got, 1 + int(u) + 8 * int(v)) << angle << " " << x << "," << y;
        }
    }
  }
  EXPECT_GT(checked, 2000);
  EXPECT_LT(off, checked / 20);
}

TEST(Rotated, ClippedAtEveryEdgeWithoutShifting) {
  Rot r;
  // The same sprite drawn partly off each edge keeps its visible pixels where
  // a larger surface would have them.
  for (auto [x, y] : {std::pair{-3, 10}, std::pair{35, 10}, std::pair{10, -5}, std::pair{10, 37},
                      std::pair{-6, -6}, std::pair{38, 38}}) {
    for (int angle : {0, 40, 64}) {
      TDirectDrawSurface big(80, 80), dst(40, 40);
      DrawRotated(&big, x + 20, y + 20, 8, 8, &r.src, TRect{0, 0, 8, 8}, 0.5, 0.5, angle, 255,
                  TBlendRule::Plain, false);
      DrawRotated(&dst, x, y, 8, 8, &r.src, TRect{0, 0, 8, 8}, 0.5, 0.5, angle, 255,
                  TBlendRule::Plain, false);
      for (int yy = 0; yy < 40; ++yy)
        for (int xx = 0; xx < 40; ++xx)
          ASSERT_EQ(dst.Pixel(xx, yy), big.Pixel(xx + 20, yy + 20))
              << x << "," << y << " " << angle;
    }
  }
  auto none = r.Draw(1000000, 5, 8, 8, 0.5, 0.5, 10);
  EXPECT_TRUE(Same(none, Img(TDirectDrawSurface(40, 40))));
  TDirectDrawSurface huge(40, 40);  // absurd sizes and centres: clipped, no crash
  DrawRotated(&huge, 20, 20, 2000000000, 3, &r.src, TRect{0, 0, 8, 8}, 0.5, 0.5, 33, 255,
              TBlendRule::Plain, false);
  DrawRotated(&huge, 20, 20, 8, 8, &r.src, TRect{0, 0, 8, 8}, 1e12, -1e12, 33, 255,
              TBlendRule::Plain, false);
}

TEST(Rotated, BlendRules) {
  // 565 arithmetic at the channel level.
  EXPECT_EQ(BlendMix565(0xFFFF, 0x0000, 128), 0x7BEF);  // 31*128/256 = 15, 63 -> 31
  EXPECT_EQ(BlendMix565(0x0000, 0xFFFF, 128), 0x7BEF);
  EXPECT_EQ(BlendMix565(0xF800, 0x001F, 64), (7 << 11) | 23);
  EXPECT_EQ(BlendAdd565(0xFFFF, 0x0000, 128), 0x7BEF);
  EXPECT_EQ(BlendAdd565(0x8410, 0x8410, 255), 0xFFFF);  // each channel saturates
  EXPECT_EQ(BlendAdd565(0xF800, 0x0800, 255), 0xF800);  // red saturates alone
  EXPECT_EQ(BlendAdd565(0x07E0, 0x0020, 255), 0x07E0);  // green saturates alone
  EXPECT_EQ(BlendAdd565(0x001F, 0x0001, 255), 0x001F);  // blue saturates alone
  EXPECT_EQ(BlendAdd565(0x0841, 0x1082, 255), 0x18C3);
  EXPECT_EQ(BlendAdd565(0x0842, 0x0000, 128), 0x0021);  // halves truncate

  Rot r;
  const auto plain = r.Draw(10, 10, 8, 8, 0.5, 0.5, 37);
  EXPECT_TRUE(Same(plain, r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Blended, 255)));
  EXPECT_TRUE(Same(plain, r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Blended, 1000)));
  EXPECT_TRUE(Same(plain, r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Additive, 255)));
  const Img black(TDirectDrawSurface(40, 40));
  EXPECT_TRUE(Same(black, r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Blended, 0)));
  EXPECT_TRUE(Same(black, r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Additive, 0)));
  auto white = r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Additive, 255, 0xFFFF);
  for (int i = 0; i < 1600; ++i) ASSERT_EQ(white.Pixels()[i], 0xFFFF);
  // Half alpha over black: every drawn pixel is the halved source pixel.
  auto half = r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Blended, 128);
  auto half_add = r.Draw(10, 10, 8, 8, 0.5, 0.5, 37, TBlendRule::Additive, 128);
  for (int i = 0; i < 1600; ++i) {
    ASSERT_EQ(half.Pixels()[i], BlendMix565(plain.Pixels()[i], 0, 128));
    ASSERT_EQ(half_add.Pixels()[i], BlendAdd565(plain.Pixels()[i], 0, 128));
  }
}

TEST(Rotated, WideSpansBlendLikeSinglePixels) {
  // Long spans go through the bulk path; every pixel must still follow the
  // single-pixel rules, keyed pixels included, whatever the span length.
  TDirectDrawSurface src(61, 3);
  uint32_t seed = 12345;
  auto next = [&] { return uint16_t((seed = seed * 1103515245u + 12345u) >> 12); };
  for (int i = 0; i < 61 * 3; ++i) src.Pixels()[i] = i % 7 == 3 ? 0xF81F : next();
  src.SetColorKey(0xF81F);
  TDirectDrawSurface base(70, 5);
  for (int i = 0; i < 70 * 5; ++i) base.Pixels()[i] = next();
  for (TBlendRule rule : {TBlendRule::Additive, TBlendRule::Blended}) {
    for (int alpha : {1, 77, 128, 254, 255}) {
      for (bool keyed : {false, true}) {
        TDirectDrawSurface dst(70, 5);
        std::copy(base.Pixels(), base.Pixels() + 70 * 5, dst.Pixels());
        DrawRotated(&dst, 2, 1, 61, 3, &src, TRect{0, 0, 61, 3}, 0, 0, 0, alpha, rule, keyed);
        for (int y = 0; y < 3; ++y)
          for (int x = 0; x < 61; ++x) {
            const uint16_t s = src.Pixel(x, y), d = base.Pixel(x + 2, y + 1);
            uint16_t want =
                rule == TBlendRule::Additive ? BlendAdd565(s, d, alpha) : BlendMix565(s, d, alpha);
            if (keyed && s == 0xF81F) want = d;
            ASSERT_EQ(dst.Pixel(x + 2, y + 1), want)
                << int(rule) << " alpha " << alpha << " keyed " << keyed << " at " << x << "," << y;
          }
      }
    }
  }
}

TEST(Rotated, ColourKeyAndLocks) {
  TDirectDrawSurface src(2, 2);
  src.Pixels()[0] = 0xF81F;
  src.Pixels()[1] = 0x1111;
  src.Pixels()[2] = 0x2222;
  src.Pixels()[3] = 0xF81F;
  src.SetColorKey(0xF81F);
  for (TBlendRule rule : {TBlendRule::Plain, TBlendRule::Additive, TBlendRule::Blended}) {
    TDirectDrawSurface dst(4, 4);
    dst.FillSurface(0x0020);
    DrawRotated(&dst, 0, 0, 2, 2, &src, TRect{0, 0, 2, 2}, 0, 0, 0, 200, rule, true);
    EXPECT_EQ(dst.Pixel(0, 0), 0x0020);
    EXPECT_EQ(dst.Pixel(1, 1), 0x0020);
    EXPECT_NE(dst.Pixel(1, 0), 0x0020);
    DrawRotated(&dst, 0, 0, 2, 2, &src, TRect{0, 0, 2, 2}, 0, 0, 0, 255, rule, false);
    EXPECT_NE(dst.Pixel(0, 0), 0x0020);
    EXPECT_EQ(dst.LockCount(), 0);
    EXPECT_EQ(src.LockCount(), 0);
  }
}

}  // namespace
}  // namespace media
