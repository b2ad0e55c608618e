#pragma once
// The game's icon for its window, generated at build time and compiled into
// the game: kWindowIconSize x kWindowIconSize pixels, row by row, each a
// 0xAARRGGBB word (straight alpha) stored little-endian. The same picture in
// the icon theme's sizes is written as PNG files into build/icons/hicolor/.
#include <cstdint>
#include <span>

namespace assets {
inline constexpr int kWindowIconSize = 64;
std::span<const uint8_t> window_icon_argb();
}  // namespace assets
