// The meteor (scenery that swells and shrinks along a random course) and the
// bonus a destroyed enemy may leave behind.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "game/form.h"

namespace game {

void TForm1::meteor_step() {
  Tmeteor& m = meteor;
  if (m.wait_count > m.wait_limit) {
    const long double theta = heading_angle(m.heading);
    m.x -= static_cast<int32_t>(Round(std::sin(theta) * -3.0L));
    m.y += static_cast<int32_t>(Round(std::cos(theta) * -3.0L));
    m.anim = static_cast<double>(m.anim + 0.4L);
    // Drawn with its pivot at the top-left corner, so it turns about (x, y).
    picture(slots::play::kMeteor)
        .DrawPatternRotated(back(), m.x, m.y, static_cast<int32_t>(Round(m.scale * 72.0L)),
                            static_cast<int32_t>(Round(m.scale * 54.0L)),
                            static_cast<int>(Round(m.anim)), 0.0, 0.0, m.spin);
    if (Round(m.anim) >= 9) m.anim = 1.0;
    if (m.growing == 1)
      m.scale = static_cast<double>(m.scale + 0.005L);
    else
      m.scale = static_cast<double>(m.scale - 0.01L);
    if (m.scale > 2.0) m.growing = 0;
    if (m.scale < 0.0) {
      // A meteor that goes live while shrinking (the first game, with every
      // field zero) ends at once and prepares a proper appearance.
      m.anim = 1.0;
      m.spin = static_cast<uint8_t>(Random(255));
      m.scale = 0.0;
      m.wait_count = 0;
      m.wait_limit = static_cast<uint8_t>(Random(150));
      m.heading = static_cast<uint8_t>(Random(256));
      m.growing = 1;
      m.x = static_cast<int32_t>(Random(static_cast<uint32_t>(W())));
      m.y = static_cast<int32_t>(Random(static_cast<uint32_t>(H())));
    }
  } else {
    m.wait_count = static_cast<uint8_t>(m.wait_count + 1);
  }
}

void TForm1::bonus_step() {
  Tbonusy& b = bonus;
  if (b.gone != 0) return;
  b.tick = static_cast<uint8_t>(b.tick + 1);
  if (b.tick > 8) {
    b.alpha = static_cast<uint8_t>(b.alpha - 5);
    b.pattern = static_cast<uint8_t>(b.pattern + 1);
    if (b.pattern == 10) b.pattern = 0;
    if (b.alpha <= 5) b.gone = 1;
    b.tick = 0;
  }
  // The catch area follows the ship's size (its scale of the previous frame).
  if (std::abs(ship.x - b.x) < 100.0L * ship.scale && std::abs(ship.y - b.y) < 50.0L * ship.scale &&
      ship.alive == 1) {
    play_wave(slots::wave::kBonus, (ship.x - 400) * 10);
    b.gone = 1;
    switch (b.kind) {
      case slots::play::kBonusShield:
        ship.shield = static_cast<int16_t>(std::min(ship.shield + 50, 100));
        break;
      case slots::play::kBonusMissiles:
        ship.missiles = static_cast<int8_t>(std::min(ship.missiles + 5, 20));
        break;
      case slots::play::kBonusBoth:
        ship.missiles = static_cast<int8_t>(std::min(ship.missiles + 2, 20));
        ship.shield = static_cast<int16_t>(std::min(ship.shield + 20, 100));
        break;
      default: break;
    }
  }
  // Drawn also in the frame it was picked up or faded out.
  const auto side = static_cast<int32_t>(Round((static_cast<long double>(b.y) / H() + 0.2L) * 50));
  picture(b.kind).DrawPatternRotatedBlended(back(), b.x, b.y, side, side, b.pattern, 0.5, 0.5, 0,
                                            b.alpha);
}

}  // namespace game
