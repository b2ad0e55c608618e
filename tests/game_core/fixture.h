#pragma once
// A game window over the headless backend with an 800 x 600 back surface,
// a picture collection built in memory and a wave collection of empty items.
//
// Every picture p has kPatterns patterns of kProbe x kProbe pixels, each a
// solid colour that encodes (p, pattern): green holds p, red the pattern. A
// DrawPattern therefore leaves a readable mark at its top-left corner.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "game/form.h"
#include "media/application.h"
#include "media/dib.h"
#include "platform/headless/headless.h"

namespace game_test {

constexpr int kPictures = 41;
constexpr int kPatterns = 12;
constexpr int kProbe = 4;

struct Mark {
  int picture = -1;
  int pattern = -1;
  bool operator==(const Mark&) const = default;
};

inline uint32_t probe_rgb(int picture, int pattern) {
  // 0x00RRGGBB: red 5 bits = pattern, green 6 bits = picture, blue full.
  return (uint32_t(pattern) << 19) | (uint32_t(picture) << 10) | 0xF8u;
}

class GameFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    backend.install(false);
    app = std::make_unique<media::TApplication>();
    form = std::make_unique<game::TForm1>(*app);
    open_display(800, 600);
    game::set_random_state(0);
  }

  void open_display(int w, int h) {
    auto& d = form->DXDraw1;
    d.SetBounds(w, h);
    d.Display.SetWidth(w);
    d.Display.SetHeight(h);
    d.InitializeDisplay();
    auto& items = form->DXImageList1.Items;
    items.Clear();
    for (int p = 0; p < kPictures; ++p) {
      auto& item = items.Add();
      std::vector<uint32_t> px(size_t(kProbe * kPatterns) * kProbe);
      for (int y = 0; y < kProbe; ++y)
        for (int x = 0; x < kProbe * kPatterns; ++x)
          px[size_t(y) * kProbe * kPatterns + x] = probe_rgb(p, x / kProbe);
      item.Picture = media::TDIB::FromPixels(kProbe * kPatterns, kProbe, 24, px);
      item.PatternWidth = kProbe;
      item.PatternHeight = kProbe;
      item.Transparent = true;
      item.TransparentColor = 0;
    }
    items.Initialize();
    items.Restore();
    auto& waves = form->DXWaveList1.Items;
    waves.Clear();
    for (int i = 0; i < 9; ++i) waves.Add();
  }

  // The mark at a pixel of the back surface (picture -1 when none).
  Mark mark_at(int x, int y) {
    const uint16_t px = form->DXDraw1.Surface()->Pixel(x, y);
    if ((px & 0x1F) != 0x1F) return {};
    return {(px >> 5) & 0x3F, px >> 11};
  }

  void clear_back() { form->DXDraw1.Surface()->FillSurface(0); }

  // An empty world in play: level 1, ship alive in the middle at scale 1,
  // every pool free and every enemy slot empty.
  void quiet_world() {
    auto& f = *form;
    f.game.in_menu = 0;
    f.game.splash_frames = 250;
    f.game.level_mark = 100;
    f.level = 1;
    f.ship.shield = 100;
    f.ship.x = 400;
    f.ship.y = 300;
    f.ship.scale = 1.0;
    f.ship.missiles = 20;
    f.ship.speed = 1;
    f.ship.alive = 1;
    f.bonus.gone = 1;
    for (auto& e : f.explosions) e.free = 1;
    for (int i = 1; i <= 10; ++i) {
      f.enemies[i].respawn = 1;
      f.enemy_rockets[i].active = 0;
      f.player_rockets[i].active = 0;
    }
    // The meteor waits well beyond any test.
    f.meteor.wait_limit = 255;
    f.meteor.wait_count = 0;
    backend.system.cursor = {-1000, -1000};
  }

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

  // The opening state of a game as a new game sets it (without loading the
  // picture file): planets, ship, meteor, stars, then a first spawn pass.
  void open_game() {
    quiet_world();
    auto& f = *form;
    struct P {
      int32_t x;
      int8_t picture, drift;
      uint8_t angle;
    };
    static constexpr P kPlanets[9] = {{50, 21, 6, 0},    {400, 20, -3, 125}, {800, 19, 4, 15},
                                      {50, 22, -5, 2},   {700, 35, -5, 2},   {0, 36, 4, 253},
                                      {250, 37, -2, 65}, {350, 38, 3, 25},   {650, 39, 5, 98}};
    for (int i = 1; i <= 9; ++i) {
      f.planets[i].x = kPlanets[i - 1].x;
      f.planets[i].picture = kPlanets[i - 1].picture;
      f.planets[i].drift = kPlanets[i - 1].drift;
      f.planets[i].angle = kPlanets[i - 1].angle;
    }
    f.posun_planet(400);
    f.meteor.x = int32_t(game::Random(uint32_t(f.W())));
    f.meteor.y = int32_t(game::Random(uint32_t(f.H())));
    f.meteor.heading = uint8_t(game::Random(256));
    f.meteor.wait_limit = uint8_t(game::Random(250));
    f.meteor.scale = 0.001;
    for (auto& s : f.stars) {
      s.x = int32_t(game::Random(uint32_t(f.W())));
      s.y = int32_t(game::Random(uint32_t(f.H())));
      s.brightness = uint8_t(game::Random(255));
      s.brightening = game::Random(2) == 1 ? 1 : 0;
    }
    f.nove();
  }

  // A digest of every record, pool and counter of the world.
  uint64_t digest() const {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](int64_t v) {
      for (int i = 0; i < 8; ++i) {
        h ^= uint64_t(v >> (8 * i)) & 0xFF;
        h *= 1099511628211ull;
      }
    };
    auto mixd = [&mix](double d) { mix(int64_t(d * 1e9)); };
    auto mixall = [&mix](auto... v) { (mix(int64_t(v)), ...); };
    const auto& f = *form;
    const auto& g = f.game;
    mixall(g.in_menu, g.paused, g.game_won, g.game_lost, int(g.score), int(g.level_mark));
    const auto& s = f.ship;
    mixall(int(s.heading), int(s.target), int(s.speed), int(s.shield), int(s.missiles), s.x, s.y,
           int(s.locked), int(s.alive));
    mixd(s.scale);
    const auto& m = f.meteor;
    mixall(int(m.heading), int(m.growing), m.x, m.y, int(m.wait_limit), int(m.wait_count),
           int(m.spin));
    mixd(m.scale);
    mixd(m.anim);
    const auto& b = f.bonus;
    mixall(b.x, b.y, int(b.alpha), int(b.gone), int(b.pattern), int(b.kind), int(b.tick));
    for (const auto* pool : {&f.player_rockets.items, &f.enemy_rockets.items})
      for (const auto& r : *pool) {
        mixall(int(r.heading), int(r.speed), int(r.alpha), r.width, r.height, r.x, r.y,
               int(r.active), int(r.kind), int(r.picture), int(r.pattern), int(r.age), int(r.life));
        mixd(r.scale);
      }
    for (const auto& p : f.planets) {
      mixall(p.anim_timer, p.x, p.y, int(p.pattern), int(p.picture), int(p.drift), int(p.angle));
      mixd(p.scale);
    }
    for (const auto& st : f.stars)
      mixall(st.x, st.y, int(st.brightness), int(st.brightening), int(st.size));
    for (const auto& e : f.enemies) {
      mixall(int(e.heading), int(e.speed), int(e.alpha), int(e.dying), e.x, e.y, int(e.respawn),
             int(e.aims), int(e.resistance), int(e.picture), e.width, e.height, int(e.anim_tick),
             int(e.pattern));
      mixd(e.scale);
    }
    for (const auto& p : f.explosions)
      mixall(p.x, p.y, int(p.alpha), int(p.free), int(p.heading), int(p.speed), int(p.pattern));
    mixall(int(f.level), int(f.fire_delay), int(f.missile_delay), int(f.enemy_fire_timer),
           int(f.cursor.cursor_fade), int(f.cursor.cursor_angle));
    mix(int64_t(game::random_state()));
    return h;
  }

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

  platform::headless::Backend backend;
  std::unique_ptr<media::TApplication> app;
  std::unique_ptr<game::TForm1> form;
};

}  // namespace game_test
