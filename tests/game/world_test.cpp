// The shared helpers: generator, rounding, headings.
#include "game/world.h"

#include <gtest/gtest.h>

namespace {

using game::heading_towards;
using game::target_in_heading_quadrant;

TEST(Random, FixedSequenceFromZeroState) {
  game::set_random_state(0);
  // state 1: 100 * 1 >> 32 = 0; state 134775814: 100 * 134775814 >> 32 = 3.
  EXPECT_EQ(game::Random(100), 0u);
  EXPECT_EQ(game::random_state(), 1u);
  EXPECT_EQ(game::Random(100), 3u);
  EXPECT_EQ(game::random_state(), 134775814u);
  // The state wraps modulo 2^32 and results stay below n.
  game::set_random_state(0xFFFFFFFFu);
  const uint32_t v = game::Random(7);
  EXPECT_EQ(game::random_state(), 0xFFFFFFFFu * 134775813u + 1u);
  EXPECT_LT(v, 7u);
  EXPECT_EQ(game::Random(0), 0u);
}

TEST(Round, TiesGoToEven) {
  EXPECT_EQ(game::Round(0.5L), 0);
  EXPECT_EQ(game::Round(1.5L), 2);
  EXPECT_EQ(game::Round(2.5L), 2);
  EXPECT_EQ(game::Round(-0.5L), 0);
  EXPECT_EQ(game::Round(-1.5L), -2);
  EXPECT_EQ(game::Round(4.2L), 4);
  EXPECT_EQ(game::Round(-2.6L), -3);
}

TEST(HeadingTowards, EightDirections) {
  EXPECT_EQ(heading_towards(0, 0, 10, -10), 32);
  EXPECT_EQ(heading_towards(0, 0, 10, 10), 96);
  EXPECT_EQ(heading_towards(0, 0, -10, 10), 160);
  EXPECT_EQ(heading_towards(0, 0, -10, -10), 224);
  EXPECT_EQ(heading_towards(0, 0, 0, -10), 0);
  EXPECT_EQ(heading_towards(0, 0, 10, 0), 64);
  EXPECT_EQ(heading_towards(0, 0, 0, 10), 128);
  EXPECT_EQ(heading_towards(0, 0, -10, 0), 192);
  // Translation does not matter.
  EXPECT_EQ(heading_towards(400, 300, 410, 290), 32);
}

TEST(HeadingTowards, AlmostStraightUpLeftWrapsToZero) {
  // Falls under the upper-left case with nearly 90 degrees: 192 + 64 = 256 -> 0.
  EXPECT_EQ(heading_towards(0, 0, -1, -1000), 0);
  // A shallower angle stays in the upper-left quadrant.
  EXPECT_EQ(heading_towards(0, 0, -100, -1000), 252);
}

TEST(HeadingTowards, ResultAlwaysAByte) {
  for (int dx = -50; dx <= 50; dx += 7)
    for (int dy = -50; dy <= 50; dy += 7) {
      const int h = heading_towards(0, 0, dx, dy);
      EXPECT_GE(h, 0);
      EXPECT_LE(h, 255);
    }
}

TEST(TargetInHeadingQuadrant, StrictBoundsAndQuadrants) {
  // Viewpoint (0, 0); targets in the four quadrants.
  EXPECT_TRUE(target_in_heading_quadrant(10, -10, 0, 0, 32));    // up right
  EXPECT_TRUE(target_in_heading_quadrant(10, 10, 0, 0, 64));     // down right
  EXPECT_TRUE(target_in_heading_quadrant(-10, 10, 0, 0, 160));   // down left
  EXPECT_TRUE(target_in_heading_quadrant(-10, -10, 0, 0, 224));  // up left
  // A heading into another quadrant does not count.
  EXPECT_FALSE(target_in_heading_quadrant(10, -10, 0, 0, 96));
  EXPECT_FALSE(target_in_heading_quadrant(-10, 10, 0, 0, 32));
  // Boundary headings never count, for any target.
  for (int h : {0, 63, 127, 191, 255})
    for (auto [tx, ty] : {std::pair{10, -10}, {10, 10}, {-10, 10}, {-10, -10}})
      EXPECT_FALSE(target_in_heading_quadrant(tx, ty, 0, 0, uint8_t(h)))
          << h << " " << tx << "," << ty;
  // Same row or column never counts.
  EXPECT_FALSE(target_in_heading_quadrant(10, 0, 0, 0, 64));
  EXPECT_FALSE(target_in_heading_quadrant(0, 10, 0, 0, 100));
  EXPECT_FALSE(target_in_heading_quadrant(0, -10, 0, 0, 1));
}

}  // namespace
