#pragma once
// Text through GDI: the system's own fonts rendered glyph by glyph as 8-bit
// coverage (GetGlyphOutline), laid out under the same rules as the FreeType
// rasteriser of the Linux build: the cell is the font's ascent over its
// descent, ink beyond it gets rows of its own, and the canvas fills only the
// cell with an opaque brush.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "platform/fonts.h"
#include "platform/glyph_line.h"

namespace platform::win32 {

class GdiRasterizer final : public FontRasterizer {
 public:
  GdiRasterizer();
  ~GdiRasterizer() override;
  GdiRasterizer(const GdiRasterizer&) = delete;
  GdiRasterizer& operator=(const GdiRasterizer&) = delete;

  void render_into(std::string_view family, int pixel_height, std::u32string_view text,
                   TextBitmap& out) override;

  // The face GDI gave for a family at a size (for tests and the notes):
  // the system's name of it, and whether it is the family itself or a
  // stand-in of ours.
  struct FaceInfo {
    std::string name;
    int weight = 0;
    bool stand_in = false;
  };
  FaceInfo face_info(std::string_view family, int pixel_height);

 private:
  struct Face;
  Face* FaceFor(std::string_view family, int pixel_height);
  const Glyph* GlyphFor(Face* face, char32_t cp);

  std::mutex mutex_;
  void* dc_ = nullptr;  // HDC of a memory device context
  std::map<std::pair<std::string, int>, std::unique_ptr<Face>> faces_;
  std::map<std::pair<Face*, uint32_t>, std::unique_ptr<Glyph>> glyphs_;
  std::vector<const Glyph*> placed_;  // the glyph of each letter
};

}  // namespace platform::win32
