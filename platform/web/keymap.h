#pragma once
// Browser key events as the game's virtual-key codes.
#include <cstdint>
#include <string_view>

namespace platform::web {

// The virtual-key code of a key event: a letter key by the letter the
// keyboard layout gives it (as the system's own key codes follow the
// layout, so Z is Z on a Czech keyboard too), every other key by its
// physical position (KeyboardEvent.code), so the digits, the arrows and
// Space mean the same whatever the layout or Shift make of them. 0 for a
// key the game has no code for.
int virtual_key(std::string_view code, std::string_view key);

// Keys whose browser action is left alone: the function keys other than
// F11 (help, reload, the developer tools), and anything pressed with the
// system key (Cmd or the Windows key). Every other key belongs to the game,
// so Space, the arrows and Backspace neither scroll nor go back, and no
// letter opens the find bar.
bool browser_keeps(std::string_view code, bool meta);

}  // namespace platform::web
