// Plays the game headless with the generated data and writes the screens
// worth looking at as PNG files: splash, menu, a busy game with the display,
// pause, won and lost. Game state is nudged directly (level, bonus,
// explosions, end flags) so every picture shows up within a few seconds.
//
//   zarnik_asset_screens RUN_DIR OUTPUT_DIR
#include <cmath>
#include <cstdio>
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string out = argv[2];
  game_driver::Options o;
  o.data_from = argv[1];
  game_driver::GameDriver d(o);
  if (!d.create()) return 1;
  d.tick(40);
  shot(d, out + "/splash.png");
  d.tick(210);
  d.move_to(400, 225);
  d.tick(120);
  shot(d, out + "/menu.png");
  d.press(game_driver::kEnter);
  d.tick(20);
  game::TForm1& f = d.form();
  f.level = 6;
  d.mouse_down(0);
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
