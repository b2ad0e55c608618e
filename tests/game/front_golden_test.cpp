// The golden run: a fixed script of a few thousand frames through the splash,
// the menu, two games and back, with the digest of the whole game state
// checked every 100 frames. Any change of behaviour shows up here; when a
// change is intended, run this test with ZARNIK_PRINT_GOLDEN=1 and paste the
// printed table below.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "harness/game_driver.h"

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
  if (n == 2550) d.press(vk::kUp);     // from high scores up to start
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
    0x033fb9ca8755d611ull,  // frame 100
    0xc80cbe78d7e54450ull,  // frame 200
    0xd2abd7b7060380c7ull,  // frame 300
    0x618ce79f26a51852ull,  // frame 400
    0xa04895f9fdb2f228ull,  // frame 500
    0x006d1beac7ea0314ull,  // frame 600
    0x5f107c0d3a3cb5f4ull,  // frame 700
    0xfc34697a66eacbdeull,  // frame 800
    0x2c71909487d11033ull,  // frame 900
    0x410f0e70fbd1d009ull,  // frame 1000
    0xccc27e73fb59c903ull,  // frame 1100
    0x4b75e59daef67402ull,  // frame 1200
    0x0cbfe2af5682ecccull,  // frame 1300
    0xa1d873a6fb5010d6ull,  // frame 1400
    0x8251ed84f5cb461bull,  // frame 1500
    0x6a898dd79067c092ull,  // frame 1600
    0x3f0e8b9af56e3c4bull,  // frame 1700
    0x525c85dca93f31b9ull,  // frame 1800
    0xed74b25d6305e588ull,  // frame 1900
    0xf4af5d8019d0f0d3ull,  // frame 2000
    0xa9c9dc4dddcbda9aull,  // frame 2100
    0x208aee88133825deull,  // frame 2200
    0xae4f342ae3637442ull,  // frame 2300
    0x8cf1a03d9bdab038ull,  // frame 2400
    0x77c8e2740adce179ull,  // frame 2500
    0x0dff1e4e7710672cull,  // frame 2600
    0xf417540dd7ba009cull,  // frame 2700
    0xd352ca82d98ef0e6ull,  // frame 2800
    0xaac0f0b9e2f27068ull,  // frame 2900
    0x87ef28ec67eda643ull,  // frame 3000
    0xab04b8ab5661d139ull,  // frame 3100
    0xac1623725c9716eeull,  // frame 3200
    0xbdff64cdd718942full,  // frame 3300
    0xfa3af45614aa9990ull,  // frame 3400
    0x07869c4d20dc435eull,  // frame 3500
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
  if (std::getenv("ZARNIK_PRINT_GOLDEN")) {
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
