#pragma once
// A game held busy for frame timing: level 10, every enemy slot in play, the
// ship firing shots and missiles at a locked enemy, particles in the air, in
// the headless game driver with pictures of the game's pattern sizes.
// Shared by bench/frame and the Windows timing program (bench/win32).
#include <vector>

#include "driver/game_driver.h"
#include "game/form.h"
#include "media/dib.h"

namespace busy_game {

struct Sprite {
  int picture, width, height, patterns;
};

// Pattern sizes close to the game's own pictures.
inline constexpr Sprite kSprites[] = {
    {0, 100, 50, 128},  {1, 4, 4, 1},       {2, 72, 54, 10},    {3, 8, 8, 1},
    {4, 8, 8, 1},       {5, 100, 50, 10},   {6, 10, 16, 10},    {7, 75, 50, 10},
    {8, 75, 50, 10},    {9, 100, 50, 10},   {10, 100, 50, 10},  {11, 75, 50, 10},
    {12, 100, 50, 10},  {13, 100, 50, 10},  {14, 100, 50, 10},  {15, 20, 20, 2},
    {16, 50, 20, 6},    {17, 9, 9, 3},      {18, 97, 92, 6},    {19, 150, 150, 10},
    {20, 150, 150, 10}, {21, 150, 150, 10}, {22, 150, 150, 10}, {23, 92, 92, 11},
    {24, 6, 6, 4},      {25, 102, 50, 1},   {26, 100, 50, 1},   {27, 400, 50, 1},
    {28, 158, 50, 1},   {29, 50, 50, 10},   {30, 100, 50, 10},  {31, 100, 50, 10},
    {32, 100, 50, 10},  {33, 50, 50, 10},   {34, 50, 50, 10},   {35, 150, 150, 10},
    {36, 150, 150, 10}, {37, 150, 150, 10}, {38, 150, 150, 10}, {39, 150, 150, 10},
    {40, 110, 20, 1},
};

inline void load_pictures(game::TForm1& f) {
  auto& items = f.DXImageList1.Items;
  items.Clear();
  for (const Sprite& s : kSprites) {
    auto& item = items.Add();
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

}  // namespace busy_game
