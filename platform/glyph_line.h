#pragma once
// One line of text put together from rasterised glyphs, the same way for
// every font rasteriser (FreeType on Linux, GDI on Windows): the glyphs sit
// on one baseline from pen position 0, the cell is the font's ascent over its
// descent, and ink above or below the cell (the caron of a capital Ř, say)
// gets rows of its own instead of being cut off.
#include <cstdint>
#include <vector>

#include "platform/fonts.h"

namespace platform {

struct Glyph {
  int left = 0;     // from the pen position to the bitmap's left edge
  int top = 0;      // from the baseline up to the bitmap's top row
  int advance = 0;  // whole pixels
  int width = 0;
  int height = 0;
  std::vector<uint8_t> coverage;  // width * height, row-major
};

// Empties a bitmap but keeps its storage, so the next text can reuse it.
void empty_text_bitmap(TextBitmap& out);

// Lays the glyphs out into `out` (emptied first; its storage is reused).
// Glyphs that overlap keep the larger coverage.
void compose_glyph_line(const std::vector<const Glyph*>& glyphs, int ascent, int descent,
                        TextBitmap& out);

}  // namespace platform
