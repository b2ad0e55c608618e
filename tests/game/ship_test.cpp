// The ship: turning, firing cadence, flight split between ship and world,
// the edge shift, and its destruction.
#include "fixture.h"

namespace game_test {
namespace {

using ShipTest = GameFixture;

int active_player_rockets(game::TForm1& f) {
  int n = 0;
  for (int j = 1; j <= 10; ++j) n += f.player_rockets[j].active;
  return n;
}

TEST_F(ShipTest, TurningWrapsWithoutKeepingTheRemainder) {
  quiet_world();
  form->ship.heading = 1;
  form->key_left = 1;
  form->otaceni_a_strelba();
  EXPECT_EQ(form->ship.heading, 255);
  form->key_left = 0;
  form->key_right = 1;
  form->ship.heading = 254;
  form->otaceni_a_strelba();
  EXPECT_EQ(form->ship.heading, 0);
  form->key_left = 1;  // both held: left first, then right
  form->ship.heading = 2;
  form->otaceni_a_strelba();
  EXPECT_EQ(form->ship.heading, 0);  // 2 -> 255 -> 0
}

TEST_F(ShipTest, HeldLeftButtonFiresEveryFifthFrameWithShotValues) {
  quiet_world();
  form->ship.x = 500;
  form->ship.heading = 40;
  form->ship.scale = 0.9;
  form->mouse_left = 1;
  std::vector<int> shot_frames;
  for (int f = 1; f <= 15; ++f) {
    const int before = active_player_rockets(*form);
    form->otaceni_a_strelba();
    if (active_player_rockets(*form) > before) shot_frames.push_back(f);
  }
  EXPECT_EQ(shot_frames, (std::vector<int>{5, 10, 15}));
  const auto& r = form->player_rockets[1];
  EXPECT_EQ(r.kind, 35);
  EXPECT_EQ(r.speed, 15);
  EXPECT_EQ(r.picture, 3);
  EXPECT_EQ(r.width, 5);
  EXPECT_EQ(r.life, 50);
  EXPECT_EQ(r.heading, 40);
  EXPECT_EQ(r.x, 500);
  EXPECT_DOUBLE_EQ(r.scale, 0.9);
  EXPECT_EQ(form->DXWaveList1.Items.ItemAt(1).Pan(), 1000);
}

TEST_F(ShipTest, KeyFireIsClearedByTheShotItLaunches) {
  quiet_world();
  form->key_fire = 1;
  form->fire_delay = 4;
  form->otaceni_a_strelba();
  EXPECT_EQ(active_player_rockets(*form), 1);
  EXPECT_EQ(form->key_fire, 0);
  EXPECT_EQ(form->fire_delay, 0);
}

TEST_F(ShipTest, NoMissilesMeansNoLaunchAndNoDelayCount) {
  quiet_world();
  form->ship.missiles = 0;
  form->mouse_right = 1;
  form->key_missile = 1;
  for (int f = 0; f < 20; ++f) form->otaceni_a_strelba();
  EXPECT_EQ(active_player_rockets(*form), 0);
  EXPECT_EQ(form->missile_delay, 0);
}

TEST_F(ShipTest, ShotGoesBeforeMissileDueInTheSameFrame) {
  quiet_world();
  form->fire_delay = 4;
  form->missile_delay = 8;
  form->key_fire = 1;
  form->key_missile = 1;
  form->otaceni_a_strelba();
  ASSERT_EQ(active_player_rockets(*form), 1);
  EXPECT_EQ(form->player_rockets[1].kind, 35);
  EXPECT_EQ(form->ship.missiles, 20);
  EXPECT_EQ(form->key_missile, 1);
  form->otaceni_a_strelba();
  ASSERT_EQ(active_player_rockets(*form), 2);
  const auto& m = form->player_rockets[2];
  EXPECT_EQ(m.kind, 100);
  EXPECT_EQ(m.speed, 10);
  EXPECT_EQ(m.picture, 4);
  EXPECT_EQ(m.life, 30);
  EXPECT_EQ(m.width, 6);
  EXPECT_EQ(form->ship.missiles, 19);
  EXPECT_EQ(form->key_missile, 0);
  EXPECT_EQ(form->missile_delay, 0);
}

TEST_F(ShipTest, FullRocketPoolMakesRequestsWaitForAFreeSlot) {
  quiet_world();
  for (int j = 1; j <= 10; ++j) form->player_rockets[j].active = 1;
  form->mouse_left = 1;
  for (int f = 0; f < 8; ++f) form->otaceni_a_strelba();
  EXPECT_EQ(form->fire_delay, 8);
  form->player_rockets[4].active = 0;
  form->otaceni_a_strelba();
  EXPECT_EQ(form->player_rockets[4].active, 1);
  EXPECT_EQ(form->player_rockets[4].kind, 35);
  EXPECT_EQ(form->fire_delay, 0);
}

TEST_F(ShipTest, FlightSplitsBetweenShipAndWorld) {
  quiet_world();
  auto& f = *form;
  f.ship.heading = 64;  // right
  f.ship.speed = 6;
  f.ship.scale = 0.7;
  f.meteor.x = 100;
  f.meteor.y = 100;
  f.planets[5].x = 500;
  f.explosions[80].x = 200;
  f.player_rockets[10].x = 300;
  f.bonus.x = 250;
  f.stars[0] = {300, 300, 100, 1, 0};
  f.stars[1] = {300, 300, 100, 1, 1};
  f.stars[2] = {300, 300, 100, 1, 2};
  f.ship_step();
  EXPECT_EQ(f.ship.x, 404);  // Round(6 * 0.7) = 4
  EXPECT_EQ(f.ship.y, 300);
  EXPECT_DOUBLE_EQ(f.ship.scale, 300.0 / 600 + 0.2);
  // The world moves Round((1.4 - 0.7) * 6) = 4 the other way, used or not.
  EXPECT_EQ(f.meteor.x, 96);
  EXPECT_EQ(f.planets[5].x, 496);
  EXPECT_EQ(f.explosions[80].x, 196);
  EXPECT_EQ(f.player_rockets[10].x, 296);
  EXPECT_EQ(f.bonus.x, 246);
  // Stars by size: 2 + Round(Round(size * 4.2) * 1.1).
  EXPECT_EQ(f.stars[0].x, 298);
  EXPECT_EQ(f.stars[1].x, 294);
  EXPECT_EQ(f.stars[2].x, 289);
}

TEST_F(ShipTest, EdgeShiftOfTheWorkedExample) {
  quiet_world();
  auto& f = *form;
  // No thrust, so only the edge tests move the ship.
  f.ship.speed = 0;
  f.ship.x = 700;
  f.ship.y = 50;
  f.meteor.x = 100;
  f.meteor.y = 100;
  f.ship_step();
  // Test 1 moves it to (1000, 300), test 3 back to (400, 300).
  EXPECT_EQ(f.ship.x, 400);
  EXPECT_EQ(f.ship.y, 300);
  EXPECT_EQ(f.meteor.x, 100 + 300 - 600);
  EXPECT_EQ(f.meteor.y, 100 + 250);
}

TEST_F(ShipTest, EdgeShiftMovesOnlySomeGroups) {
  quiet_world();
  auto& f = *form;
  f.level = 2;
  place_enemy(1, 100, 100);
  place_enemy(2, 120, 100);
  place_enemy(3, 140, 100);  // above level: not shifted
  f.ship.x = 30;
  f.ship.y = 300;
  f.stars[5].x = 10;
  f.planets[3].x = 10;
  f.meteor.x = 10;
  f.player_rockets[1].x = 10;
  f.enemy_rockets[1].x = 10;
  f.explosions[1].x = 10;
  f.bonus.x = 10;
  f.presun_kdys_je_v_rohu(1, -1);
  EXPECT_EQ(f.ship.x, 400);
  EXPECT_EQ(f.ship.y, 300);
  EXPECT_EQ(f.stars[5].x, 380);
  EXPECT_EQ(f.planets[3].x, 380);
  EXPECT_EQ(f.meteor.x, 380);
  EXPECT_EQ(f.enemies[1].x, 470);
  EXPECT_EQ(f.enemies[2].x, 490);
  EXPECT_EQ(f.enemies[3].x, 140);
  EXPECT_EQ(f.player_rockets[1].x, 10);
  EXPECT_EQ(f.enemy_rockets[1].x, 10);
  EXPECT_EQ(f.explosions[1].x, 10);
  EXPECT_EQ(f.bonus.x, 10);
}

TEST_F(ShipTest, EdgeShiftOnTheOtherSideMovesTheFreeAxisAway) {
  quiet_world();
  // Near the left edge but in the lower half: the (+1, -1) call pushes y
  // further down, by its distance from the middle.
  form->ship.x = 30;
  form->ship.y = 400;
  form->presun_kdys_je_v_rohu(1, -1);
  EXPECT_EQ(form->ship.x, 400);
  EXPECT_EQ(form->ship.y, 500);
}

TEST_F(ShipTest, RamDeathResetsShieldTo100AndRocketsStillHitTheWreck) {
  quiet_world();
  auto& f = *form;
  f.ship.shield = 20;
  place_enemy(1, 420, 310);
  f.aim_pass();
  EXPECT_EQ(f.ship.shield, 100);
  EXPECT_EQ(f.ship.alive, 0);
  EXPECT_EQ(f.game.game_lost, 1);
  EXPECT_EQ(f.enemies[1].dying, 1);
  EXPECT_EQ(f.enemies[1].speed, -1);
  EXPECT_EQ(f.enemies[1].picture, 10);
  EXPECT_EQ(f.game.score, 0);                 // ramming scores nothing
  EXPECT_EQ(80 - free_particles(), 39 + 41);  // 39 for the enemy, the rest for the ship

  // An enemy rocket reaching the wreck's place still hits it.
  for (auto& p : f.explosions) p.free = 1;
  place_rocket(f.enemy_rockets[3], 400, 300, 30);
  f.enemy_rockets_vs_ship();
  EXPECT_EQ(f.ship.shield, 70);
  EXPECT_EQ(f.enemy_rockets[3].active, 0);
  EXPECT_EQ(80 - free_particles(), 9);
  // ... and may destroy it again: the shield then stays at 0 or below.
  f.ship.shield = 20;
  place_rocket(f.enemy_rockets[3], 400, 300, 30);
  f.enemy_rockets_vs_ship();
  EXPECT_EQ(f.ship.shield, -10);
  EXPECT_EQ(f.ship.alive, 0);
}

TEST_F(ShipTest, RocketDeathLeavesShieldAtZero) {
  quiet_world();
  auto& f = *form;
  f.ship.shield = 20;
  f.ship.x = 500;
  place_rocket(f.enemy_rockets[1], 500, 300, 20);
  clear_back();
  f.enemy_rockets_vs_ship();
  EXPECT_EQ(mark_at(321, 275), (Mark{28, 0}));  // the banner, once, at a fixed point
  EXPECT_EQ(f.ship.shield, 0);
  EXPECT_EQ(f.ship.alive, 0);
  EXPECT_EQ(f.game.game_lost, 1);
  EXPECT_EQ(f.DXWaveList1.Items.ItemAt(5).Pan(), 1000);  // (500 - W div 2) * 10
  EXPECT_EQ(f.DXWaveList1.Items.ItemAt(3).Pan(), 1000);
  // With the shield at 0 further rockets pass.
  place_rocket(f.enemy_rockets[2], 500, 300, 20);
  f.enemy_rockets_vs_ship();
  EXPECT_EQ(f.enemy_rockets[2].active, 1);
}

TEST_F(ShipTest, LaterEnemiesOfTheAimPassStillRamInTheSameFrame) {
  quiet_world();
  auto& f = *form;
  f.ship.shield = 31;
  f.level = 2;
  place_enemy(1, 420, 310);
  place_enemy(2, 380, 290);
  f.aim_pass();
  // Both ram in the same frame; the second brings the shield below zero.
  EXPECT_EQ(f.ship.shield, 100);
  EXPECT_EQ(f.ship.alive, 0);
  EXPECT_EQ(f.enemies[2].dying, 1);
}

}  // namespace
}  // namespace game_test
