// The frame shrunk onto a smaller window: against the plain area average of
// a frame full of one-pixel strokes, at the sizes of small screens and at
// awkward ones, from both pixel formats the backends keep; plain colours and
// the pixels around the output left as they are.
#include "platform/frame_shrink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/area_average.h"

namespace platform {
namespace {

struct Size {
  int w, h;
};

TEST(FrameShrink, MatchesTheAreaAverageOfAFineFrameWithinOneStep) {
  const int w = 800, h = 600;
  const std::vector<uint16_t> frame = area_average::fine_frame(w, h);
  const std::vector<uint32_t> wide = area_average::rgb(frame);
  FrameShrink shrink;
  // 640 x 480 and 1024 x 768 screens (the latter for a 1280 x 960 frame's
  // shape, here the same factor), an odd factor, exactly half, one pixel
  // short, not the same on both axes, and down to a single pixel.
  for (const Size out : {Size{640, 480}, Size{533, 400}, Size{400, 300}, Size{799, 599},
                         Size{700, 300}, Size{97, 61}, Size{1, 1}}) {
    const std::string at = std::to_string(out.w) + " x " + std::to_string(out.h);
    const auto want = area_average::reference(wide, w, h, out.w, out.h);
    std::vector<uint32_t> got(want.size(), 0xDEADBEEF);
    shrink.shrink(frame.data(), w, h, w, got.data(), out.w, out.h, out.w);
    const auto d = area_average::compare(got, want);
    EXPECT_LE(d.largest, 1) << at << " from 5-6-5";
    EXPECT_LT(d.mean, 0.2) << at << ": rounded, not cut";
    std::vector<uint32_t> got32(want.size(), 0xDEADBEEF);
    shrink.shrink(wide.data(), w, h, w, got32.data(), out.w, out.h, out.w);
    EXPECT_LE(area_average::compare(got32, want).largest, 1) << at << " from 0x00RRGGBB";
  }
}

TEST(FrameShrink, StrokesOnePixelWideStayWholeWhereDroppingPixelsLosesThem) {
  // Upright white strokes every 5th column of a black frame, shrunk to 4/5:
  // nearest-pixel sampling keeps some and drops others entirely; the
  // average keeps the light of every one (4/5 of it, over one or two
  // output columns).
  const int w = 100, h = 10;
  std::vector<uint16_t> frame(size_t(w) * size_t(h), 0);
  for (int x = 2; x < w; x += 5)
    for (int y = 0; y < h; ++y) frame[size_t(y) * size_t(w) + size_t(x)] = 0xFFFF;
  std::vector<uint32_t> out(80 * 8);
  FrameShrink shrink;
  shrink.shrink(frame.data(), w, h, w, out.data(), 80, 8, 80);
  for (int stroke = 0; stroke < w / 5; ++stroke) {
    const int x = (2 + 5 * stroke) * 80 / w;  // where it lands
    int light = 0;
    for (int dx = -1; dx <= 1; ++dx)
      if (x + dx >= 0 && x + dx < 80) light += int(out[size_t(4 * 80 + x + dx)] & 255);
    EXPECT_GE(light, 255 * 3 / 4) << "stroke " << stroke;
  }
}

TEST(FrameShrink, PlainColoursStayExactAndOnlyTheOutputRectangleIsWritten) {
  // A white frame inside a larger buffer (its pitch wider than its width),
  // shrunk into the middle of a larger output: white stays full white,
  // whatever the rounding, and nothing around the output changes.
  const int w = 50, h = 40, pitch = 64;
  std::vector<uint16_t> frame(size_t(pitch) * size_t(h), 0x0000);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) frame[size_t(y) * pitch + size_t(x)] = 0xFFFF;
  const int out_pitch = 40;
  std::vector<uint32_t> out(size_t(out_pitch) * 35, 0x123456);
  FrameShrink shrink;
  shrink.shrink(frame.data(), w, h, pitch, out.data() + out_pitch * 2 + 3, 33, 29, out_pitch);
  for (int y = 0; y < 35; ++y)
    for (int x = 0; x < out_pitch; ++x) {
      const bool inside = y >= 2 && y < 31 && x >= 3 && x < 36;
      EXPECT_EQ(out[size_t(y) * out_pitch + size_t(x)], inside ? 0xFFFFFFu : 0x123456u)
          << x << ", " << y;
    }
  // A mid grey 5-6-5 colour keeps the widened value the presenters show.
  std::vector<uint16_t> grey(size_t(w) * size_t(h), 0x8410);
  std::vector<uint32_t> small(7 * 5);
  shrink.shrink(grey.data(), w, h, w, small.data(), 7, 5, 7);
  for (uint32_t p : small) EXPECT_EQ(p, area_average::rgb(0x8410));
}

TEST(FrameShrink, IsUsedOnlyWhereTheFrameIsShownSmaller) {
  EXPECT_TRUE(FrameShrink::needed(800, 600, 640, 480));
  EXPECT_TRUE(FrameShrink::needed(800, 600, 799, 600));
  EXPECT_FALSE(FrameShrink::needed(800, 600, 800, 600)) << "one to one";
  EXPECT_FALSE(FrameShrink::needed(800, 600, 1440, 1080)) << "enlarging stays sharp";
  EXPECT_FALSE(FrameShrink::needed(800, 600, 0, 0)) << "nothing to draw";
}

}  // namespace
}  // namespace platform
