// Writes every generated picture as a PNG (magnified on a grey-blue
// checker-free dark background) for looking at the art without the game.
//
//   zarnik_asset_preview OUTPUT_DIR
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "assets/gen/pictures.h"

namespace {

bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& px, int zoom) {
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
      if (key) c = 0x101830;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string dir = argv[1];
  auto game = assets::game_pictures();
  for (size_t i = 0; i < game.size(); ++i) {
    auto& s = game[i];
    int zoom = s.width() < 200 ? 4 : (s.width() < 500 ? 2 : 1);
    write_png(dir + "/game_" + std::to_string(i) + ".png", s.width(), s.height(), s.px, zoom);
  }
  // Contact sheets: the first pattern of related pictures side by side.
  auto contact = [&](const std::string& name, std::vector<int> items, int pattern) {
    int w = 0, h = 0;
    for (int i : items) {
      w += game[i].pw + 4;
      h = std::max(h, game[i].ph);
    }
    std::vector<uint32_t> px(size_t(w) * h, 0);
    int x = 0;
    for (int i : items) {
      auto& s = game[i];
      int p = std::min(pattern, s.count - 1);
      for (int yy = 0; yy < s.ph; ++yy)
        for (int xx = 0; xx < s.pw; ++xx)
          px[size_t(yy) * w + x + xx] = s.px[size_t((p / s.cols) * s.ph + yy) * s.width() + (p % s.cols) * s.pw + xx];
      x += s.pw + 4;
    }
    write_png(dir + "/" + name + ".png", w, h, px, 1);
  };
  contact("planets", {21, 20, 19, 22, 35, 36, 37, 38, 39}, 0);
  contact("enemies", {5, 9, 10, 7, 8, 11, 12, 13, 14, 30, 31, 32}, 3);
  contact("hud", {16, 23, 18, 25, 40, 6, 15, 24, 17, 3, 4, 29, 33, 34}, 4);
  auto menu = assets::menu_pictures();
  for (size_t i = 0; i < menu.size(); ++i)
    write_png(dir + "/menu_" + std::to_string(i) + ".png", menu[i].width(), menu[i].height(), menu[i].px, 2);
  auto sp = assets::splash_picture();
  write_png(dir + "/splash.png", sp.width(), sp.height(), sp.px, 2);
  return 0;
}
