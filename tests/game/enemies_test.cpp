// Enemies: spawning, flight, hits and kills, score and level, aiming and
// firing, and the mouse lock-on.
#include "fixture.h"

namespace game_test {
namespace {

using EnemiesTest = GameFixture;

// Kills enemy 1 with a missile once.
void kill_enemy_one(GameFixture& t, game::TForm1& f) {
  auto& e = f.enemies[1];
  e = game::Tnepratel{};
  e.x = 600;
  e.y = 100;
  e.scale = 1.0;
  e.width = 100;
  e.height = 50;
  e.resistance = 100;
  e.picture = 5;
  auto& r = f.player_rockets[1];
  r = game::Traketa{};
  r.x = 600;
  r.y = 100;
  r.kind = 100;
  r.active = 1;
  f.hit_pass();
  for (auto& p : f.explosions) p.free = 1;
  (void)t;
}

TEST_F(EnemiesTest, SpawnFillsOnlySlotsUpToTheLevel) {
  quiet_world();
  form->nove();
  EXPECT_EQ(form->enemies[1].respawn, 0);
  for (int i = 2; i <= 10; ++i) EXPECT_EQ(form->enemies[i].respawn, 1) << i;
  const auto& e = form->enemies[1];
  EXPECT_EQ(e.alpha, 255);
  EXPECT_EQ(e.scale, 0.0);
  EXPECT_TRUE(e.picture == 5 || e.picture == 7 || e.picture == 12 || e.picture == 30);
}

TEST_F(EnemiesTest, SpawnEdgesAndHeadingRanges) {
  quiet_world();
  form->level = 10;
  for (int round = 0; round < 200; ++round) {
    for (int i = 1; i <= 10; ++i) form->enemies[i].respawn = 1;
    form->nove();
    for (int i = 1; i <= 10; ++i) {
      const auto& e = form->enemies[i];
      if (e.y == 0 && e.x != 0 && e.x != 800) {
        EXPECT_GE(e.heading, 63);
        EXPECT_LE(e.heading, 189);
      } else if (e.x == 800) {
        EXPECT_GE(e.heading, 127);
        EXPECT_LE(e.heading, 253);
      } else if (e.y == 600) {
        EXPECT_TRUE(e.heading <= 63 || (e.heading >= 192 && e.heading <= 254)) << int(e.heading);
      } else {
        EXPECT_EQ(e.x, 0);
        EXPECT_LE(e.heading, 126);
      }
      EXPECT_TRUE(e.speed == 2 || e.speed == 3);
    }
  }
}

TEST_F(EnemiesTest, RightEdgeSpawnIsInsideTheBoxAndFirstMoveUsesScaleZero) {
  quiet_world();
  next_random_gives(4, 1);  // right edge
  form->nove();
  auto& e = form->enemies[1];
  ASSERT_EQ(e.x, 800);
  const int32_t x = e.x, y = e.y;
  e.heading = 192;  // left
  form->motion_pass();
  EXPECT_EQ(e.respawn, 0);
  EXPECT_EQ(e.x, x - 1);  // D = 1 + Round(speed * 0.0)
  EXPECT_EQ(e.y, y);
  EXPECT_DOUBLE_EQ(e.scale, y / 600.0 + 0.2);
}

TEST_F(EnemiesTest, WrecksBelowHalfScaleStandStill) {
  quiet_world();
  auto& e = place_enemy(1, 300, 300, 0.6);
  e.speed = -1;
  e.heading = 64;
  form->motion_pass();
  EXPECT_EQ(e.x, 300);  // D = 1 + Round(-0.6) = 0
  e.scale = 0.5;
  form->motion_pass();
  EXPECT_EQ(e.x, 301);  // Round(-0.5) = 0, so D = 1
}

TEST_F(EnemiesTest, WreckFadesInTenStepsThenFreesItsSlot) {
  quiet_world();
  auto& e = place_enemy(1, 300, 400, 1.0);
  e.speed = -1;
  e.picture = 10;
  e.dying = 1;
  for (int f = 1; f <= 89; ++f) form->motion_pass();
  EXPECT_EQ(e.respawn, 0);
  EXPECT_EQ(e.alpha, 255 - 9 * 25);
  form->motion_pass();
  EXPECT_EQ(e.respawn, 1);
  EXPECT_EQ(e.alpha, 5);
  EXPECT_EQ(e.pattern, 0);
}

TEST_F(EnemiesTest, LeavingTheBoxEmptiesTheSlotButItIsStillLockTested) {
  quiet_world();
  auto& e = place_enemy(1, 805, 300, 0.7);
  e.heading = 64;
  backend.system.cursor = {808, 300};
  form->motion_pass();
  EXPECT_GT(e.x, 805);
  EXPECT_EQ(e.respawn, 1);
  EXPECT_EQ(form->ship.locked, 1);
  EXPECT_EQ(form->ship.target, 1);
}

TEST_F(EnemiesTest, ResistanceAndKillsByShotsAndMissiles) {
  quiet_world();
  auto& f = *form;
  auto& e = place_enemy(1, 500, 200);
  e.speed = 0;
  const int expected[] = {65, 30};
  for (int shot = 0; shot < 2; ++shot) {
    place_rocket(f.player_rockets[1], 500, 200, 35);
    f.hit_pass();
    EXPECT_EQ(e.resistance, expected[shot]);
    EXPECT_EQ(e.picture, 9);
    EXPECT_EQ(e.dying, 0);
    EXPECT_EQ(f.player_rockets[1].active, 0);
  }
  place_rocket(f.player_rockets[1], 500, 200, 35);
  f.hit_pass();
  EXPECT_EQ(e.dying, 1);
  EXPECT_EQ(e.picture, 10);
  EXPECT_EQ(e.speed, -1);
  EXPECT_EQ(f.game.score, 50);

  // A 70-resistance enemy: the second shot leaves 0, which counts as a kill.
  auto& k2 = place_enemy(1, 500, 200);
  k2.resistance = 70;
  k2.picture = 12;
  for (int shot = 0; shot < 2; ++shot) {
    place_rocket(f.player_rockets[1], 500, 200, 35);
    f.hit_pass();
  }
  EXPECT_EQ(k2.resistance, 0);
  EXPECT_EQ(k2.picture, 14);
  EXPECT_EQ(k2.dying, 1);

  // A missile destroys any enemy with one hit.
  place_enemy(1, 500, 200);
  place_rocket(f.player_rockets[1], 500, 200, 100);
  f.hit_pass();
  EXPECT_EQ(f.enemies[1].dying, 1);
}

TEST_F(EnemiesTest, HitBoxIsThreeQuartersOfTheScaledSize) {
  quiet_world();
  auto& f = *form;
  auto& e = place_enemy(1, 500, 200, 0.5);  // box of 37.5 x 18.75 either side
  for (auto [x, y] : {std::pair{538, 200}, {500, 219}, {462, 200}}) {
    place_rocket(f.player_rockets[1], x, y, 35);
    f.hit_pass();
    EXPECT_EQ(e.resistance, 100) << x << "," << y;
  }
  place_rocket(f.player_rockets[1], 537, 218, 35);
  f.hit_pass();
  EXPECT_EQ(e.resistance, 65);
  place_rocket(f.player_rockets[1], 463, 182, 35);
  f.hit_pass();
  EXPECT_EQ(e.resistance, 30);
  // Empty slots and wrecks take no hits.
  e.respawn = 1;
  place_rocket(f.player_rockets[1], 500, 200, 35);
  f.hit_pass();
  EXPECT_EQ(e.resistance, 30);
}

TEST_F(EnemiesTest, RocketThatKillsIsUsedUpAndASecondOnePassesThroughTheWreck) {
  quiet_world();
  auto& f = *form;
  place_enemy(1, 500, 200);
  place_rocket(f.player_rockets[1], 500, 200, 100);
  place_rocket(f.player_rockets[2], 505, 200, 35);
  f.hit_pass();
  EXPECT_EQ(f.player_rockets[1].active, 0);
  EXPECT_EQ(f.player_rockets[2].active, 1);
  EXPECT_EQ(f.enemies[1].resistance, 0);
}

TEST_F(EnemiesTest, KindOneIsNudgedTowardTheRocketOnItsFirstHitOnly) {
  quiet_world();
  auto& f = *form;
  auto& e = place_enemy(1, 500, 200);
  e.picture = 7;
  e.resistance = 140;
  e.heading = 100;
  place_rocket(f.player_rockets[1], 500, 200, 35).heading = 20;
  f.hit_pass();
  EXPECT_EQ(e.picture, 8);
  EXPECT_EQ(e.heading, 90);  // 100 - (80 / 8)
  place_rocket(f.player_rockets[1], 500, 200, 35).heading = 20;
  f.hit_pass();
  EXPECT_EQ(e.heading, 90);

  // A negative difference truncates toward zero: 10 - (-190 / 8) = 10 + 23.
  auto& e2 = place_enemy(1, 500, 200);
  e2.picture = 7;
  e2.resistance = 140;
  e2.heading = 10;
  place_rocket(f.player_rockets[1], 500, 200, 35).heading = 200;
  f.hit_pass();
  EXPECT_EQ(e2.heading, 33);
}

TEST_F(EnemiesTest, LevelThresholdsAndTheEndOfLeveling) {
  quiet_world();
  auto& f = *form;
  std::vector<int> level_up_scores;
  for (int kill = 0; kill < 1400; ++kill) {
    const uint8_t level = f.level;
    kill_enemy_one(*this, f);
    if (f.level != level) level_up_scores.push_back(f.game.score);
  }
  EXPECT_EQ(level_up_scores, (std::vector<int>{250, 950, 2550, 5950, 12950, 27150, 55750}));
  EXPECT_EQ(f.level, 8);
  EXPECT_EQ(f.game.level_mark, 56550);
  // The score stops at 65535 instead of wrapping to a small number.
  EXPECT_EQ(f.game.score, 65535);
  EXPECT_EQ(f.game.game_won, 0);
}

TEST_F(EnemiesTest, PassingLevelTenWinsTheGame) {
  quiet_world();
  auto& f = *form;
  f.level = 10;
  f.game.level_mark = 100;
  f.game.score = 200;
  kill_enemy_one(*this, f);
  EXPECT_EQ(f.game.game_won, 1);
  EXPECT_EQ(f.ship.alive, 0);
  EXPECT_EQ(f.level, 10);
}

TEST_F(EnemiesTest, BonusDropsOnlyWhileNoneIsShown) {
  quiet_world();
  auto& f = *form;
  int drops = 0;
  for (int kill = 0; kill < 40; ++kill) {
    f.bonus.gone = 1;
    kill_enemy_one(*this, f);
    if (f.bonus.gone == 0) {
      ++drops;
      EXPECT_EQ(f.bonus.x, 600);
      EXPECT_EQ(f.bonus.y, 100);
      EXPECT_EQ(f.bonus.alpha, 255);
      EXPECT_TRUE(f.bonus.kind == 29 || f.bonus.kind == 33 || f.bonus.kind == 34);
    }
  }
  EXPECT_GT(drops, 5);
  EXPECT_LT(drops, 35);
  // A bonus on screen is never replaced.
  f.bonus.gone = 0;
  f.bonus.x = 1;
  for (int kill = 0; kill < 10; ++kill) kill_enemy_one(*this, f);
  EXPECT_EQ(f.bonus.x, 1);
}

TEST_F(EnemiesTest, AimingEnemyFiresOnTheThirtyFirstEvent) {
  quiet_world();
  auto& f = *form;
  auto& e = place_enemy(1, 200, 100, 0.4);
  e.heading = 96;  // down and right, toward the ship at (400, 300)
  f.enemy_fire_timer = 30;
  next_random_gives(4, 0);
  f.aim_pass();
  EXPECT_EQ(f.enemy_fire_timer, 0);
  const auto& r = f.enemy_rockets[1];
  ASSERT_EQ(r.active, 1);
  EXPECT_EQ(r.x, 200);
  EXPECT_EQ(r.y, 100);
  EXPECT_EQ(r.heading, game::heading_towards(200, 100, 400, 300));
  EXPECT_EQ(r.picture, 17);
  EXPECT_EQ(r.speed, 5);
  EXPECT_EQ(r.width, 9);
  EXPECT_DOUBLE_EQ(r.scale, 0.4);
  EXPECT_TRUE((r.pattern == 0 && r.kind == 10) || (r.pattern == 1 && r.kind == 30) ||
              (r.pattern == 2 && r.kind == 20));
  EXPECT_EQ(f.DXWaveList1.Items.ItemAt(4).Pan(), -2000);

  // An enemy that does not aim fires along its own heading.
  f.enemy_rockets[1].active = 0;
  e.aims = 0;
  f.enemy_fire_timer = 30;
  next_random_gives(4, 0);
  f.aim_pass();
  EXPECT_EQ(f.enemy_rockets[1].heading, 96);
}

TEST_F(EnemiesTest, AimTestNeedsQuadrantFullResistanceAndLuck) {
  quiet_world();
  auto& f = *form;
  auto& e = place_enemy(1, 200, 100, 0.4);
  e.heading = 96;
  e.resistance = 65;  // damaged enemies never fire
  next_random_gives(4, 0);
  f.aim_pass();
  EXPECT_EQ(f.enemy_fire_timer, 0);
  e.resistance = 70;
  e.heading = 32;  // points away from the ship
  next_random_gives(4, 0);
  f.aim_pass();
  EXPECT_EQ(f.enemy_fire_timer, 0);
  e.heading = 96;
  next_random_gives(4, 1);
  f.aim_pass();
  EXPECT_EQ(f.enemy_fire_timer, 0);
  next_random_gives(4, 0);
  f.aim_pass();
  EXPECT_EQ(f.enemy_fire_timer, 1);
}

TEST_F(EnemiesTest, NoFreeEnemyRocketStillResetsTheTimer) {
  quiet_world();
  auto& f = *form;
  place_enemy(1, 200, 100, 0.4).heading = 96;
  for (int j = 1; j <= 10; ++j) place_rocket(f.enemy_rockets[j], 10 * j, 10, 10);
  f.enemy_fire_timer = 30;
  next_random_gives(4, 0);
  f.aim_pass();
  EXPECT_EQ(f.enemy_fire_timer, 0);
  for (int j = 1; j <= 10; ++j) EXPECT_EQ(f.enemy_rockets[j].x, 10 * j);
}

TEST_F(EnemiesTest, EnemyThatLeftTheScreenStillAimsAndItsRocketIsRemovedAtOnce) {
  quiet_world();
  auto& f = *form;
  auto& e = place_enemy(1, -10, 100, 0.4);
  e.heading = 96;
  e.respawn = 1;  // left the screen earlier
  f.enemy_fire_timer = 30;
  next_random_gives(4, 0);
  f.aim_pass();
  ASSERT_EQ(f.enemy_rockets[1].active, 1);
  f.remove_offscreen_enemy_rockets();
  EXPECT_EQ(f.enemy_rockets[1].active, 0);
}

TEST_F(EnemiesTest, LockFlagIsClearedAtEveryEnemyInPlay) {
  quiet_world();
  auto& f = *form;
  f.level = 3;
  backend.system.cursor = {300, 200};
  // Two enemies under the cursor: the target ends as the higher index.
  place_enemy(1, 300, 200).heading = 0;
  place_enemy(2, 305, 200).heading = 0;
  f.motion_pass();
  EXPECT_EQ(f.ship.locked, 1);
  EXPECT_EQ(f.ship.target, 2);
  // A later enemy in play not under the cursor clears the lock again, while
  // the target stays the one under the cursor.
  place_enemy(1, 300, 200).heading = 0;
  place_enemy(2, 600, 500).heading = 0;
  f.ship.target = 0;
  f.motion_pass();
  EXPECT_EQ(f.ship.locked, 0);
  EXPECT_EQ(f.ship.target, 1);
  // Wrecks and a lost game do not lock.
  place_enemy(1, 300, 200).dying = 1;
  f.enemies[2].respawn = 1;
  f.motion_pass();
  EXPECT_EQ(f.ship.locked, 0);
  place_enemy(1, 300, 200);
  f.game.game_lost = 1;
  f.motion_pass();
  EXPECT_EQ(f.ship.locked, 0);
}

TEST_F(EnemiesTest, SpawnChanceRunsOneFrameInTen) {
  quiet_world();
  auto& f = *form;
  int spawns = 0;
  for (int frame = 0; frame < 1000; ++frame) {
    f.enemies[1].respawn = 1;
    f.spawn_chance();
    spawns += f.enemies[1].respawn == 0;
  }
  EXPECT_GT(spawns, 60);
  EXPECT_LT(spawns, 140);
}

}  // namespace
}  // namespace game_test
