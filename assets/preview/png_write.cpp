#include "assets/preview/png_write.h"

#include <png.h>

#include <cstdio>

namespace assets {

bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& px, int zoom,
               bool mark_key) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, w * zoom, h * zoom, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(w) * zoom * 3);
  for (int y = 0; y < h * zoom; ++y) {
    for (int x = 0; x < w * zoom; ++x) {
      uint32_t c = px[size_t(y / zoom) * w + x / zoom];
      // Keyed pixels (transparent in the game) show as dark blue.
      bool key = ((c >> 16) & 0xFF) < 8 && ((c >> 8) & 0xFF) < 4 && (c & 0xFF) < 8;
      if (key && mark_key) c = 0x101830;
      row[x * 3] = uint8_t(c >> 16);
      row[x * 3 + 1] = uint8_t(c >> 8);
      row[x * 3 + 2] = uint8_t(c);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return true;
}

}  // namespace assets
