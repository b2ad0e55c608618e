// Start-up of the game on its real data files, over the headless backend:
// the time from creating the window to the first presented frame, the time
// a new game takes to load its pictures, and the peak resident size.
// Each figure is the median of several runs, with the smallest and largest.
//
//   bench_startup DATA_DIR [RUNS]
//
// DATA_DIR is a folder with the generated data files (a build's run folder).
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness/game_driver.h"

namespace {

double now(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Span {
  double wall = 0, cpu = 0;
};

struct Clock {
  double wall = now(CLOCK_MONOTONIC), cpu = now(CLOCK_PROCESS_CPUTIME_ID);
  Span since() const { return {now(CLOCK_MONOTONIC) - wall, now(CLOCK_PROCESS_CPUTIME_ID) - cpu}; }
};

void print(const char* what, std::vector<double> v) {
  std::sort(v.begin(), v.end());
  std::printf("%-34s median %8.1f ms   min %8.1f   max %8.1f   (%zu runs)\n", what,
              v[v.size() / 2] * 1e3, v.front() * 1e3, v.back() * 1e3, v.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_startup DATA_DIR [RUNS]\n");
    return 2;
  }
  const std::string data = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  std::vector<double> start_wall, start_cpu, game_wall, game_cpu;
  for (int i = 0; i < runs; ++i) {
    game_driver::Options o;
    o.data_from = data;
    const Clock c;
    game_driver::GameDriver d(o);
    if (!d.create()) {
      std::fprintf(stderr, "the game did not start\n");
      return 1;
    }
    d.tick(1);
    const Span s = c.since();
    if (d.frames() < 1) return 1;
    start_wall.push_back(s.wall);
    start_cpu.push_back(s.cpu);
    // Past the splash into a new game: the game's pictures are loaded then.
    d.tick(250);
    for (int k = 0; k < 4 && d.form().game.start_selected != 1; ++k) d.press(game_driver::kDown);
    const Clock g;
    d.press(game_driver::kEnter);
    d.tick(1);
    const Span gs = g.since();
    if (d.form().game.in_menu != 0) return 1;
    game_wall.push_back(gs.wall);
    game_cpu.push_back(gs.cpu);
    d.tick(600);
    d.close_window();
  }
  print("start-up to first frame, wall", start_wall);
  print("start-up to first frame, CPU", start_cpu);
  print("menu to first play frame, wall", game_wall);
  print("menu to first play frame, CPU", game_cpu);
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  std::printf("peak resident size                 %.1f MB\n", double(u.ru_maxrss) / 1024.0);
  return 0;
}
