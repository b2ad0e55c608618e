// The part of a presented image that reaches the client area, the same for
// both real backends.
#include "platform/screen_fit.h"

#include <gtest/gtest.h>

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

}  // namespace
