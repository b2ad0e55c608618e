#pragma once
// A game held busy for frame timing: level 10, every enemy slot in play, the
// ship firing shots and missiles at a locked enemy, particles in the air, in
// the headless game driver with pictures of the game's pattern sizes.
// Shared by bench/frame and the Windows timing program (bench/win32).
#include <vector>

#include "game/form.h"
#include "game/slots.h"
#include "harness/game_driver.h"
#include "media/dib.h"

namespace busy_game {

using namespace slots::play;

struct Sprite {
  int picture, width, height, patterns;
};

// Pattern sizes close to the game's own pictures, one for every slot.
inline constexpr Sprite kSprites[] = {
    {kShip, 100, 50, 128},
    {kStar, 4, 4, 1},
    {kMeteor, 72, 54, 10},
    {kShot, 8, 8, 1},
    {kMissile, 8, 8, 1},
    {kEnemies[0].intact, 100, 50, 10},
    {kDigits, 10, 16, 10},
    {kEnemies[1].intact, 75, 50, 10},
    {kEnemies[1].damaged, 75, 50, 10},
    {kEnemies[0].damaged, 100, 50, 10},
    {kEnemies[0].destroyed, 100, 50, 10},
    {kEnemies[1].destroyed, 75, 50, 10},
    {kEnemies[2].intact, 100, 50, 10},
    {kEnemies[2].damaged, 100, 50, 10},
    {kEnemies[2].destroyed, 100, 50, 10},
    {kCursor, 20, 20, 2},
    {kSpeedGauge, 50, 20, 6},
    {kEnemyRocket, 9, 9, 3},
    {kFreeRocketGauge, 97, 92, 6},
    {kPlanets[2], 150, 150, 10},
    {kPlanets[1], 150, 150, 10},
    {kPlanets[0], 150, 150, 10},
    {kPlanets[3], 150, 150, 10},
    {kShieldGauge, 92, 92, 11},
    {kParticle, 6, 6, 4},
    {kScorePanel, 102, 50, 1},
    {kPauseBanner, 100, 50, 1},
    {kWonBanner, 400, 50, 1},
    {kLostBanner, 158, 50, 1},
    {kBonusShield, 50, 50, 10},
    {kEnemies[3].intact, 100, 50, 10},
    {kEnemies[3].damaged, 100, 50, 10},
    {kEnemies[3].destroyed, 100, 50, 10},
    {kBonusMissiles, 50, 50, 10},
    {kBonusBoth, 50, 50, 10},
    {kPlanets[4], 150, 150, 10},
    {kPlanets[5], 150, 150, 10},
    {kPlanets[6], 150, 150, 10},
    {kPlanets[7], 150, 150, 10},
    {kPlanets[8], 150, 150, 10},
    {kMissilePanel, 110, 20, 1},
};
static_assert(std::size(kSprites) == kCount);

inline void load_pictures(game::TForm1& f) {
  auto& items = f.DXImageList1.Items;
  items.Clear();
  for (int i = 0; i < kCount; ++i) items.Add();
  for (const Sprite& s : kSprites) {
    auto& item = items.ItemAt(s.picture);
    const int w = s.width * s.patterns, h = s.height;
    std::vector<uint32_t> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        // A disc in each pattern over the black transparent colour.
        const int cx = x % s.width - s.width / 2, cy = y - h / 2;
        const bool inside =
            cx * cx * h * h + cy * cy * s.width * s.width <= s.width * s.width * h * h / 4;
        px[size_t(y) * w + x] = inside ? 0x00806040u + uint32_t(s.picture * 3) : 0;
      }
    item.Picture = media::TDIB::FromPixels(w, h, 24, px);
    item.PatternWidth = s.width;
    item.PatternHeight = s.height;
    item.Transparent = true;
    item.TransparentColor = 0;
  }
  items.Initialize();
  items.Restore();
}

// Keeps the world busy: every enemy slot in play, the ship alive and firing
// shots and missiles at a locked enemy, particles in the air.
inline void keep_busy(game::TForm1& f, platform::headless::Backend& backend) {
  f.level = 10;
  f.ship.alive = 1;
  f.ship.shield = 100;
  f.ship.missiles = 20;
  f.ship.x = f.W() / 2;
  f.ship.y = f.H() / 2;
  f.game.game_lost = 0;
  f.game.game_won = 0;
  f.mouse_left = 1;
  f.mouse_right = 1;
  f.nove();
  backend.system.cursor = {f.enemies[1].x, f.enemies[1].y};
  f.cursor.cursor_fade = 255;
  int free = 0;
  for (int j = 1; j <= 80; ++j) free += f.explosions[j].free;
  if (free > 40) f.exploze(uint16_t(f.W() / 3), uint16_t(f.H() / 3), 40);
}

// Times `frames` busy play frames of a w x h game with `now_us` (a clock in
// microseconds): the times in frame order. Shared by the plain timing
// programs (bench/win32, bench/web).
template <typename Clock>
std::vector<double> time_play_frames(int w, int h, int frames, Clock now_us);

// The driver's set-up for the play rules with these pictures instead of its
// probes, a new game's opening state, then a warm-up that fills every pool.
struct BusyGame {
  game_driver::GameDriver driver{options()};
  game::TForm1& form = driver.form();
  platform::headless::Backend& backend = driver.backend();

  static game_driver::Options options() {
    game_driver::Options o;
    o.write_settings = false;
    o.write_data = false;
    return o;
  }

  BusyGame(int w, int h) {
    driver.open_display(w, h);
    load_pictures(form);
    game::set_random_state(12345);
    driver.open_game();
    form.ship.speed = 3;
    form.ship.scale = 0.7;
    for (int i = 0; i < 200; ++i) {
      keep_busy(form, backend);
      form.cas(&form.DXTimer1, 0);
    }
  }
};

template <typename Clock>
std::vector<double> time_play_frames(int w, int h, int frames, Clock now_us) {
  BusyGame busy(w, h);
  std::vector<double> play;
  play.reserve(size_t(frames));
  for (int i = 0; i < frames; ++i) {
    keep_busy(busy.form, busy.backend);
    const double t0 = now_us();
    busy.form.play_frame();
    play.push_back(now_us() - t0);
  }
  return play;
}

}  // namespace busy_game
