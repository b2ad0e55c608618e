#pragma once
// Modal message boxes. SDL's own box comes first; where it cannot be shown
// (an X server without core fonts, for one) a small window of our own draws
// the text with the game's font rasteriser, so an error is never lost.
#include <SDL.h>

#include <string>
#include <vector>

namespace platform::sdl {

struct MessageBoxContent {
  std::string title;                 // UTF-8
  std::string text;                  // UTF-8; '\n' breaks lines, long lines wrap
  std::vector<std::string> buttons;  // left to right
  int return_button = 0;             // chosen by Enter
  int escape_button = 0;             // chosen by Esc or by closing the box
  bool error = true;                 // error or information icon for SDL's box
};

// Shows the box and waits for a choice; returns the button's index, or -1
// when no box could be shown at all.
int show_message_box(const MessageBoxContent& box, void* parent_sdl_window);

// Waits up to timeout_ms (negative: without end) until an event is queued,
// and takes it into event when that is not null. It looks every few
// milliseconds instead of blocking in SDL's wait: on X11 that wait has an
// event queued meanwhile (by any thread, even its own while it dispatches)
// wake it by an X event sent to a window of ours over a second connection,
// and when that window is closed before the X server gets to the send (an
// error box confirmed with Enter), the error is read at exit and Xlib ends
// the program with status 1 ("BadWindow ... X_SendEvent").
bool wait_for_event(SDL_Event* event, int timeout_ms);

// Width of a line of text in pixels; ctx is passed through.
using MeasureFn = int (*)(const std::u32string&, void*);

// Word wrapping, with the measure passed in: paragraphs split at '\n', words
// moved to the next line when a line would pass max_width. A word wider than
// the limit (a long path) is cut into pieces that fit, after a path
// separator, '-' or '_' where one lies in the second half of the piece.
std::vector<std::u32string> wrap_text(const std::u32string& text, int max_width, MeasureFn measure,
                                      void* ctx);

// Both boxes fit the screen they are shown on (screen_w x screen_h; 0 for
// a screen of unknown size): the text wraps at the narrower of 560 px and
// what the screen leaves beside the margins, and lines beyond the screen's
// height are left out, the last one shown ending in an ellipsis.
struct BoxLayout {
  std::vector<std::u32string> lines;
  int width = 0;  // the own box's window
  int height = 0;
};
BoxLayout layout_box(const MessageBoxContent& box, int screen_w, int screen_h, int line_height,
                     MeasureFn measure, void* ctx);
// The text as SDL's box gets it: the lines of layout_box, joined with '\n'.
std::string wrapped_text(const BoxLayout& layout);

}  // namespace platform::sdl
