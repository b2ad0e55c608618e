#pragma once
// A document or web address handed to the desktop's opener, xdg-open, as one
// argument, with the opener's verdict when it comes within a moment.
#include <string>

#include "platform/system.h"

namespace platform::sdl {

// How long the opener is given to say that it found nothing to open the
// document with. One that is still running then is opening it (xdg-open
// waits for the program it started where no desktop takes the document).
inline constexpr int kOpenerVerdictMs = 2000;

// Opened when the opener took the document (or is still at it when
// `wait_ms` have passed), NoProgram when there is no opener or it found no
// program for the document (its exit codes 3 and 4), Failed otherwise.
OpenResult open_with_desktop(const std::string& url, int wait_ms = kOpenerVerdictMs);

}  // namespace platform::sdl
