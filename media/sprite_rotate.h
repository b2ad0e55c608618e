#pragma once
// The rotated and scaled sprite renderer behind the picture items' rotated
// draws: nearest-pixel sampling stepped in 16.16 fixed point, with a plain,
// additive or blended rule.
#include <array>
#include <cstdint>

#include "media/surface.h"

namespace media {

enum class TBlendRule { Plain, Additive, Blended };

// cos(2*pi*i/256) for i = 0..255, built on first use.
const std::array<double, 256>& CosTable();

// Draws src_rect of source onto dest, scaled to width x height, turned by
// angle/256 of a full turn clockwise about the point (center_x * width,
// center_y * height) of the sprite, which lands on (x, y). alpha (0..255) is
// used by the additive and blended rules as alpha/256; at 255 or more they
// become a plain saturating add and a copy. With transparent set, source
// pixels equal to the source's colour key are skipped. Degenerate input
// (no surface, zero size, alpha <= 0 for the blending rules) draws nothing.
void DrawRotated(TDirectDrawSurface* dest, int32_t x, int32_t y, int32_t width, int32_t height,
                 TDirectDrawSurface* source, const TRect& src_rect, double center_x,
                 double center_y, int angle, int alpha, TBlendRule rule, bool transparent);

// The per-pixel rules on RGB565 values, exposed for tests.
uint16_t BlendAdd565(uint16_t src, uint16_t dst, int alpha);
uint16_t BlendMix565(uint16_t src, uint16_t dst, int alpha);

}  // namespace media
