#pragma once
// Text at the edge of the Windows system calls. The programs' own text is
// UTF-8 (paths included); the system is called through its wide functions,
// which take UTF-16; the 8-bit files (the settings file, the score file) are
// in the system's ANSI code page. Every conversion between the three is
// here, used by the game's backend and by the installer's programs alike.
#include <string>
#include <string_view>

namespace platform::win32 {

// UTF-8 to UTF-16 and back. A malformed sequence (or an unpaired surrogate)
// becomes U+FFFD, so a text never vanishes whole for one bad character.
std::wstring utf16(std::string_view utf8);
std::string utf8(std::wstring_view utf16);

// Text in the system's ANSI code page to UTF-16 (every byte has a form).
std::wstring utf16_from_ansi(std::string_view ansi);

// UTF-16 to the system's ANSI code page. False when a character has no form
// there: no stand-in is taken (an "ř" is never written as "r" or "?"), so a
// text either keeps its meaning or is refused.
bool ansi_from_utf16(std::wstring_view utf16, std::string& ansi);

// The number of the system's ANSI code page (1250 on a Czech system, 1252 on
// a Western one), for messages that say why a text was refused.
unsigned ansi_code_page();

}  // namespace platform::win32
