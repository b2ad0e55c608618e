#include "platform/glyph_line.h"

#include <algorithm>

namespace platform {

void empty_text_bitmap(TextBitmap& out) {
  out.width = 0;
  out.height = 0;
  out.top = 0;
  out.cell_height = 0;
  out.coverage.clear();
}

void compose_glyph_line(const std::vector<const Glyph*>& glyphs, int ascent, int descent,
                        TextBitmap& out) {
  empty_text_bitmap(out);
  int pen = 0, right = 0, above = 0, below = 0;
  for (const Glyph* g : glyphs) {
    right = std::max(right, pen + g->left + g->width);
    if (g->height > 0) {
      above = std::max(above, g->top - ascent);
      below = std::max(below, g->height - g->top - descent);
    }
    pen += g->advance;
  }
  right = std::max(right, pen);
  const int cell = ascent + descent;
  if (right <= 0 || cell <= 0) return;
  const int height = above + cell + below;
  out.width = right;
  out.height = height;
  out.top = above;
  out.cell_height = cell;
  out.coverage.assign(size_t(right) * size_t(height), 0);
  pen = 0;
  for (const Glyph* g : glyphs) {
    const int gx = pen + g->left, gy = above + ascent - g->top;
    pen += g->advance;
    for (int r = 0; r < g->height; ++r) {
      const int yy = gy + r;
      if (yy < 0 || yy >= height) continue;
      for (int c = 0; c < g->width; ++c) {
        const int xx = gx + c;
        if (xx < 0 || xx >= right) continue;
        uint8_t& dst = out.coverage[size_t(yy) * size_t(right) + size_t(xx)];
        dst = std::max(dst, g->coverage[size_t(r) * size_t(g->width) + size_t(c)]);
      }
    }
  }
}

}  // namespace platform
