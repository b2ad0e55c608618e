// CPU time of a busy play frame (level 10, ten enemies, rockets and
// particles in flight) at 800 x 600 and 1920 x 1080: median and 99th
// percentile per frame, and heap allocations per frame.
//
//   build-*/bench/frame/bench_frame
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "assets/slots.h"
#include "driver/alloc_count.h"
#include "driver/game_driver.h"
#include "game/form.h"
#include "media/dib.h"

namespace {

struct Sprite {
  int picture, width, height, patterns;
};

using namespace slots::play;

// Pattern sizes close to the game's own pictures, one for every slot.
constexpr Sprite kSprites[] = {
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

void load_pictures(game::TForm1& f) {
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

uint64_t thread_ns() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

// Keeps the world busy: every enemy slot in play, the ship alive and firing
// shots and missiles at a locked enemy, particles in the air.
void keep_busy(game::TForm1& f, platform::headless::Backend& backend) {
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

void BM_BusyPlayFrame(benchmark::State& state) {
  BusyGame busy(int(state.range(0)), int(state.range(1)));
  game::TForm1& f = busy.form;
  auto& backend = busy.backend;
  // Whole frame (cas: play frame, present, music check) and the play frame
  // alone (without presenting to the headless display).
  std::vector<uint64_t> times, play_times;
  times.reserve(100000);
  play_times.reserve(100000);
  int64_t allocations = 0;
  long frames = 0;
  for (auto _ : state) {
    keep_busy(f, backend);
    const int64_t before = alloc_count::allocations();
    const uint64_t t0 = thread_ns();
    f.cas(&f.DXTimer1, 0);
    const uint64_t t1 = thread_ns();
    allocations += alloc_count::allocations() - before;
    keep_busy(f, backend);
    const uint64_t t2 = thread_ns();
    f.play_frame();
    const uint64_t t3 = thread_ns();
    ++frames;
    if (times.size() < times.capacity()) {
      times.push_back(t1 - t0);
      play_times.push_back(t3 - t2);
    }
  }
  auto at = [](std::vector<uint64_t>& v, double q) {
    std::sort(v.begin(), v.end());
    return double(v[std::min(v.size() - 1, size_t(q * double(v.size())))]) / 1000.0;
  };
  state.counters["frame_median_us"] = at(times, 0.5);
  state.counters["frame_p99_us"] = at(times, 0.99);
  state.counters["play_median_us"] = at(play_times, 0.5);
  state.counters["play_p99_us"] = at(play_times, 0.99);
  state.counters["allocs_per_frame"] = double(allocations) / double(std::max(1L, frames));
  int rockets = 0, particles = 0, enemies = 0;
  for (int j = 1; j <= 10; ++j) rockets += f.player_rockets[j].active + f.enemy_rockets[j].active;
  for (int j = 1; j <= 80; ++j) particles += 1 - f.explosions[j].free;
  for (int i = 1; i <= 10; ++i) enemies += 1 - f.enemies[i].respawn;
  state.counters["rockets"] = rockets;
  state.counters["particles"] = particles;
  state.counters["enemies"] = enemies;
}

// Heap allocations of each step of the play frame, to find the ones that
// allocate.
void BM_AllocationsByStep(benchmark::State& state) {
  BusyGame busy(800, 600);
  game::TForm1& f = busy.form;
  using Step = void (game::TForm1::*)();
  struct Named {
    const char* name;
    Step step;
  };
  const Named steps[] = {
      {"turn_fire", &game::TForm1::otaceni_a_strelba},
      {"stars", &game::TForm1::stars_step},
      {"planets", &game::TForm1::planets_step},
      {"meteor", &game::TForm1::meteor_step},
      {"rockets", &game::TForm1::rockets_flight},
      {"aim", &game::TForm1::aim_pass},
      {"offscreen", &game::TForm1::remove_offscreen_enemy_rockets},
      {"spawn", &game::TForm1::spawn_chance},
      {"bonus", &game::TForm1::bonus_step},
      {"hits", &game::TForm1::hit_pass},
      {"particles", &game::TForm1::explosions_step},
      {"motion", &game::TForm1::motion_pass},
      {"vs_ship", &game::TForm1::enemy_rockets_vs_ship},
      {"ship", &game::TForm1::ship_step},
  };
  std::vector<long> counts(std::size(steps));
  long frames = 0;
  for (auto _ : state) {
    keep_busy(f, busy.backend);
    f.DXDraw1.Surface()->FillSurface(0);
    for (size_t i = 0; i < std::size(steps); ++i) {
      counts[i] += alloc_count::allocations_during([&] { (f.*steps[i].step)(); });
    }
    ++frames;
  }
  for (size_t i = 0; i < std::size(steps); ++i)
    state.counters[steps[i].name] = double(counts[i]) / double(frames);
}

BENCHMARK(BM_AllocationsByStep)->Iterations(500);

BENCHMARK(BM_BusyPlayFrame)
    ->Args({800, 600})
    ->Args({1920, 1080})
    ->Iterations(3000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
