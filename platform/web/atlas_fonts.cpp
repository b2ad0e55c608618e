// The platform's rasteriser where there is no font library but a file
// system to read (the libraries' tests built as WebAssembly and run by
// Node): the glyphs the page brings, read once from the atlas named at
// build time. A missing or damaged atlas gives no glyphs (text draws
// nothing), said once on the error stream.
#include <cstdio>
#include <exception>

#include "platform/files.h"
#include "platform/fonts.h"
#include "platform/web/glyph_atlas.h"

namespace platform {

FontRasterizer& default_font_rasterizer() {
  static web::AtlasRasterizer rasterizer = [] {
    std::vector<web::AtlasFace> faces;
    try {
      if (!web::read_atlas(read_file(ZARNIK_GLYPH_ATLAS, uint64_t(16) << 20), faces))
        std::fprintf(stderr, "zarnik: %s is not a glyph atlas\n", ZARNIK_GLYPH_ATLAS);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "zarnik: no glyphs: %s\n", e.what());
    }
    return web::AtlasRasterizer(std::move(faces));
  }();
  return rasterizer;
}

}  // namespace platform
