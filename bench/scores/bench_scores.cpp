// The end of a game with a large score file: Esc in play returns to the menu
// (menu pictures and music loaded again) and enters the score into the
// table. The argument is the number of lines of data.dat as it was read (a
// file edited or damaged by hand can hold any number). BM_InsertScore times
// the table insertion alone.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "game/persistence.h"
#include "harness/game_driver.h"

namespace {

// A score file's lines: scores 0..9999 in no order, names of capitals.
std::vector<std::string> big_table(int64_t lines) {
  std::vector<std::string> t;
  t.reserve(size_t(lines));
  uint32_t x = 1;
  for (int64_t i = 0; i + 1 < lines; i += 2) {
    x = x * 134775813u + 1;
    t.push_back(std::to_string(x % 10000));
    t.push_back("PILOT" + std::to_string(i / 2 % 1000));
  }
  return t;
}

void BM_EndOfGame(benchmark::State& state) {
  const std::vector<std::string> table = big_table(state.range(0));
  game_driver::GameDriver d;
  if (!d.create()) {
    state.SkipWithError("the game did not start");
    return;
  }
  d.tick(250);
  for (auto _ : state) {
    state.PauseTiming();
    d.form().score_table = table;
    for (int i = 0; i < 4 && d.form().game.start_selected != 1; ++i) d.press(game_driver::kDown);
    d.press(game_driver::kEnter);  // a new game
    d.tick(2);
    state.ResumeTiming();
    d.press(game_driver::kEsc);  // ends it: back to the menu, score entered
    benchmark::DoNotOptimize(d.form().score_table.size());
  }
  if (d.form().score_table.size() > 30) state.SkipWithError("the table was not cut to 15");
}
BENCHMARK(BM_EndOfGame)
    ->Arg(30)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_InsertScore(benchmark::State& state) {
  const std::vector<std::string> table = big_table(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> t = table;
    state.ResumeTiming();
    game::insert_score(t, "NEW", 5000);
    benchmark::DoNotOptimize(t.data());
  }
}
BENCHMARK(BM_InsertScore)
    ->Arg(30)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
