#pragma once
// The game's icon, generated at build time and compiled in. For the game's
// window: kWindowIconSize x kWindowIconSize pixels, row by row, each a
// 0xAARRGGBB word (straight alpha) stored little-endian. For programs that
// write an icon file of their own (the installer): the PNG file of
// kFileIconSize pixels. The same picture in the icon theme's sizes is written
// as PNG files into build/icons/hicolor/.
#include <cstdint>
#include <span>

namespace assets {
inline constexpr int kWindowIconSize = 64;
std::span<const uint8_t> window_icon_argb();
inline constexpr int kFileIconSize = 256;  // one of the theme's sizes
std::span<const uint8_t> icon_png();
}  // namespace assets
