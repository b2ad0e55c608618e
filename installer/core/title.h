#pragma once
// The installer window's title picture and credit line, the same for every
// window toolkit: the game's name, centred in a heavy italic sans on a
// transparent ground, filled top to bottom with a gradient from a warm
// yellow to a deep orange.
#include <cstdint>

namespace installer {

struct TitlePicture {
  const char* text;
  const char* face;      // the family asked for first
  int pixel_height;      // the face's em height in pixels (30 pt at 96 dpi)
  uint32_t top, bottom;  // 0x00RRGGBB at the first and the last row
};

inline constexpr TitlePicture kTitlePicture{"ZARNIK", "DejaVu Sans", 40, 0xFFE678, 0xDC3C00};

// The credit line under the title picture (UTF-8).
inline constexpr const char* kCreditLine = "Zarnik \xC2\xA9 2026 tým zarnik";

// Who makes the game, as the system's list of programs names the publisher
// (the same as the Windows programs' version information, installer/win32).
inline constexpr const char* kPublisher = "tým zarnik";

}  // namespace installer
