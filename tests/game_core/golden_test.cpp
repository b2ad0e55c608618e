// A fixed script of 3000 play frames with a digest of the whole world every
// 100 frames. Any change to the rules, their order or the order of Random
// calls shows here; when a change is intended, run the test with
// ZARNIK_PRINT_GOLDEN=1 and paste the printed table.
#include <cstdio>
#include <cstdlib>

#include "fixture.h"

namespace game_test {
namespace {

constexpr uint64_t kGolden[30] = {
    0xe2ea6eacb98c3761ull, 0x7b70216e2cbbf8f2ull, 0x4803756b832b435dull, 0x8d306070c66d2ceaull,
    0xf52d345a21aede22ull, 0x83d36aa139f8a31aull, 0xf6253b4824cba05eull, 0x4dcb9ba77e25f9f8ull,
    0xd1e00dc915046ac1ull, 0xb01696ad58f6c3c0ull, 0x4020578a409be4f7ull, 0xbab92408ac98bae7ull,
    0xa38993674fcf77a7ull, 0x847875e8de620ec5ull, 0x3da53b85435f370cull, 0x7150664a7155619full,
    0xfddc7d828aab49d7ull, 0xa409e1f034ce12a2ull, 0x6f3eafb6bde6682full, 0xa0fe4fc6f255f80full,
    0x3083e9e169c69f89ull, 0x8c21518132668d74ull, 0x80ecfa0c0c0fa5fcull, 0x1c92a0f31e1289c5ull,
    0x46888dec6e8e8167ull, 0x9bb4898361bb4b40ull, 0xd3f53284fa2bc989ull, 0x96a07c1f6aaba8afull,
    0x754bbd25eff4e16bull, 0x3542d37b2f79a1dfull,
};

using GoldenRun = GameFixture;

TEST_F(GoldenRun, ThreeThousandScriptedFrames) {
  open_game();
  auto& f = *form;
  const bool print = std::getenv("ZARNIK_PRINT_GOLDEN") != nullptr;
  std::vector<uint64_t> digests;
  for (int frame = 0; frame < 3000; ++frame) {
    // The script: held buttons and keys, thrust changes, mouse moves that
    // point the ship at an enemy and lock on it.
    f.mouse_left = (frame % 400) < 200;
    f.mouse_right = (frame >= 500 && frame < 520) || (frame >= 1500 && frame < 1520);
    f.key_left = frame >= 300 && frame < 340;
    f.key_right = frame >= 900 && frame < 960;
    if (frame == 700) f.key_missile = 1;
    if (frame == 1000) f.ship.speed = 4;
    if (frame == 2000) f.ship.speed = 2;
    // A shield top-up now and then keeps the ship in play for most of the run.
    if (frame % 250 == 0 && frame < 2600 && f.ship.alive == 1) f.ship.shield = 100;
    if (frame == 2400) f.game.paused = 1;
    if (frame == 2450) f.game.paused = 0;
    if (frame % 25 == 0) {
      const auto& e = f.enemies[1];
      backend.system.cursor =
          e.respawn == 0 ? platform::Point{e.x, e.y} : platform::Point{100, 100};
      if (f.ship.alive == 1)
        f.ship.heading = uint8_t(game::heading_towards(f.ship.x, f.ship.y, backend.system.cursor.x,
                                                       backend.system.cursor.y));
      f.cursor.cursor_fade = 255;
    }
    f.cas(&f.DXTimer1, 0);
    if (frame % 100 == 99) digests.push_back(digest());
  }
  if (print) {
    for (size_t i = 0; i < digests.size(); ++i)
      std::printf("    0x%016llxull,%s", static_cast<unsigned long long>(digests[i]),
                  i % 2 ? "\n" : "");
    std::printf("score %d level %d alive %d lost %d\n", f.game.score, f.level, f.ship.alive,
                f.game.game_lost);
  }
  ASSERT_EQ(digests.size(), 30u);
  for (size_t i = 0; i < digests.size(); ++i)
    EXPECT_EQ(digests[i], kGolden[i]) << "frame " << (i + 1) * 100;
}

}  // namespace
}  // namespace game_test
