// The soak run: the headless game under seeded random input for many frames
// (menu and play, games started and ended, names typed). It fails when the
// game stops, when a quiet play frame allocates, or when the heap grows
// after warm-up by more than a small margin.
//
//   soak [--frames N] [--seed S] [--warmup W] [--data DIR]
//
// DIR holds real data files (the build's run folder); without it the game
// runs on small stand-in files.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "harness/soak.h"

int main(int argc, char** argv) {
  soak::Options o;
  o.frames = 1000000;
  o.warmup = 20000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const char* value = argv[i + 1];
    if (key == "--frames")
      o.frames = std::atoll(value);
    else if (key == "--seed")
      o.seed = uint32_t(std::strtoul(value, nullptr, 10));
    else if (key == "--warmup")
      o.warmup = std::atoll(value);
    else if (key == "--data")
      o.data_from = value;
    else {
      std::fprintf(stderr, "usage: soak [--frames N] [--seed S] [--warmup W] [--data DIR]\n");
      return 2;
    }
  }
  o.report_every = 100000;
  o.report = [](int64_t frame) {
    std::fprintf(stderr, "  %lld frames\n", static_cast<long long>(frame));
  };
  const soak::Result r = soak::run(o);
  const long long growth = static_cast<long long>(r.heap_at_end - r.heap_after_warmup);
  std::printf("frames              %lld (%lld in play, %lld quiet play frames)\n",
              static_cast<long long>(r.frames), static_cast<long long>(r.play_frames),
              static_cast<long long>(r.quiet_play_frames));
  std::printf(
      "games               %lld started, %lld ended; %lld name characters typed; %lld events\n",
      static_cast<long long>(r.games_started), static_cast<long long>(r.games_ended),
      static_cast<long long>(r.names_typed), static_cast<long long>(r.events));
  std::printf(
      "allocations         %lld in quiet play frames (%.3f per frame)\n",
      static_cast<long long>(r.quiet_allocations),
      r.quiet_play_frames ? double(r.quiet_allocations) / double(r.quiet_play_frames) : 0.0);
  std::printf("heap in use         %lld after warm-up, %lld at the end (%+lld), peak %lld bytes\n",
              static_cast<long long>(r.heap_after_warmup), static_cast<long long>(r.heap_at_end),
              growth, static_cast<long long>(r.peak_heap));
  std::printf("resident size       %lld after warm-up, %lld at the end (bytes)\n",
              static_cast<long long>(r.rss_after_warmup), static_cast<long long>(r.rss_at_end));
  std::printf("time                %.1f s, %.1f us per frame\n", r.seconds,
              r.frames ? r.seconds * 1e6 / double(r.frames) : 0.0);
  const bool ok =
      !r.terminated && r.frames == o.frames && r.quiet_allocations == 0 && growth < 256 * 1024;
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
