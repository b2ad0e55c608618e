#pragma once
// The game window of the headless driver with an 800 x 600 back surface, the
// driver's probe pictures and short waves in the window's lists, and no
// start-up: the tests call the window's methods frame by frame.
//
// Every picture p has kPatterns patterns of kProbe x kProbe pixels, each a
// solid colour that encodes (p, pattern), so a DrawPattern leaves a readable
// mark at its top-left corner (see driver/game_driver.h).
#include <gtest/gtest.h>

#include <cstdint>

#include "game/form.h"
#include "harness/game_driver.h"

namespace game_test {

using game_driver::kPatterns;
using game_driver::kProbe;
using game_driver::Mark;

class GameFixture : public ::testing::Test {
 protected:
  static game_driver::Options core_options() {
    game_driver::Options o;
    o.write_settings = false;
    o.write_data = false;
    return o;
  }

  void SetUp() override {
    open_display(800, 600);
    game::set_random_state(0);
  }

  void open_display(int w, int h) { driver.open_display(w, h); }

  // The mark at a pixel of the back surface (picture -1 when none).
  Mark mark_at(int x, int y) { return game_driver::mark_of(driver.back_pixel(x, y)); }

  void clear_back() { form->DXDraw1.Surface()->FillSurface(0); }

  // See GameDriver: an empty world in play, and a new game's opening state.
  void quiet_world() { driver.quiet_world(); }
  void open_game() { driver.open_game(); }

  // An intact enemy of kind 0 (100 x 50, resistance 100) in slot i.
  game::Tnepratel& place_enemy(int i, int x, int y, double scale = 1.0) {
    auto& e = form->enemies[i];
    e = game::Tnepratel{};
    e.x = x;
    e.y = y;
    e.scale = scale;
    e.speed = 3;
    e.aims = 1;
    e.resistance = 100;
    e.picture = 5;
    e.width = 100;
    e.height = 50;
    e.alpha = 255;
    e.respawn = 0;
    e.dying = 0;
    return e;
  }

  game::Traketa& place_rocket(game::Traketa& r, int x, int y, uint8_t kind) {
    r = game::Traketa{};
    r.x = x;
    r.y = y;
    r.kind = kind;
    r.active = 1;
    r.alpha = 255;
    r.width = 9;
    r.height = 9;
    r.speed = 5;
    r.scale = 1.0;
    return r;
  }

  // The driver's digest of the whole world.
  uint64_t digest() const { return driver.digest(); }
  // A digest of every record, pool and counter of the world.

  // Puts the generator into the state from which the next Random(n) gives v.
  static void next_random_gives(uint32_t n, uint32_t v) {
    for (uint32_t s = 0;; ++s) {
      game::set_random_state(s);
      if (game::Random(n) == v) {
        game::set_random_state(s);
        return;
      }
    }
  }

  int free_particles() const {
    int n = 0;
    for (int j = 1; j <= 80; ++j) n += form->explosions[j].free;
    return n;
  }

  game_driver::GameDriver driver{core_options()};
  platform::headless::Backend& backend = driver.backend();
  game::TForm1* const form = &driver.form();
};

}  // namespace game_test
