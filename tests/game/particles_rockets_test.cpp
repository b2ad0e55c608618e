// Explosion particles, rocket flight and homing, bonus pick-up.
#include <cmath>

#include "fixture.h"

namespace game_test {
namespace {

using ParticlesTest = GameFixture;
using RocketsTest = GameFixture;
using BonusTest = GameFixture;

TEST_F(ParticlesTest, ExplozeMakesCountMinusOneInTheLowestFreeSlots) {
  quiet_world();
  auto& f = *form;
  f.exploze(300, 300, 10);
  for (int j = 1; j <= 9; ++j) EXPECT_EQ(f.explosions[j].free, 0) << j;
  for (int j = 10; j <= 80; ++j) EXPECT_EQ(f.explosions[j].free, 1) << j;
  EXPECT_EQ(f.explosions[0].free, 1);  // slot 0 is never used

  for (auto& p : f.explosions) p.free = 1;
  f.exploze(300, 300, 80);
  EXPECT_EQ(free_particles(), 1);

  for (auto& p : f.explosions) p.free = 0;
  for (int j = 76; j <= 80; ++j) f.explosions[j].free = 1;
  f.exploze(300, 300, 40);
  EXPECT_EQ(free_particles(), 0);

  for (auto& p : f.explosions) p.free = 1;
  f.exploze(300, 300, 1);
  f.exploze(300, 300, 0);
  EXPECT_EQ(free_particles(), 80);
}

TEST_F(ParticlesTest, ParticlesStartAroundTheCentreAndAimAtIt) {
  quiet_world();
  auto& f = *form;
  f.exploze(300, 300, 80);
  const double k = 300.0 / 600 + 0.5;
  for (int j = 1; j <= 79; ++j) {
    const auto& p = f.explosions[j];
    EXPECT_LE(std::abs(p.x - 300), std::lround(10 * k));
    EXPECT_LE(std::abs(p.y - 300), std::lround(10 * k));
    EXPECT_GE(p.alpha, 120);
    EXPECT_LE(p.alpha, 244);
    EXPECT_TRUE(p.speed == 1 || p.speed == 2);
    EXPECT_LE(p.pattern, 3);
    if (p.x != 300 || p.y != 300) {
      EXPECT_EQ(p.heading, game::heading_towards(p.x, p.y, 300, 300));
    }
  }
}

TEST_F(ParticlesTest, NegativeCoordinateArrivesAsA16BitWord) {
  quiet_world();
  auto& f = *form;
  const int32_t x = -3;
  f.exploze(static_cast<uint16_t>(x), 300, 5);
  for (int j = 1; j <= 4; ++j) EXPECT_NEAR(f.explosions[j].x, 65533, 10);
}

TEST_F(ParticlesTest, ParticlesFadeWithoutWrappingAndFreeTheirSlots) {
  quiet_world();
  auto& f = *form;
  f.exploze(400, 100, 80);
  std::vector<int> alpha(81);
  for (int j = 1; j <= 80; ++j) alpha[size_t(j)] = f.explosions[j].alpha;
  int frames = 0;
  while (free_particles() < 80) {
    f.explosions_step();
    ++frames;
    for (int j = 1; j <= 80; ++j) {
      const auto& p = f.explosions[j];
      ASSERT_LE(p.alpha, alpha[size_t(j)]) << "alpha wrapped in slot " << j;
      alpha[size_t(j)] = p.alpha;
    }
    ASSERT_LT(frames, 100);
  }
  EXPECT_GE(frames, 24);
  EXPECT_LE(frames, 70);
}

TEST_F(RocketsTest, ShotFliesFiftyOneFramesThenFadesFortyNine) {
  quiet_world();
  auto& f = *form;
  f.fire_delay = 4;
  f.key_fire = 1;
  f.otaceni_a_strelba();
  auto& r = f.player_rockets[1];
  ASSERT_EQ(r.active, 1);
  for (int frame = 1; frame <= 99; ++frame) {
    f.rockets_flight();
    if (frame <= 51) {
      ASSERT_EQ(r.alpha, 255) << frame;
    }
  }
  EXPECT_EQ(r.active, 1);
  EXPECT_EQ(r.alpha, 15);
  f.rockets_flight();
  EXPECT_EQ(r.active, 0);
}

TEST_F(RocketsTest, MissileFliesStraightNineFramesThenHomesOnAStaleTarget) {
  quiet_world();
  auto& f = *form;
  auto& r = place_rocket(f.player_rockets[1], 400, 300, 100);
  r.speed = 10;
  r.life = 30;
  r.heading = 0;
  r.width = r.height = 6;
  f.ship.locked = 1;
  f.ship.target = 3;
  // The target slot holds a wreck that is no longer in play: still followed.
  auto& t = place_enemy(3, 700, 300);
  t.respawn = 1;
  t.dying = 1;
  for (int frame = 1; frame <= 9; ++frame) {
    f.rockets_flight();
    ASSERT_EQ(r.heading, 0) << frame;
  }
  EXPECT_EQ(r.x, 400);
  f.rockets_flight();
  EXPECT_GT(r.heading, 64);  // turned toward (700, 300), below-right of it now
  EXPECT_LT(r.heading, 128);
  // Without a lock it flies on straight.
  f.ship.locked = 0;
  const uint8_t h = r.heading;
  t.x = 0;
  f.rockets_flight();
  EXPECT_EQ(r.heading, h);
}

TEST_F(RocketsTest, MissileTrailMakesAtMostOneParticleAFrame) {
  quiet_world();
  auto& f = *form;
  auto& r = place_rocket(f.player_rockets[1], 400, 300, 100);
  r.life = 255;
  r.speed = 0;
  int made = 0;
  for (int frame = 0; frame < 300; ++frame) {
    const int before = free_particles();
    f.rockets_flight();
    const int now = before - free_particles();
    ASSERT_LE(now, 1);
    made += now;
    for (auto& p : f.explosions) p.free = 1;
  }
  EXPECT_GT(made, 60);
  EXPECT_LT(made, 140);
}

TEST_F(RocketsTest, EnemyRocketsFlyAtFixedSpeedAndLeaveAtTheEdges) {
  quiet_world();
  auto& f = *form;
  auto& r = place_rocket(f.enemy_rockets[2], 100, 592, 10);
  r.heading = 128;  // down
  r.scale = 2.0;
  f.rockets_flight();
  EXPECT_EQ(r.y, 597);
  EXPECT_DOUBLE_EQ(r.scale, 597.0 / 600 + 0.2);
  f.remove_offscreen_enemy_rockets();
  EXPECT_EQ(r.active, 1);
  f.rockets_flight();
  f.remove_offscreen_enemy_rockets();
  EXPECT_EQ(r.active, 0);
}

TEST_F(RocketsTest, EnemyRocketHitBoxAtScaleOne) {
  quiet_world();
  auto& f = *form;
  struct Case {
    int x, y;
    bool hit;
  };
  for (auto c :
       {Case{474, 300, true}, Case{475, 300, false}, Case{326, 300, true}, Case{400, 337, true},
        Case{400, 338, false}, Case{400, 263, true}, Case{400, 262, false}}) {
    f.ship.shield = 100;
    place_rocket(f.enemy_rockets[1], c.x, c.y, 10);
    f.enemy_rockets_vs_ship();
    EXPECT_EQ(f.ship.shield == 90, c.hit) << c.x << "," << c.y;
  }
}

TEST_F(BonusTest, PickUpEffectsAreCapped) {
  quiet_world();
  auto& f = *form;
  struct Case {
    uint8_t kind;
    int shield, missiles, shield_after, missiles_after;
  };
  for (auto c : {Case{29, 80, 10, 100, 10}, Case{29, 30, 10, 80, 10}, Case{33, 50, 17, 50, 20},
                 Case{33, 50, 10, 50, 15}, Case{34, 90, 19, 100, 20}, Case{34, 50, 5, 70, 7}}) {
    f.ship.shield = int16_t(c.shield);
    f.ship.missiles = int8_t(c.missiles);
    f.bonus = game::Tbonusy{};
    f.bonus.kind = c.kind;
    f.bonus.alpha = 255;
    f.bonus.x = 450;
    f.bonus.y = 320;
    f.bonus_step();
    EXPECT_EQ(f.bonus.gone, 1);
    EXPECT_EQ(f.ship.shield, c.shield_after) << int(c.kind);
    EXPECT_EQ(f.ship.missiles, c.missiles_after) << int(c.kind);
  }
}

TEST_F(BonusTest, NotPickedUpByADestroyedShipAndFadesIn450Frames) {
  quiet_world();
  auto& f = *form;
  f.ship.alive = 0;
  f.bonus.gone = 0;
  f.bonus.alpha = 255;
  f.bonus.kind = 29;
  f.bonus.x = 400;
  f.bonus.y = 300;
  int frames = 0;
  while (f.bonus.gone == 0) {
    f.bonus_step();
    ++frames;
    ASSERT_LT(frames, 1000);
  }
  EXPECT_EQ(frames, 450);
  EXPECT_EQ(f.ship.shield, 100);
}

TEST_F(BonusTest, CatchAreaFollowsTheShipsScale) {
  quiet_world();
  auto& f = *form;
  f.ship.scale = 0.5;
  f.bonus.gone = 0;
  f.bonus.alpha = 255;
  f.bonus.kind = 33;
  f.bonus.x = 450;  // 50 away: outside 100 * 0.5
  f.bonus.y = 300;
  f.bonus_step();
  EXPECT_EQ(f.bonus.gone, 0);
  f.bonus.x = 449;
  f.bonus_step();
  EXPECT_EQ(f.bonus.gone, 1);
}

}  // namespace
}  // namespace game_test
