// Plays the game headless with the generated data and writes the screens
// worth looking at as PNG files: splash, menu, a busy game with the display,
// pause, won and lost. Game state is nudged directly (level, bonus,
// explosions, end flags) so every picture shows up within a few seconds.
//
//   zarnik_asset_screens RUN_DIR OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "harness/game_driver.h"
#include "tools/png/png_write.h"

namespace {

void shot(game_driver::GameDriver& d, const std::string& path) {
  assets::write_png_565(path, d.frame_width(), d.frame_height(), d.frame());
  std::printf("%s\n", path.c_str());
}

// A magnified part of the last frame.
void crop(game_driver::GameDriver& d, const std::string& path, int x0, int y0, int w, int h) {
  std::vector<uint16_t> px(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = d.pixel(x0 + x, y0 + y);
  assets::write_png_565(path, w, h, px, 4);
  std::printf("%s\n", path.c_str());
}

// The menu with its start item lit (the splash over), shot; then a game
// started from it at level 6, the left button held (shots all the time).
game::TForm1& menu_then_game(game_driver::GameDriver& d, const std::string& menu_png) {
  game::TForm1& f = d.form();
  d.move_to(f.W() / 2, f.H() / 2 - 75);
  d.tick(120);
  shot(d, menu_png);
  d.press(game_driver::kEnter);
  d.tick(20);
  f.level = 6;
  d.mouse_down(0);
  return f;
}

// The whole display in a busy game at one screen size: the shield and
// missiles part used, shots and missiles in flight, score and level of a
// game well under way, a bonus and an explosion; the display's corners and
// the missile row magnified.
int busy_game_at(const std::string& run_dir, const std::string& out, int w, int h) {
  game_driver::Options o;
  o.data_from = run_dir;
  o.settings = {std::to_string(w), std::to_string(h), "PETR"};
  o.modes = {{w, h, 16}};
  game_driver::GameDriver d(o);
  if (!d.create()) return 1;
  const std::string name = out + "/" + std::to_string(w) + "x" + std::to_string(h) + "_";
  d.tick(250);
  game::TForm1& f = menu_then_game(d, name + "menu.png");
  f.game.score = 12350;
  f.ship.shield = 64;
  f.ship.missiles = 13;
  for (int i = 0; i < 30; ++i) {
    double a = i * 0.6;
    // Whole pixels of the centre and radius, as the screenshots were drawn.
    const int cx = w / 2, cy = h / 2, rx = w / 3, ry = h / 3;
    d.move_to(int(cx + rx * std::cos(a)), int(cy + ry * std::sin(a)));
    f.ship.shield = std::max<int16_t>(f.ship.shield, 40);  // the ship stays in the game
    if (i == 20) d.mouse_down(1);
    if (i == 22) d.mouse_up(1);
    d.tick(8);
  }
  f.bonus.gone = 0;
  f.bonus.alpha = 255;
  f.bonus.x = w * 2 / 3;
  f.bonus.y = h * 2 / 3;
  f.bonus.kind = 34;
  f.exploze(uint16_t(w / 3), uint16_t(h / 2), 40);
  d.move_to(w / 2 + 120, h / 2 - 60);
  d.tick(4);
  shot(d, name + "play.png");
  crop(d, name + "play_missile_row.png", w / 2 - 70, h - 30, 190, 30);
  crop(d, name + "play_bottom_left.png", 0, h - 100, 120, 100);
  crop(d, name + "play_bottom_right.png", w - 120, h - 100, 120, 100);
  crop(d, name + "play_top.png", 0, 0, 220, 30);
  crop(d, name + "play_top_right.png", w - 110, 0, 110, 55);
  return 0;
}

}  // namespace

// zarnik_asset_screens RUN_DIR OUTPUT_DIR [W H ...]: with sizes, the menu
// and a busy game at each of them; without, the screens of one run at
// 800 x 600 below.
int main(int argc, char** argv) {
  if (argc < 3 || argc % 2 == 0) return 2;
  const std::string out = argv[2];
  if (argc > 3) {
    for (int i = 3; i + 1 < argc; i += 2)
      if (busy_game_at(argv[1], out, std::atoi(argv[i]), std::atoi(argv[i + 1])) != 0) return 1;
    return 0;
  }
  game_driver::Options o;
  o.data_from = argv[1];
  game_driver::GameDriver d(o);
  if (!d.create()) return 1;
  d.tick(40);
  shot(d, out + "/splash.png");
  d.tick(210);
  game::TForm1& f = menu_then_game(d, out + "/menu.png");
  for (int i = 0; i < 24; ++i) {
    double a = i * 0.6;
    d.move_to(int(400 + 250 * std::cos(a)), int(300 + 200 * std::sin(a)));
    d.tick(12);
  }
  f.bonus.gone = 0;
  f.bonus.alpha = 255;
  f.bonus.x = 560;
  f.bonus.y = 420;
  f.bonus.kind = 34;
  f.exploze(250, 330, 40);
  d.move_to(300, 250);
  d.tick(6);
  shot(d, out + "/game.png");
  crop(d, out + "/game_explosion.png", 170, 270, 160, 120);
  crop(d, out + "/game_hud.png", 600, 0, 200, 60);
  d.mouse_up(0);
  d.press(game_driver::kPause);
  d.tick(2);
  shot(d, out + "/pause.png");
  d.press(game_driver::kPause);
  d.tick(2);
  f.game.game_won = 1;
  f.ship.alive = 0;
  d.tick(30);
  shot(d, out + "/won.png");
  f.game.game_won = 0;
  f.game.game_lost = 1;
  d.tick(30);
  shot(d, out + "/lost.png");
  return 0;
}
