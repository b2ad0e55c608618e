// The background: 31 twinkling stars and a column of nine drifting planets.
#include "game/form.h"

namespace game {

// One twinkle step of a star, shared by the play frame and the menu. Both
// steps may run in one frame: a star that rises above 251 falls back by 3 at
// once, so the drawn brightness peaks at 251. The byte wraps: a star
// brightening from 253 goes on from 0 (not a fault, the twinkle simply
// restarts). A faded star reappears elsewhere; in play its brightness is not
// reset, in the menu it is drawn anew (Random(123) x (3 - size)).
void TForm1::twinkle_star(Thvezda& s, bool menu) {
  if (s.brightening == 1) {
    s.brightness = static_cast<uint8_t>(s.brightness + 3);
    if (s.brightness > 251) s.brightening = 0;
  }
  if (s.brightening == 0) {
    s.brightness = static_cast<uint8_t>(s.brightness - 3);
    if (s.brightness <= 3) {
      s.brightening = 1;
      s.x = static_cast<int32_t>(Random(static_cast<uint32_t>(W())));
      s.y = static_cast<int32_t>(Random(static_cast<uint32_t>(H())));
      s.size = static_cast<uint8_t>(Random(2) + 1);
      if (menu) s.brightness = static_cast<uint8_t>(Random(123) * (3u - s.size));
    }
  }
}

void TForm1::stars_step() {
  for (int i = 0; i <= 30; ++i) {
    Thvezda& s = stars[i];
    twinkle_star(s, false);
    // Stars are never wrapped at the edges: one carried off screen stays
    // there, unseen, until it fades and reappears.
    picture(slots::play::kStar)
        .DrawPatternRotatedBlended(back(), s.x, s.y, 2 * s.size, 2 * s.size, 0, 0.5, 0.5, 255,
                                   s.brightness);
  }
}

void TForm1::planets_step() {
  const int32_t size_factor = div(screen_width(), 640);
  for (int i = 1; i <= 9; ++i) {
    Tplaneta& p = planets[i];
    p.scale = static_cast<double>(static_cast<long double>(p.y) / H() + 0.2L);
    if (p.picture != 0) {
      const auto side =
          static_cast<int32_t>(Round(static_cast<long double>(size_factor) * 150 * p.scale));
      picture(p.picture).DrawPatternRotated(back(), p.x, p.y, side, side, p.pattern, 0.5, 0.5,
                                            p.angle);
    }
    p.anim_timer += 1;
    if (p.anim_timer > 8) {
      p.pattern = static_cast<int8_t>(p.pattern + 1);
      if (p.pattern == 10) p.pattern = 0;
      p.anim_timer = 0;
    }
    p.x -= p.drift;
  }
  // Horizontal wrap at fixed thresholds whatever the display width, so each
  // planet spends a different, growing stretch off screen.
  for (int i = 1; i <= 9; ++i)
    if (planets[i].x < -100 * i) planets[i].x = W() + 100;
  for (int i = 1; i <= 9; ++i)
    if (planets[i].x > 800 + 100 * i) planets[i].x = -100;
  // Vertical re-stacking once the whole column has left the display on the
  // side the ship is flying away from.
  if (ship.heading > 64 && ship.heading < 192 && planets[1].y < -150)
    posun_planet(static_cast<int16_t>(H() + 2750));
  if ((ship.heading < 64 || ship.heading > 192) && planets[9].y > H() + 150) posun_planet(-1150);
}

void TForm1::posun_planet(int16_t a) {
  const auto k = static_cast<uint16_t>(2 * div(screen_height(), 3));
  for (int j = 1; j <= 9; ++j) planets[j].y = 1000 - j * static_cast<int32_t>(k) + a;
}

}  // namespace game
