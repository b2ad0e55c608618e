// The golden run: a fixed script of a few thousand frames through the splash,
// the menu, two games and back, with the digest of the whole game state
// checked every 100 frames. Any change of behaviour shows up here; when a
// change is intended, run this test with ZARNIK_GOLDEN_PRINT=1 and paste the
// printed table below.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/support/game_driver.h"

namespace {

using game_driver::GameDriver;
namespace vk = game_driver;

// The input of frame n (counted from the first frame after start-up).
void script(GameDriver& d, int n) {
  auto& f = d.form();
  switch (n) {
    case 100: d.move_to(f.W() - 60, f.H() - 72); break;
    case 101: d.click(); break;
    case 102: d.type("GOLDEN"); break;
    case 103: d.press(vk::kEnter); break;
    case 300: d.move_to(f.W() / 2, f.H() / 2 - 75); break;
    case 320: d.click(); break;  // the first game
    default: break;
  }
  if (n > 320 && n < 2200 && f.game.in_menu == 0) {
    // A pilot with a fixed routine: thrust changes, turns, shots held in
    // bursts, a missile now and then, the mouse circling the ship.
    const int t = n - 320;
    if (t % 400 == 10) d.key_down(vk::kUp);
    if (t % 400 == 11) d.key_up(vk::kUp);
    if (t % 400 == 200) d.key_down(vk::kDown);
    if (t % 400 == 201) d.key_up(vk::kDown);
    if (t % 90 == 0) d.key_down(vk::kLeft);
    if (t % 90 == 25) d.key_up(vk::kLeft);
    if (t % 130 == 40) d.key_down(vk::kRight);
    if (t % 130 == 70) d.key_up(vk::kRight);
    if (t % 50 == 5) d.key_down(vk::kSpace);
    if (t % 50 == 30) d.key_up(vk::kSpace);
    if (t % 170 == 60) d.key_down(vk::kCtrl);
    if (t % 170 == 61) d.key_up(vk::kCtrl);
    if (t % 6 == 0) {
      // Point at the lowest-numbered enemy in flight (which also locks it
      // for the missiles), else circle the ship.
      int target = 0;
      for (int i = 1; i <= 10 && target == 0; ++i)
        if (f.enemies[i].respawn == 0 && f.enemies[i].dying == 0) target = i;
      if (target != 0) {
        d.move_to(f.enemies[target].x, f.enemies[target].y);
      } else {
        static const int dx[] = {120, 0, -150, 0, 90, -60};
        static const int dy[] = {0, 110, 0, -130, 80, -70};
        const int k = (t / 6) % 6;
        d.move_to(f.ship.x + dx[k], f.ship.y + dy[k]);
      }
    }
    if (t % 300 == 150) d.mouse_down(0);
    if (t % 300 == 190) d.mouse_up(0);
    if (t == 700) d.press(vk::kPause);
    if (t == 760) d.press(vk::kPause);
    if (t == 900) d.wheel(2);
  }
  if (n == 2200 && f.game.in_menu == 0) d.press(vk::kEsc);
  if (n == 2400) {
    d.key_up(vk::kSpace);
    d.move_to(f.W() / 2, f.H() / 2 - 25);
  }
  if (n == 2410) d.click();  // the high-score list
  if (n == 2500) d.press(vk::kEsc);
  if (n == 2550) d.press(vk::kUp);  // from high scores up to start
  if (n == 2560) d.press(vk::kEnter);  // the second game
  if (n > 2560 && n < 3400 && f.game.in_menu == 0) {
    const int t = n - 2560;
    if (t % 60 == 0) d.key_down(vk::kSpace);
    if (t % 60 == 20) d.key_up(vk::kSpace);
    if (t % 45 == 0) d.move_to(f.ship.x + (t % 90 == 0 ? 100 : -100), f.ship.y - 40);
  }
  if (n == 3400 && f.game.in_menu == 0) d.press(vk::kEsc);
}

// Digests after frames 100, 200, ..., 3500.
const std::vector<uint64_t> kGolden = {
};

TEST(FrontGoldenRun, SplashMenuAndTwoGames) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  std::vector<uint64_t> got;
  for (int n = 1; n <= 3500; ++n) {
    script(d, n);
    d.tick(1);
    ASSERT_FALSE(d.terminated()) << "frame " << n;
    if (n % 100 == 0) got.push_back(d.digest());
  }
  EXPECT_EQ(d.frames(), 3500);
  // Both games ended through Esc and entered the named player's score.
  const auto& table = d.form().score_table;
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[1], "GOLDEN");
  EXPECT_EQ(table[3], "GOLDEN");
  if (std::getenv("ZARNIK_GOLDEN_PRINT")) {
    std::printf("const std::vector<uint64_t> kGolden = {\n");
    for (size_t i = 0; i < got.size(); ++i)
      std::printf("    0x%016llxull,  // frame %zu\n", static_cast<unsigned long long>(got[i]),
                  (i + 1) * 100);
    std::printf("};\n");
  }
  if (kGolden.empty()) GTEST_SKIP() << "no golden digests recorded";
  ASSERT_EQ(got.size(), kGolden.size());
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(got[i], kGolden[i]) << "first difference after frame " << (i + 1) * 100;
}

}  // namespace
