// Rockets: the player's shots and homing missiles, and the enemies' rockets.
#include <cmath>
#include <cstdlib>

#include "game/form.h"

namespace game {

void TForm1::rockets_flight() {
  for (int j = 1; j <= 10; ++j) {
    Traketa& p = player_rockets[j];
    if (p.active == 1) {
      // A missile homes on the locked enemy's centre from its 10th frame on.
      // It follows the remembered target without looking at it: a destroyed,
      // departed or replaced enemy in that slot still draws it.
      if (p.age > 8 && p.kind == 100 && ship.locked == 1 && ship.target >= 1 && ship.target <= 10) {
        const Tnepratel& t = enemies[ship.target];
        p.heading = static_cast<uint8_t>(heading_towards(p.x, p.y, t.x, t.y));
      }
      const long double theta = heading_angle(p.heading);
      const long double d = 1 + Round(p.speed * static_cast<long double>(p.scale));
      p.x += static_cast<int32_t>(Round(std::sin(theta) * d));
      p.y -= static_cast<int32_t>(Round(std::cos(theta) * d));
      if (p.age > p.life)
        p.alpha = static_cast<uint8_t>(p.alpha - 5);
      else
        p.age = static_cast<uint8_t>(p.age + 1);
      if (p.kind == 100)
        exploze(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y),
                static_cast<uint8_t>(Random(3)));
      picture(p.picture).DrawPatternRotatedBlended(
          back(), p.x, p.y,
          static_cast<int32_t>(Round(p.width * static_cast<long double>(p.scale))) + 1,
          static_cast<int32_t>(Round(p.height * static_cast<long double>(p.scale))) + 1, 0, 0.5,
          0.5, p.heading, p.alpha);
      if (p.alpha <= 10) p.active = 0;
      p.scale = static_cast<double>(static_cast<long double>(p.y) / H() + 0.2L);
    }

    Traketa& e = enemy_rockets[j];
    if (e.active == 1) {
      // Enemy rockets fly at a fixed speed whatever their depth, and do not age.
      const long double theta = heading_angle(e.heading);
      e.x += static_cast<int32_t>(Round(std::sin(theta) * e.speed));
      e.y -= static_cast<int32_t>(Round(std::cos(theta) * e.speed));
      e.scale = static_cast<double>(static_cast<long double>(e.y) / H() + 0.2L);
      picture(e.picture).DrawPatternRotatedBlended(
          back(), e.x, e.y,
          static_cast<int32_t>(Round(e.width * static_cast<long double>(e.scale))),
          static_cast<int32_t>(Round(e.height * static_cast<long double>(e.scale))), e.pattern, 0.5,
          0.5, e.heading, e.alpha);
    }
  }
}

void TForm1::remove_offscreen_enemy_rockets() {
  for (int j = 1; j <= 10; ++j) {
    Traketa& e = enemy_rockets[j];
    if (e.active == 1 && (e.x > W() || e.x < 0 || e.y > H() || e.y < 0)) e.active = 0;
  }
}

void TForm1::enemy_rockets_vs_ship() {
  for (int j = 1; j <= 10; ++j) {
    Traketa& e = enemy_rockets[j];
    // This test looks at the shield, not at alive: after a ram death the
    // shield reads 100, so rockets still hit the wreck's position, with sound
    // and a small explosion, and may run the destruction sequence again.
    if (std::abs(ship.x - e.x) < 100.0L * ship.scale * 3 / 4 &&
        std::abs(ship.y - e.y) < 50.0L * ship.scale * 3 / 4 && e.active == 1 && ship.shield > 0) {
      const int32_t pan = (ship.x - div(W(), 2)) * 10;
      play_wave(slots::wave::kHit, pan);
      exploze(static_cast<uint16_t>(e.x), static_cast<uint16_t>(e.y), 10);
      ship.shield = static_cast<int16_t>(ship.shield - e.kind);
      if (ship.shield <= 0) {
        // The shield stays at 0 or below after a rocket death.
        play_wave(slots::wave::kExplosion, pan);
        picture(slots::play::kLostBanner).DrawPattern(back(), 321, 275, 0);
        ship.alive = 0;
        exploze(static_cast<uint16_t>(ship.x), static_cast<uint16_t>(ship.y), 80);
        game.game_lost = 1;
      }
      e.active = 0;
    }
  }
}

}  // namespace game
