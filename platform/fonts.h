#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A line of text rasterised into 8-bit coverage (0 = empty, 255 = full).
// The bitmap holds the text's whole cell (the font's ascent over its
// descent) and any ink that reaches beyond it, such as the accents of
// capitals in some faces: the cell starts `top` rows down. Drawing row `top`
// at y places text the way a top-left aligned TextOut does.
struct TextBitmap {
  int width = 0;
  int height = 0;                 // rows in the bitmap
  int top = 0;                    // rows of ink above the cell
  int cell_height = 0;            // ascent + descent
  std::vector<uint8_t> coverage;  // width * height, row-major
};

class FontRasterizer {
 public:
  virtual ~FontRasterizer() = default;
  // Rasterises a line of text into `out`, whose coverage storage is reused:
  // a caller that keeps one bitmap for every text it draws causes no heap
  // allocation once the fonts and glyphs in use are cached and the bitmap
  // has held a text as large.
  // family: a font name such as "Arial", "Arial Black", "Impact" (matched
  // case-insensitively; a missing font falls back, never fails).
  // pixel_height: the em height in pixels (points * 96 / 72, rounded).
  virtual void render_into(std::string_view family, int pixel_height, std::u32string_view text,
                           TextBitmap& out) = 0;
  // The same picture in a new bitmap.
  TextBitmap render(std::string_view family, int pixel_height, std::u32string_view text) {
    TextBitmap out;
    render_into(family, pixel_height, text, out);
    return out;
  }
};

// The platform's rasteriser, shared by its backends: the fontconfig +
// FreeType one on Linux (platform/freetype), the GDI one on Windows
// (platform/gdi). The browser's backend installs its glyph atlas instead. It lives in a library of
// its own (CMake target zarnik_fonts), linked by the backends and tools that draw text, so code
// above the platform never links the font libraries.
FontRasterizer& default_font_rasterizer();

}  // namespace platform
