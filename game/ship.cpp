// The player's ship: turning and firing, its flight (split between moving
// the ship on the screen and moving the world the other way), its drawing and
// the jump back toward the middle near the display edges.
#include <cmath>
#include <cstdlib>

#include "game/form.h"

namespace game {

namespace {

void launch_player_rocket(Traketa& r, const Tstar& ship, uint8_t speed, int32_t size, uint8_t kind,
                          uint8_t picture, uint8_t life) {
  r.x = ship.x;
  r.y = ship.y;
  r.heading = ship.heading;
  r.speed = speed;
  r.alpha = 255;
  r.width = size;
  r.height = size;
  r.kind = kind;
  r.picture = picture;
  r.age = 0;
  r.life = life;
  r.scale = ship.scale;
  r.active = 1;
}

int free_player_rocket(PlayerRockets& rockets) {
  for (int j = 1; j <= 10; ++j)
    if (rockets[j].active == 0) return j;
  return 0;
}

}  // namespace

void TForm1::otaceni_a_strelba() {
  // Turning; the wrap does not keep the remainder (1 turned left gives 255,
  // 254 turned right gives 0).
  if (key_left == 1)
    ship.heading = ship.heading >= 3 ? static_cast<uint8_t>(ship.heading - 3) : 255;
  if (key_right == 1)
    ship.heading = ship.heading + 3 > 255 ? 0 : static_cast<uint8_t>(ship.heading + 3);

  // At most one rocket per frame: a shot due in the same frame as a missile
  // goes first and the missile follows in the next frame.
  bool launched = false;
  if (key_fire == 1 || mouse_left == 1) {
    fire_delay = static_cast<uint8_t>(fire_delay + 1);
    if (fire_delay > 4) {
      if (const int j = free_player_rocket(player_rockets)) {
        key_fire = 0;
        play_wave(slots::wave::kShot, (ship.x - 400) * 10);
        launch_player_rocket(player_rockets[j], ship, 15, 5, 35, slots::play::kShot, 50);
        fire_delay = 0;
        launched = true;
      }
    }
  }
  if ((key_missile == 1 || mouse_right == 1) && ship.missiles > 0) {
    missile_delay = static_cast<uint8_t>(missile_delay + 1);
    if (missile_delay > 8 && !launched) {
      if (const int j = free_player_rocket(player_rockets)) {
        ship.missiles = static_cast<int8_t>(ship.missiles - 1);
        key_missile = 0;
        missile_delay = 0;
        play_wave(slots::wave::kMissile, (ship.x - 400) * 10);
        launch_player_rocket(player_rockets[j], ship, 10, 6, 100, slots::play::kMissile, 30);
      }
    }
  }
}

void TForm1::ship_step() {
  const long double s = ship.speed;
  const long double k = ship.scale;  // the previous frame's scale
  const long double theta = heading_angle(ship.heading);
  const long double sn = std::sin(theta);
  const long double cs = std::cos(theta);

  // The ship's own share of the flight.
  const auto r = static_cast<long double>(Round(s * k));
  ship.x += static_cast<int32_t>(Round(r * sn));
  ship.y -= static_cast<int32_t>(Round(r * cs));

  // Stars stream past with a parallax by size, never below 2 pixels a frame.
  for (int i = 0; i <= 30; ++i) {
    Thvezda& st = stars[i];
    const long double w = 2 + Round(static_cast<long double>(Round(st.size * s * k)) * (1.8L - k));
    st.x -= static_cast<int32_t>(Round(w * sn));
    st.y += static_cast<int32_t>(Round(w * cs));
  }

  // The rest of the world moves against the heading; every slot is moved,
  // in use or not.
  const auto v = static_cast<long double>(Round((1.4L - k) * s));
  const auto dx = static_cast<int32_t>(Round(v * sn));
  const auto dy = static_cast<int32_t>(Round(v * cs));
  meteor.x -= dx;
  meteor.y += dy;
  for (int i = 1; i <= level; ++i) {
    enemies[i].x -= dx;
    enemies[i].y += dy;
  }
  for (int i = 1; i <= 9; ++i) {
    planets[i].x -= dx;
    planets[i].y += dy;
  }
  for (int i = 1; i <= 80; ++i) {
    explosions[i].x -= dx;
    explosions[i].y += dy;
  }
  for (int l = 1; l <= 10; ++l) {
    player_rockets[l].x -= dx;
    player_rockets[l].y += dy;
    enemy_rockets[l].x -= dx;
    enemy_rockets[l].y += dy;
  }
  bonus.x -= dx;
  bonus.y += dy;

  ship.scale = static_cast<double>(static_cast<long double>(ship.y) / H() + 0.2L);
  // The rotation is in the picture's patterns (one per 2 heading units), not
  // in the drawing angle.
  picture(slots::play::kShip)
      .DrawPatternRotatedBlended(
          back(), ship.x, ship.y, static_cast<int32_t>(Round(100.0L * ship.scale)),
          static_cast<int32_t>(Round(50.0L * ship.scale)), ship.heading / 2, 0.5, 0.5, 0, 255);

  // Each test sees the position the previous one left.
  if (ship.y < 60) presun_kdys_je_v_rohu(1, -1);
  if (ship.x < 60) presun_kdys_je_v_rohu(1, -1);
  if (ship.x > W() - 60) presun_kdys_je_v_rohu(-1, 1);
  if (ship.y > H() - 60) presun_kdys_je_v_rohu(-1, 1);

  ingame_display();
}

void TForm1::presun_kdys_je_v_rohu(int8_t sx, int8_t sy) {
  // The distances are absolute and the signs fixed per call: the axis that
  // triggered the call returns exactly to the middle, while the other axis
  // moves toward the middle only when the ship lies on the side the signs
  // assume, and away from it otherwise. A later edge test of the same frame
  // may correct that. Rockets, particles and the bonus are not shifted.
  const auto dx = static_cast<int16_t>(std::abs(div(W(), 2) - ship.x) * sx);
  const auto dy = static_cast<int16_t>(std::abs(div(H(), 2) - ship.y) * sy);
  for (int i = 0; i <= 30; ++i) {
    stars[i].x += dx;
    stars[i].y -= dy;
  }
  meteor.x += dx;
  meteor.y -= dy;
  for (int i = 1; i <= level; ++i) {
    enemies[i].x += dx;
    enemies[i].y -= dy;
  }
  for (int i = 1; i <= 9; ++i) {
    planets[i].x += dx;
    planets[i].y -= dy;
  }
  ship.x += dx;
  ship.y -= dy;
}

}  // namespace game
