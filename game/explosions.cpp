// Explosions: clouds of short-lived particles from a pool of 81 slots, of
// which the frame uses 1..80 (slot 0 is only ever freed).
#include <cmath>

#include "game/form.h"

namespace game {

void TForm1::exploze(uint16_t x, uint16_t y, uint8_t count) {
  // Coordinates arrive as 16-bit words: an explosion asked for just past the
  // left or top edge (x = -3) lands near 65533, off screen, and fades there
  // unseen.
  const long double k = static_cast<long double>(y) / H() + 0.5L;
  int n = 0;
  // Makes at most count - 1 particles, in the lowest free slots.
  for (int j = 1; j <= 80; ++j) {
    Tvybuch& p = explosions[j];
    if (p.free != 1) continue;
    ++n;
    if (n >= count) break;
    p.x = static_cast<int32_t>(Round((10 - static_cast<int>(Random(21))) * k)) + x;
    p.y = static_cast<int32_t>(Round((10 - static_cast<int>(Random(21))) * k)) + y;
    // Particles aim at the centre, cross it and fly on beyond it.
    p.heading = static_cast<uint8_t>(heading_towards(p.x, p.y, x, y));
    p.free = 0;
    p.alpha = static_cast<uint8_t>(120 + Random(125));
    p.speed = static_cast<uint8_t>(1 + Random(2));
    p.pattern = static_cast<uint8_t>(Random(4));
  }
}

void TForm1::explosions_step() {
  for (int j = 1; j <= 80; ++j) {
    Tvybuch& p = explosions[j];
    if (p.free == 0) {
      // Alpha is at least 12 here and falls by at most 9: it never wraps.
      p.alpha = static_cast<uint8_t>(p.alpha - Random(10));
      const long double theta = heading_angle(p.heading);
      const auto m =
          static_cast<long double>(Round((static_cast<long double>(p.y) / H() + 0.2L) * p.speed));
      p.x += static_cast<int32_t>(Round(std::sin(theta) * m));
      p.y -= static_cast<int32_t>(Round(std::cos(theta) * m));
      const auto side =
          static_cast<int32_t>(Round((static_cast<long double>(p.y) / H() + 0.2L) * 6));
      picture(slots::play::kParticle)
          .DrawPatternRotatedBlended(back(), p.x, p.y, side, side, p.pattern, 0.5, 0.5, 0, p.alpha);
    }
    if (p.alpha < 12) p.free = 1;
  }
}

}  // namespace game
