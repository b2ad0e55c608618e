// The busy play frame of bench/frame (level 10, ten enemies, rockets and
// particles in flight) as a plain program, built natively and with
// Emscripten, so the page's benchmark (frame_time.py) times the same frames
// natively and as WebAssembly in the browser in one run. Wall-clock time per
// frame: median, 95th and 99th percentile.
//
//   build/bench/web/busy_frame [frames]
//   build-wasm/bench/web/busy_frame.html?frames=N   (in a browser)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/frame/busy_game.h"

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(100, std::atoi(argv[1])) : 3000;
  const auto now_us = [] {
    return std::chrono::duration<double, std::micro>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  for (auto [w, h] : {std::pair{800, 600}, std::pair{1920, 1080}}) {
    std::vector<double> play = busy_game::time_play_frames(w, h, frames, now_us);
    std::sort(play.begin(), play.end());
    const auto at = [&](double q) {
      return play[std::min(play.size() - 1, size_t(q * double(play.size())))];
    };
    std::printf("busy play frame %dx%d: median %.1f us, p95 %.1f us, p99 %.1f us (%d frames)\n", w,
                h, at(0.5), at(0.95), at(0.99), frames);
  }
  return 0;
}
