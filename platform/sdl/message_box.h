#pragma once
// Modal message boxes. SDL's own box comes first; where it cannot be shown
// (an X server without core fonts, for one) a small window of our own draws
// the text with the game's font rasteriser, so an error is never lost.
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

// Word wrapping as the own box does it, with the measure passed in:
// paragraphs split at '\n', words moved to the next line when a line would
// pass max_width; a single word wider than the limit keeps a line of its own.
std::vector<std::u32string> wrap_text(const std::u32string& text, int max_width,
                                      int (*measure)(const std::u32string&, void*), void* ctx);

}  // namespace platform::sdl
