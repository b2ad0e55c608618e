#include "tools/png/png_write.h"

#include <png.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace assets {

namespace {

bool covers(int w, int h, size_t pixels) {
  return w > 0 && h > 0 && pixels >= size_t(w) * size_t(h);
}

// One PNG file of w x h pixels with `channels` bytes each (3: RGB, 4: RGBA);
// fill(y, row) writes row y.
bool write_rows(const std::string& path, int w, int h, int channels,
                const std::function<void(int, uint8_t*)>& fill) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  // Made before the jump point, so that a jump back from libpng's error
  // handler skips no destructor.
  std::vector<uint8_t> row(size_t(w) * size_t(channels));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, uint32_t(w), uint32_t(h), 8,
               channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) {
    fill(y, row.data());
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file.release()) == 0;
}

}  // namespace

bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& px, int zoom,
               bool mark_key) {
  if (!covers(w, h, px.size()) || zoom < 1) return false;
  return write_rows(path, w * zoom, h * zoom, 3, [&](int y, uint8_t* row) {
    for (int x = 0; x < w * zoom; ++x) {
      uint32_t c = px[size_t(y / zoom) * w + x / zoom];
      // Keyed pixels (transparent in the game) show as dark blue.
      bool key = ((c >> 16) & 0xFF) < 8 && ((c >> 8) & 0xFF) < 4 && (c & 0xFF) < 8;
      if (key && mark_key) c = 0x101830;
      row[size_t(x) * 3] = uint8_t(c >> 16);
      row[size_t(x) * 3 + 1] = uint8_t(c >> 8);
      row[size_t(x) * 3 + 2] = uint8_t(c);
    }
  });
}

bool write_png_argb(const std::string& path, int w, int h, const std::vector<uint32_t>& px) {
  if (!covers(w, h, px.size())) return false;
  return write_rows(path, w, h, 4, [&](int y, uint8_t* row) {
    for (int x = 0; x < w; ++x) {
      const uint32_t c = px[size_t(y) * w + x];
      row[size_t(x) * 4] = uint8_t(c >> 16);
      row[size_t(x) * 4 + 1] = uint8_t(c >> 8);
      row[size_t(x) * 4 + 2] = uint8_t(c);
      row[size_t(x) * 4 + 3] = uint8_t(c >> 24);
    }
  });
}

bool write_png_565(const std::string& path, int w, int h, const std::vector<uint16_t>& px,
                   int zoom) {
  if (!covers(w, h, px.size()) || zoom < 1) return false;
  return write_rows(path, w * zoom, h * zoom, 3, [&](int y, uint8_t* row) {
    for (int x = 0; x < w * zoom; ++x) {
      const uint16_t p = px[size_t(y / zoom) * w + x / zoom];
      const int r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
      row[size_t(x) * 3] = uint8_t((r << 3) | (r >> 2));
      row[size_t(x) * 3 + 1] = uint8_t((g << 2) | (g >> 4));
      row[size_t(x) * 3 + 2] = uint8_t((b << 3) | (b >> 2));
    }
  });
}

}  // namespace assets
