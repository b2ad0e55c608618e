// Writes every generated picture as a PNG (magnified on a grey-blue
// checker-free dark background) for looking at the art without the game.
//
//   zarnik_asset_preview OUTPUT_DIR
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "game/slots.h"
#include "tools/assetgen/pictures.h"
#include "tools/png/png_write.h"

using assets::write_png;

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string dir = argv[1];
  auto game = assets::game_pictures();
  for (size_t i = 0; i < game.size(); ++i) {
    auto& s = game[i];
    int zoom = s.width() < 200 ? 4 : (s.width() < 500 ? 2 : 1);
    write_png(dir + "/game_" + std::to_string(i) + ".png", s.width(), s.height(), s.px, zoom);
  }
  // Contact sheets: the first pattern of related pictures side by side.
  auto contact = [&](const std::string& name, const std::vector<int>& items, int pattern) {
    int w = 0, h = 0;
    for (int i : items) {
      w += game[i].pw + 4;
      h = std::max(h, game[i].ph);
    }
    std::vector<uint32_t> px(size_t(w) * h, 0);
    int x = 0;
    for (int i : items) {
      auto& s = game[i];
      int p = std::min(pattern, s.count - 1);
      for (int yy = 0; yy < s.ph; ++yy)
        for (int xx = 0; xx < s.pw; ++xx)
          px[size_t(yy) * w + x + xx] =
              s.px[size_t((p / s.cols) * s.ph + yy) * s.width() + size_t(p % s.cols) * s.pw + xx];
      x += s.pw + 4;
    }
    write_png(dir + "/" + name + ".png", w, h, px, 1);
  };
  using namespace slots::play;
  contact("planets", {std::begin(kPlanets), std::end(kPlanets)}, 0);
  std::vector<int> enemies;
  for (const EnemyPictures& e : kEnemies)
    enemies.insert(enemies.end(), {e.intact, e.damaged, e.destroyed});
  contact("enemies", enemies, 3);
  contact(
      "hud",
      {kSpeedGauge, kShieldGauge, kFreeRocketGauge, kScorePanel, kMissilePanel, kDigits, kCursor,
       kParticle, kEnemyRocket, kShot, kMissile, kBonusShield, kBonusMissiles, kBonusBoth},
      4);
  auto menu = assets::menu_pictures();
  for (size_t i = 0; i < menu.size(); ++i)
    write_png(dir + "/menu_" + std::to_string(i) + ".png", menu[i].width(), menu[i].height(),
              menu[i].px, 2);
  auto sp = assets::splash_picture();
  write_png(dir + "/splash.png", sp.width(), sp.height(), sp.px, 2);
  return 0;
}
