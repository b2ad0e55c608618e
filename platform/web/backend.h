#pragma once
// The browser's backend: the game drawn into a canvas that fills the page,
// the browser's keys, mouse and controllers, the software mixer played
// through Web Audio, the music rendered ahead of time, glyphs rasterised
// ahead of time, and the two files the game writes kept in the browser's
// storage. The page (platform/web/site, js/) loads the data files before
// the program starts.
//
// A browser must never block, so the message loop is turned inside out:
// run() hands the browser a function that does one pass of the loop, which
// the browser calls before every frame it shows (and, where the display
// shows frames further apart than a tick allows, once more when a tick is
// due). create() and run() return at once.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/services.h"

namespace platform::web {

class Backend {
 public:
  // Never fails: without sound or storage the game runs silent or forgets.
  static std::unique_ptr<Backend> create();
  ~Backend();

  Services services();

  // One pass of the message loop: false once the program has ended.
  using Pass = std::function<bool()>;
  // Milliseconds until the next tick falls due (UINT32_MAX: none runs).
  using NextDue = std::function<uint32_t()>;
  // Starts the loop. When a pass returns false, `ended` runs once and the
  // page shows that the game has ended. Leaving the page (a reload, a closed
  // tab) first queues a close and runs one pass, so the game saves.
  void run(Pass pass, NextDue next_due, std::function<void()> ended);

  // For tests: the clock held (time moves only by step()), one pass after
  // moving it on, the loudest sample played since the last call, frames
  // shown so far.
  void hold_clock();
  void step(uint32_t ms);
  int audio_peak();
  uint64_t frames_presented() const;

  struct Impl;

 private:
  explicit Backend(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::web
