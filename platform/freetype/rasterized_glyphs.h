#pragma once
// The glyphs of the platform's rasteriser (default_font_rasterizer()) one at
// a time, as it lays them into a line (platform/glyph_line.h): for a tool
// that stores them ahead of time for a platform without the rasteriser.
#include <string_view>

#include "platform/glyph_line.h"

namespace platform {

// The glyph of one character and the face's ascent and descent at that
// size. A character the face cannot draw gives an empty glyph that moves
// the pen nowhere, which is what the rasteriser does with it in a line.
// False when the size or the face cannot be had at all.
bool rasterized_glyph(std::string_view family, int pixel_height, char32_t cp, Glyph& glyph,
                      int& ascent, int& descent);

}  // namespace platform
