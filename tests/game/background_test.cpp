// Stars, planets and the meteor over many frames.
#include "fixture.h"

namespace game_test {
namespace {

using BackgroundTest = GameFixture;

TEST_F(BackgroundTest, StarBrightnessWrapsInBothDirections) {
  quiet_world();
  auto& s = form->stars;
  for (int i = 0; i <= 30; ++i) s[i] = {100, 100, 100, 1, 1};
  s[0] = {10, 10, 253, 1, 1};
  s[1] = {10, 10, 254, 1, 1};
  s[2] = {10, 10, 0, 0, 1};
  s[3] = {10, 10, 1, 0, 1};
  s[4] = {10, 10, 2, 0, 1};
  form->stars_step();
  EXPECT_EQ(s[0].brightness, 0);
  EXPECT_EQ(s[0].brightening, 1);
  EXPECT_EQ(s[1].brightness, 1);
  EXPECT_EQ(s[1].brightening, 1);
  EXPECT_EQ(s[2].brightness, 253);
  EXPECT_EQ(s[3].brightness, 254);
  EXPECT_EQ(s[4].brightness, 255);
  for (int i = 2; i <= 4; ++i) {
    EXPECT_EQ(s[i].brightening, 0);
    EXPECT_EQ(s[i].x, 10) << "a wrapped star fades from the top, it does not reappear";
  }
}

TEST_F(BackgroundTest, StarReappearsAtRandomPlaceKeepingItsBrightness) {
  quiet_world();
  auto& s = form->stars;
  for (int i = 0; i <= 30; ++i) s[i] = {100, 100, 100, 1, 1};
  s[7] = {5, 5, 5, 0, 0};
  const uint32_t before = game::random_state();
  form->stars_step();
  game::set_random_state(before);
  const int x = int(game::Random(800)), y = int(game::Random(600)), size = int(game::Random(2)) + 1;
  EXPECT_EQ(s[7].x, x);
  EXPECT_EQ(s[7].y, y);
  EXPECT_EQ(s[7].size, size);
  EXPECT_EQ(s[7].brightness, 2);
  EXPECT_EQ(s[7].brightening, 1);
}

TEST_F(BackgroundTest, StarCyclePeaksAt251AndLasts167Frames) {
  quiet_world();
  auto& s = form->stars;
  for (int i = 0; i <= 30; ++i) s[i] = {100, 100, 100, 1, 1};
  s[0] = {0, 0, 2, 1, 1};
  int peak = 0;
  std::vector<int> reappearances;
  for (int frame = 1; frame <= 1000; ++frame) {
    const uint8_t was_brightening = s[0].brightening;
    form->stars_step();
    peak = std::max(peak, int(s[0].brightness));
    // Only a reappearance turns a fading star back to brightening.
    if (was_brightening == 0 && s[0].brightening == 1) {
      EXPECT_EQ(s[0].brightness, 2);
      reappearances.push_back(frame);
    }
  }
  EXPECT_EQ(peak, 251);
  ASSERT_GE(reappearances.size(), 5u);
  for (size_t i = 1; i < reappearances.size(); ++i)
    EXPECT_EQ(reappearances[i] - reappearances[i - 1], 167);
}

TEST_F(BackgroundTest, PosunPlanetStacksTheColumn) {
  form->posun_planet(400);
  EXPECT_EQ(form->planets[1].y, 1000);
  EXPECT_EQ(form->planets[2].y, 600);
  EXPECT_EQ(form->planets[3].y, 200);
  EXPECT_EQ(form->planets[9].y, -2200);
  form->posun_planet(-1150);
  EXPECT_EQ(form->planets[1].y, -550);
}

TEST_F(BackgroundTest, PlanetsDriftAnimateAndWrapAtFixedThresholds) {
  open_game();
  auto& p = form->planets;
  p[1].x = -95;   // drift 6: -101 next frame
  p[9].x = -890;  // drift 5: needs below -900
  p[2].x = 998;   // drift -3: 1001 > 1000
  p[3].x = 300;
  p[3].pattern = 0;
  p[3].anim_timer = 0;
  form->planets_step();
  EXPECT_EQ(p[1].x, 900);  // W + 100
  EXPECT_EQ(p[9].x, -895);
  EXPECT_EQ(p[2].x, -100);
  EXPECT_EQ(p[3].x, 296);
  form->planets_step();
  EXPECT_EQ(p[9].x, -900);
  form->planets_step();
  EXPECT_EQ(p[9].x, 900);
  // The pattern steps every 9 frames through 0..9.
  p[3].pattern = 0;
  p[3].anim_timer = 0;
  std::vector<int> patterns;
  for (int f = 1; f <= 90; ++f) {
    form->planets_step();
    if (f % 9 == 0) patterns.push_back(p[3].pattern);
  }
  EXPECT_EQ(patterns, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
}

TEST_F(BackgroundTest, LeftWrapOnAWideDisplayPassesTheRightThreshold) {
  // The wrap targets W + 100, but the right threshold is fixed at 900 for
  // planet 1: on a display wider than 800 the planet is sent on to -100 in
  // the same frame.
  open_display(1024, 768);
  open_game();
  form->planets[1].x = -95;
  form->planets_step();
  EXPECT_EQ(form->planets[1].x, -100);
}

TEST_F(BackgroundTest, PlanetsRestackOnlyTowardTheShipsHeading) {
  open_game();
  auto& p = form->planets;
  form->ship.heading = 128;  // down
  p[1].y = -151;
  form->planets_step();
  EXPECT_EQ(p[1].y, 3950);
  EXPECT_EQ(p[9].y, 750);

  // Pointing down: no upward re-stack even with planet 9 below the display.
  form->posun_planet(400);
  p[9].y = 800;
  const int32_t y1 = p[1].y;
  form->planets_step();
  EXPECT_EQ(p[1].y, y1);

  // Headings 64 and 192 allow neither.
  for (uint8_t h : {uint8_t(64), uint8_t(192)}) {
    form->ship.heading = h;
    form->posun_planet(400);
    p[1].y = -151;
    form->planets_step();
    EXPECT_EQ(p[1].y, -151) << int(h);
    p[9].y = 800;
    form->planets_step();
    EXPECT_EQ(p[9].y, 800) << int(h);
  }

  // Pointing up: planet 9 past the bottom re-stacks with -1150.
  form->ship.heading = 10;
  form->posun_planet(400);
  p[9].y = 751;
  form->planets_step();
  EXPECT_EQ(p[1].y, -550);
  EXPECT_EQ(p[9].y, -3750);
}

TEST_F(BackgroundTest, MeteorWaitsThenFliesThreePixelsAFrame) {
  quiet_world();
  auto& m = form->meteor;
  m.wait_limit = 10;
  m.wait_count = 0;
  m.growing = 1;
  m.scale = 0.001;
  m.heading = 64;  // right
  m.x = 100;
  m.y = 100;
  for (int f = 1; f <= 11; ++f) form->meteor_step();
  EXPECT_EQ(m.x, 100);
  EXPECT_EQ(m.wait_count, 11);
  form->meteor_step();  // the 12th frame is the first live one
  EXPECT_EQ(m.x, 103);
  EXPECT_EQ(m.y, 100);
}

TEST_F(BackgroundTest, MeteorAppearanceGrowsShrinksAndPreparesTheNext) {
  quiet_world();
  auto& m = form->meteor;
  m = game::Tmeteor{};  // every field zero, as in the first game
  m.wait_limit = 0;
  m.wait_count = 1;
  form->meteor_step();
  // Live while shrinking at scale 0: it ends at once and prepares properly.
  EXPECT_EQ(m.growing, 1);
  EXPECT_EQ(m.scale, 0.0);
  EXPECT_EQ(m.wait_count, 0);
  EXPECT_DOUBLE_EQ(m.anim, 1.0);

  // Wait, then one appearance of about 600 frames.
  const int wait = m.wait_limit + 1;
  for (int f = 0; f < wait; ++f) form->meteor_step();
  int live = 0;
  double peak = 0;
  while (m.wait_count != 0 || live == 0) {
    form->meteor_step();
    ++live;
    peak = std::max(peak, m.scale);
    const auto pattern = game::Round(m.anim);
    ASSERT_GE(pattern, 1);
    ASSERT_LE(pattern, 9);
    ASSERT_LT(live, 1000);
  }
  EXPECT_NEAR(live, 601, 2);
  EXPECT_GT(peak, 2.0);
  EXPECT_LT(peak, 2.01);
}

}  // namespace
}  // namespace game_test
