#include "assets/preview/png_write.h"

#include <png.h>

#include <cstdio>
#include <functional>

namespace assets {

namespace {

// One PNG file of w x h pixels with `channels` bytes each (3: RGB, 4: RGBA);
// fill(y, row) writes row y.
bool write_rows(const std::string& path, int w, int h, int channels,
                const std::function<void(int, uint8_t*)>& fill) {
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
  png_set_IHDR(png, info, w, h, 8, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(w) * channels);
  for (int y = 0; y < h; ++y) {
    fill(y, row.data());
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

}  // namespace

bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& px, int zoom,
               bool mark_key) {
  return write_rows(path, w * zoom, h * zoom, 3, [&](int y, uint8_t* row) {
    for (int x = 0; x < w * zoom; ++x) {
      uint32_t c = px[size_t(y / zoom) * w + x / zoom];
      // Keyed pixels (transparent in the game) show as dark blue.
      bool key = ((c >> 16) & 0xFF) < 8 && ((c >> 8) & 0xFF) < 4 && (c & 0xFF) < 8;
      if (key && mark_key) c = 0x101830;
      row[x * 3] = uint8_t(c >> 16);
      row[x * 3 + 1] = uint8_t(c >> 8);
      row[x * 3 + 2] = uint8_t(c);
    }
  });
}

bool write_png_argb(const std::string& path, int w, int h, const std::vector<uint32_t>& px) {
  return write_rows(path, w, h, 4, [&](int y, uint8_t* row) {
    for (int x = 0; x < w; ++x) {
      const uint32_t c = px[size_t(y) * w + x];
      row[x * 4] = uint8_t(c >> 16);
      row[x * 4 + 1] = uint8_t(c >> 8);
      row[x * 4 + 2] = uint8_t(c);
      row[x * 4 + 3] = uint8_t(c >> 24);
    }
  });
}

}  // namespace assets
