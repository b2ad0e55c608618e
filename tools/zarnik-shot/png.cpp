#include "tools/zarnik-shot/png.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace shot {

void write_png_565(const std::string& path, const std::vector<uint16_t>& pixels, int width,
                   int height) {
  if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height))
    throw std::runtime_error("no frame to write to " + path);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) throw std::runtime_error("cannot create " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("cannot start a PNG for " + path);
  }
  std::vector<uint8_t> row(size_t(width) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("cannot write " + path);
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint16_t p = pixels[size_t(y) * width + x];
      const uint8_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
      // Widen each channel by repeating its top bits.
      row[size_t(x) * 3 + 0] = uint8_t((r << 3) | (r >> 2));
      row[size_t(x) * 3 + 1] = uint8_t((g << 2) | (g >> 4));
      row[size_t(x) * 3 + 2] = uint8_t((b << 3) | (b >> 2));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

}  // namespace shot
