#pragma once
// A long run of the headless game under random input, for the soak tool and
// its short version in the tests. A seeded player wanders the menu, types
// names, opens the score list, starts games, flies, fires, pauses, and ends
// games with Esc or, once the ship is lost, with a click; it never asks the
// game to close. The run records what a leak or a per-frame allocation would
// show: heap allocations in quiet play frames (no input and no phase change
// in that frame), the heap in use and the resident size after warm-up and at
// the end, and the time per frame.
#include <cstdint>
#include <functional>
#include <string>

namespace soak {

struct Options {
  int64_t frames = 20000;
  uint32_t seed = 1;
  int64_t warmup = 5000;  // frames before the memory baseline is taken
  std::string data_from;  // real data files; empty: the driver's small ones
  // Called every `report_every` frames (0: never) with the frame number.
  int64_t report_every = 0;
  std::function<void(int64_t)> report;
};

struct Result {
  int64_t frames = 0;             // frames run
  int64_t play_frames = 0;        // of them in play
  int64_t quiet_play_frames = 0;  // play frames with no input and no phase change
  int64_t quiet_allocations = 0;  // heap allocations made in those
  int64_t games_started = 0;
  int64_t games_ended = 0;
  int64_t names_typed = 0;        // characters typed into the name field
  int64_t events = 0;             // events sent
  bool terminated = false;        // the game ended its loop (it never should)
  int64_t heap_after_warmup = 0;  // bytes in use on the heap
  int64_t heap_at_end = 0;
  int64_t peak_heap = 0;         // largest sample after warm-up
  int64_t rss_after_warmup = 0;  // resident bytes
  int64_t rss_at_end = 0;
  double seconds = 0;  // wall time of the frame loop
};

Result run(const Options& options);

}  // namespace soak
