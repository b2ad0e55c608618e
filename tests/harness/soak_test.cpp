// A short soak run: twenty thousand frames of random play and menu use.
// The long run is the soak tool (bench/soak).
#include "harness/soak.h"

#include <gtest/gtest.h>

namespace {

TEST(Soak, TwentyThousandFramesOfRandomInputRunWithoutLeaksOrPerFrameAllocations) {
  soak::Options o;
  o.frames = 20000;
  o.warmup = 5000;
  o.seed = 7;
  const soak::Result r = soak::run(o);
  EXPECT_FALSE(r.terminated);
  EXPECT_EQ(r.frames, o.frames);
  // The player really went through the game's phases.
  EXPECT_GE(r.games_started, 3);
  EXPECT_GE(r.games_ended, 2);
  EXPECT_GT(r.names_typed, 0);
  EXPECT_GT(r.quiet_play_frames, 2000);
  // A play frame with no input draws and moves everything without touching
  // the heap.
  EXPECT_EQ(r.quiet_allocations, 0) << "in " << r.quiet_play_frames << " quiet play frames";
  // After warm-up the heap stays where it was (the score table is bounded,
  // the collections are replaced whole).
  EXPECT_LT(r.heap_at_end - r.heap_after_warmup, 256 * 1024)
      << r.heap_after_warmup << " -> " << r.heap_at_end;
}

}  // namespace
