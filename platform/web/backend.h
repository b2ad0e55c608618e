#pragma once
// The browser's backend: the game drawn into a canvas that fills the page,
// the browser's keys, mouse and controllers, the software mixer played
// through Web Audio, the music rendered ahead of time, glyphs rasterised
// ahead of time, and the two files the game writes kept in the browser's
// storage. The page (platform/web/site, js/) loads the data files before
// the program starts.
//
//
// It is the platform::Backend of the browser build (platform/backend.h):
// Backend::create() never fails (without sound or storage the game runs
// silent or forgets), and the fonts are the glyphs the page brought, so
// nothing is loaded ahead. A browser must never block, so the message loop
// is turned inside out: run() hands the browser a function that does one
// pass of the loop, which the browser calls before every frame it shows
// (and, where the display shows frames further apart than a tick allows,
// once more when a tick is due). create() and run() return at once.
#include <cstdint>
#include <functional>

#include "platform/backend.h"

namespace platform::web {

// One pass of the message loop: false once the program has ended.
using Pass = std::function<bool()>;
// Milliseconds until the next tick falls due (UINT32_MAX: none runs).
using NextDue = std::function<uint32_t()>;
// Starts the loop. When a pass returns false, `ended` runs once and the
// page shows that the game has ended. Leaving the page (a reload, a closed
// tab) first queues a close and runs one pass, so the game saves.
void run(Backend& backend, Pass pass, NextDue next_due, std::function<void()> ended);

// For tests: the clock held (time moves only by step()), one pass after
// moving it on, the loudest sample played since the last call, frames
// shown so far.
void hold_clock(Backend& backend);
void step(Backend& backend, uint32_t ms);
int audio_peak(Backend& backend);
uint64_t frames_presented(Backend& backend);

}  // namespace platform::web
