// The part of a presented image that reaches the client area, the same for
// both real backends.
#include "platform/screen_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(ClipPresent, TheImageIsCutToTheClientAreaOnEverySide) {
  // Wholly inside.
  auto c = platform::clip_present(100, 50, 10, 20, 100, 50, 800, 600);
  EXPECT_EQ(c.sx, 0);
  EXPECT_EQ(c.dx, 10);
  EXPECT_EQ(c.dy, 20);
  EXPECT_EQ(c.w, 100);
  EXPECT_EQ(c.h, 50);
  // Left of and above the client area: the source moves on by as much.
  c = platform::clip_present(100, 50, -30, -5, 100, 50, 800, 600);
  EXPECT_EQ(c.sx, 30);
  EXPECT_EQ(c.sy, 5);
  EXPECT_EQ(c.dx, 0);
  EXPECT_EQ(c.dy, 0);
  EXPECT_EQ(c.w, 70);
  EXPECT_EQ(c.h, 45);
  // Past the right and bottom edges, and a destination smaller than the image.
  c = platform::clip_present(100, 50, 750, 590, 100, 50, 800, 600);
  EXPECT_EQ(c.w, 50);
  EXPECT_EQ(c.h, 10);
  c = platform::clip_present(100, 50, 0, 0, 40, 30, 800, 600);
  EXPECT_EQ(c.w, 40);
  EXPECT_EQ(c.h, 30);
  // Wholly outside: nothing to copy.
  c = platform::clip_present(100, 50, 900, 0, 100, 50, 800, 600);
  EXPECT_LE(c.w, 0);
  c = platform::clip_present(100, 50, -200, 0, 100, 50, 800, 600);
  EXPECT_LE(c.w, 0);
}

TEST(ScreenFit, TheDefaultSizeIsOfferedOnEveryScreenAndShrinksIntoASmallOne) {
  using Sizes = std::vector<std::pair<int, int>>;
  // Desktops smaller than the default, one that only says its own size and
  // one that says nothing at all.
  for (auto [w, h] : {std::pair{640, 480}, {720, 400}, {320, 200}, {0, 0}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    const Sizes offered = platform::offered_sizes({{w, h}}, w, h);
    EXPECT_EQ(std::count(offered.begin(), offered.end(), platform::kDefaultSize), 1);
    EXPECT_TRUE(std::is_sorted(offered.begin(), offered.end()));
    for (const auto& [ow, oh] : offered) {
      EXPECT_GT(ow, 0);
      if (w > 0 && ow != platform::kDefaultSize.first) EXPECT_LE(ow, w) << "nothing else too big";
    }
  }
  // 800 x 600 on a 640 x 480 screen fills it, aspect kept; on a wide small
  // screen (a 1024 x 600 netbook is large enough, 720 x 400 is not) it gets
  // bars at the sides and is shrunk, never cut.
  auto vp = platform::fit_viewport(800, 600, 640, 480);
  EXPECT_EQ(vp.x, 0);
  EXPECT_EQ(vp.y, 0);
  EXPECT_EQ(vp.w, 640);
  EXPECT_EQ(vp.h, 480);
  vp = platform::fit_viewport(800, 600, 720, 400);
  EXPECT_EQ(vp.h, 400);
  EXPECT_EQ(vp.w, 533);
  EXPECT_EQ(vp.x, (720 - 533) / 2);
  // A click on the last screen pixel reaches the last surface pixel.
  int sx = 0, sy = 0;
  platform::window_to_surface(platform::fit_viewport(800, 600, 640, 480), 800, 600, 639, 479, sx,
                              sy);
  EXPECT_EQ(sx, 798);
  EXPECT_EQ(sy, 598);
}

}  // namespace
