// zarnik-web-assets: what the browser's page needs from the build machine
// besides the data files: the glyphs of the game's faces and sizes as the
// Linux rasteriser makes them (the page has no font library), and the
// game's icon at the sizes a web app's manifest names.
// Usage: zarnik-web-assets GLYPH_FILE ICON_DIR   (ICON_DIR/zarnik-N.png)
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/freetype/rasterized_glyphs.h"
#include "platform/web/glyph_atlas.h"
#include "tools/assetgen/icon.h"
#include "tools/png/png_write.h"

namespace {

// Where a character has no glyph the rasteriser draws the face's own
// "missing" glyph; this code point has none in any face.
constexpr char32_t kUnmapped = 0x10FFFF;

platform::web::AtlasFace rasterise(std::string_view family, int pixel_height,
                                   const std::u32string& characters) {
  platform::web::AtlasFace face;
  face.family = std::string(family);
  face.pixel_height = pixel_height;
  for (char32_t c : characters) {
    platform::Glyph g;
    if (!platform::rasterized_glyph(family, pixel_height, c, g, face.ascent, face.descent))
      throw std::runtime_error("no face for " + std::string(family));
    face.glyphs[c] = std::move(g);
  }
  platform::Glyph missing;
  platform::rasterized_glyph(family, pixel_height, kUnmapped, missing, face.ascent, face.descent);
  face.glyphs[platform::web::kMissingGlyph] = std::move(missing);
  return face;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zarnik-web-assets GLYPH_FILE ICON_DIR\n");
    return 2;
  }
  try {
    const std::filesystem::path icons = argv[2];
    std::filesystem::create_directories(icons);
    const std::u32string characters = platform::web::atlas_characters();
    std::vector<platform::web::AtlasFace> faces;
    for (size_t i = 0; i < platform::web::kGameFaceCount; ++i) {
      const auto& face = platform::web::kGameFaces[i];
      faces.push_back(rasterise(face.family, face.pixel_height, characters));
    }
    platform::write_file_atomic(argv[1], platform::web::write_atlas(faces));
    for (int size : {32, 192, 512}) {
      const std::string path = (icons / ("zarnik-" + std::to_string(size) + ".png")).string();
      if (!assets::write_png_argb(path, size, size, assets::icon_picture(size)))
        throw std::runtime_error("cannot write " + path);
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarnik-web-assets: %s\n", e.what());
    return 1;
  }
}
