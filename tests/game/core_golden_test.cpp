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
    0xe51517d336302b76ull, 0x3b5b27b739a16181ull, 0x76dc1b1045cab05full, 0xd4f014d00aa5a2fcull,
    0x7269b5a3a38f0c31ull, 0xb53ecf49ab60a151ull, 0x88386965e8dd0d58ull, 0x976c80d901e37e9aull,
    0xfc593bf3c0747cf6ull, 0x84deb93f88bb60ffull, 0xe7eeb2c2e556e6c9ull, 0x58ba2a758959fb89ull,
    0x6e380e6bcd3f3e4cull, 0xf32fdac1c4f5fc92ull, 0x2e4900115a0b0602ull, 0xa99db0ae4dff8dddull,
    0xe0a6c44f3359d810ull, 0x7875520fd5a56631ull, 0x2c99dc7678cf201dull, 0x02317821076d275dull,
    0xfec2cca93daffa3aull, 0xd3d939ebe3d8840full, 0xaa714b111a26124eull, 0x8728e4bf31b0638full,
    0x432d90d7b6037838ull, 0xbb00b1724f91f747ull, 0x46cbefe77caf0fd3ull, 0xb9e110ab3a89fbe1ull,
    0xcb46ed2d80d52becull, 0x3be6c3d617e79ddcull,
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
