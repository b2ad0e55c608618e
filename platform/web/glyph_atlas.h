#pragma once
// Glyphs rasterised ahead of time: the browser has no FreeType, so the
// build stores the glyphs the Linux rasteriser makes for the game's faces
// and sizes in one file, and the page lays its lines out from them with the
// same glyph-line layout. Text on the page is then the same, pixel for
// pixel, as on Linux.
//
// The file: "ZGLY", a 32-bit version (1), a 32-bit face count, then per face
// its family name (a byte of length, then the bytes, lower case), the pixel
// height (16 bits), ascent and descent (16 bits each), a 32-bit glyph count
// and the glyphs: code point (32 bits), left, top and advance (signed 16
// bits each), width and height (16 bits each) and width x height bytes of
// coverage. Little-endian throughout. The glyph under code point
// kMissingGlyph stands for every character the face has no glyph for.
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fonts.h"
#include "platform/glyph_line.h"

namespace platform::web {

inline constexpr char32_t kMissingGlyph = 0xFFFFFFFF;

struct AtlasFace {
  std::string family;  // lower case
  int pixel_height = 0;
  int ascent = 0;
  int descent = 0;
  std::map<char32_t, Glyph> glyphs;
};

// The faces and sizes the game draws its text in, and the characters it
// can show: every character of Windows-1250.
struct AtlasFaceSpec {
  std::string_view family;
  int pixel_height;
};
extern const AtlasFaceSpec kGameFaces[];
extern const size_t kGameFaceCount;
std::u32string atlas_characters();

std::vector<uint8_t> write_atlas(const std::vector<AtlasFace>& faces);
// Reads an atlas; false (and an empty list) when the bytes are not one.
// Bounded: a file lies about no size it cannot hold.
bool read_atlas(std::span<const uint8_t> bytes, std::vector<AtlasFace>& faces);

// A rasteriser over an atlas. A family or size the atlas lacks takes the
// nearest size of that family, else of Arial, else of any face.
class AtlasRasterizer : public FontRasterizer {
 public:
  explicit AtlasRasterizer(std::vector<AtlasFace> faces);
  void render_into(std::string_view family, int pixel_height, std::u32string_view text,
                   TextBitmap& out) override;
  bool empty() const { return faces_.empty(); }

 private:
  const AtlasFace* face_for(std::string_view family, int pixel_height);
  std::vector<AtlasFace> faces_;
  std::vector<const Glyph*> placed_;
  // The last face asked for, by name and size, since the same few texts are
  // drawn every frame.
  std::string last_family_;
  int last_height_ = -1;
  const AtlasFace* last_face_ = nullptr;
};

}  // namespace platform::web
