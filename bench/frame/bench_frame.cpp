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

#include "bench/frame/busy_game.h"
#include "game/form.h"
#include "harness/alloc_count.h"

namespace {

using busy_game::BusyGame;
using busy_game::keep_busy;

uint64_t thread_ns() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

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
