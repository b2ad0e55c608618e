// How the real backends fit the game's frame to the screen: the sizes
// offered for full screen, the scaled viewport with its bars and the way
// back from window to surface pixels, and the part of a presented image
// that reaches the client area.
#include "platform/screen_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

TEST(Viewport, SameAspectFillsTheWindowAndWholeFactorsStaySharp) {
  Viewport v = fit_viewport(800, 600, 800, 600);
  EXPECT_EQ(v.x, 0);
  EXPECT_EQ(v.w, 800);
  EXPECT_TRUE(v.integer_scale);
  v = fit_viewport(800, 600, 1600, 1200);
  EXPECT_EQ(v.w, 1600);
  EXPECT_EQ(v.h, 1200);
  EXPECT_TRUE(v.integer_scale);
  v = fit_viewport(800, 600, 1024, 768);
  EXPECT_EQ(v.w, 1024);
  EXPECT_FALSE(v.integer_scale);
}

TEST(Viewport, WiderWindowGetsBarsLeftAndRight) {
  const Viewport v = fit_viewport(800, 600, 1920, 1080);
  EXPECT_EQ(v.h, 1080);
  EXPECT_EQ(v.w, 1440);
  EXPECT_EQ(v.x, 240);
  EXPECT_EQ(v.y, 0);
  EXPECT_FALSE(v.integer_scale);
}

TEST(Viewport, TallerWindowGetsBarsAboveAndBelow) {
  const Viewport v = fit_viewport(800, 600, 1280, 1024);
  EXPECT_EQ(v.w, 1280);
  EXPECT_EQ(v.h, 960);
  EXPECT_EQ(v.y, 32);
  // A smaller window shrinks the surface, still keeping the aspect.
  const Viewport s = fit_viewport(800, 600, 400, 400);
  EXPECT_EQ(s.w, 400);
  EXPECT_EQ(s.h, 300);
  EXPECT_EQ(s.y, 50);
}

TEST(Viewport, EmptySizesGiveAnEmptyRectangle) {
  EXPECT_EQ(fit_viewport(0, 600, 800, 600).w, 0);
  EXPECT_EQ(fit_viewport(800, 600, 0, 0).w, 0);
}

TEST(Viewport, WindowPositionsMapToSurfacePixelsAndBarsAreOutside) {
  const Viewport v = fit_viewport(800, 600, 1920, 1080);  // x 240..1679, scale 1.8
  int sx = 0, sy = 0;
  window_to_surface(v, 800, 600, 240, 0, sx, sy);
  EXPECT_EQ(sx, 0);
  EXPECT_EQ(sy, 0);
  window_to_surface(v, 800, 600, 1679, 1079, sx, sy);
  EXPECT_EQ(sx, 799);
  EXPECT_EQ(sy, 599);
  window_to_surface(v, 800, 600, 960, 540, sx, sy);
  EXPECT_EQ(sx, 400);
  EXPECT_EQ(sy, 300);
  // On the left bar: negative, not rounded onto the first column.
  window_to_surface(v, 800, 600, 239, 10, sx, sy);
  EXPECT_LT(sx, 0);
  EXPECT_FALSE(inside(v, 239, 10));
  EXPECT_TRUE(inside(v, 240, 10));
  EXPECT_FALSE(inside(v, 1680, 10));
}

TEST(OfferedSizes, TheUsualSizesUpToTheDesktopBesidesTheMonitorsOwn) {
  using Sizes = std::vector<std::pair<int, int>>;
  // A desktop that offers only its own size.
  const Sizes small = offered_sizes({{1024, 768}}, 1024, 768);
  const Sizes want = {{640, 480}, {800, 600}, {960, 540}, {1024, 576}, {1024, 768}};
  EXPECT_EQ(small, want);
  const Sizes wide = offered_sizes({{1920, 1080}}, 1920, 1080);
  for (std::pair<int, int> s : {std::pair{800, 600}, {1280, 1024}, {1680, 1050}, {1920, 1080}})
    EXPECT_NE(std::find(wide.begin(), wide.end(), s), wide.end()) << s.first << "x" << s.second;
  for (const auto& [w, h] : wide) {
    EXPECT_LE(w, 1920);
    EXPECT_LE(h, 1080) << "1920 x 1200 and 1600 x 1200 do not fit";
  }
  EXPECT_TRUE(std::is_sorted(wide.begin(), wide.end()));
  // The monitor's own odd sizes stay; repeats and empty sizes go.
  const Sizes odd = offered_sizes({{1366, 768}, {1366, 768}, {0, 0}, {720, 400}}, 1366, 768);
  EXPECT_EQ(std::count(odd.begin(), odd.end(), std::pair{1366, 768}), 1);
  EXPECT_NE(std::find(odd.begin(), odd.end(), std::pair{720, 400}), odd.end());
  EXPECT_EQ(odd.front(), (std::pair{640, 480}));
  // A desktop smaller than every usual size: its own, and the game's default
  // size, which is scaled down into it.
  EXPECT_EQ(offered_sizes({}, 600, 400), (Sizes{{600, 400}, {800, 600}}));
}

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
      if (w > 0 && ow != platform::kDefaultSize.first) {
        EXPECT_LE(ow, w) << "nothing else too big";
      }
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
}  // namespace platform
