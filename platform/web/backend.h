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
// nothing is loaded ahead; the page has its own title and icon. A browser
// must never block, so Backend::run() hands the loop to the browser, which
// makes a pass before every frame it shows (and, where the display shows
// frames further apart than a tick allows, once more when a tick is due).
// When a pass returns false the loop's ended() runs once and the page shows
// that the game has ended. Leaving the page (a reload, a closed tab) first
// queues a close and makes one pass, so the game saves.
#include <cstdint>
#include <functional>

#include "platform/backend.h"

namespace platform::web {

// The backend's test interface. A test build of the page sets its hooks
// before the program starts (a static initialiser); they are called once
// when the program hands its loop over, before the first pass.
using TestAttachment = std::function<void(Backend& backend, ProgramLoop& loop)>;
void set_test_attachment(TestAttachment attach);
// The clock held (time moves only by step()), one pass after moving it on,
// the loudest sample played since the last call, frames shown so far.
void hold_clock(Backend& backend);
void step(Backend& backend, uint32_t ms);
int audio_peak(Backend& backend);
uint64_t frames_presented(Backend& backend);

}  // namespace platform::web
