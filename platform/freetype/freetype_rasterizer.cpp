// The font rasteriser: fontconfig finds a face for a family name, FreeType
// renders anti-aliased glyphs. Faces and rendered glyphs are cached, since
// the same few texts are drawn every frame.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "platform/fonts.h"
#include "platform/freetype/rasterized_glyphs.h"
#include "platform/glyph_line.h"

namespace platform {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Orders family names ignoring ASCII case, and compares a stored name with
// any string view, so that looking a family up needs no lower-cased copy.
struct CaseInsensitiveLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::tolower(static_cast<unsigned char>(x)) <
             std::tolower(static_cast<unsigned char>(y));
    });
  }
};

// fontconfig patterns to try for a family, in order. The heavy display faces
// map to the heaviest sans we can expect; anything unknown is asked for by
// name, and every list ends with the generic sans.
std::vector<std::string> Candidates(const std::string& lower_family, std::string_view family) {
  if (lower_family == "arial")
    return {"Liberation Sans:style=Regular", "Arimo:style=Regular", "Arial", "sans-serif"};
  if (lower_family == "arial black")
    return {"DejaVu Sans:style=Bold", "Liberation Sans:style=Bold", "sans-serif:bold",
            "sans-serif"};
  if (lower_family == "impact")
    return {"DejaVu Sans:style=Condensed Bold", "DejaVu Sans:style=Bold",
            "Liberation Sans:style=Bold", "sans-serif:bold", "sans-serif"};
  std::vector<std::string> out;
  if (!family.empty()) out.emplace_back(family);
  out.emplace_back("sans-serif");
  return out;
}

// Well-known files tried when fontconfig has nothing to offer.
const char* const kFallbackFiles[] = {
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};

class FreeTypeRasterizer final : public FontRasterizer {
 public:
  FreeTypeRasterizer() {
    ok_ = FT_Init_FreeType(&library_) == 0;
    // A configuration of our own, released with the rasteriser.
    config_ = FcInitLoadConfigAndFonts();
    fc_ok_ = config_ != nullptr;
  }
  ~FreeTypeRasterizer() override {
    for (auto& [name, face] : faces_)
      if (face) FT_Done_Face(face);
    if (ok_) FT_Done_FreeType(library_);
    if (config_) FcConfigDestroy(config_);
  }

  void render_into(std::string_view family, int pixel_height, std::u32string_view text,
                   TextBitmap& out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    empty_text_bitmap(out);
    if (!ok_ || pixel_height <= 0 || pixel_height > 2048 || text.empty()) return;
    FT_Face face = FaceFor(family);
    if (!face) return;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixel_height)) != 0) return;
    const int ascent = int((face->size->metrics.ascender + 63) >> 6);
    const int descent = int((-face->size->metrics.descender + 63) >> 6);
    // The list is a member so that its storage outlives the call.
    placed_.clear();
    for (char32_t cp : text)
      if (const Glyph* g = GlyphFor(face, pixel_height, cp)) placed_.push_back(g);
    compose_glyph_line(placed_, ascent, descent, out);
  }

  bool ExportGlyph(std::string_view family, int pixel_height, char32_t cp, Glyph& out, int& ascent,
                   int& descent) {
    std::lock_guard<std::mutex> lock(mutex_);
    out = Glyph{};
    if (!ok_ || pixel_height <= 0 || pixel_height > 2048) return false;
    FT_Face face = FaceFor(family);
    if (!face || FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixel_height)) != 0) return false;
    ascent = int((face->size->metrics.ascender + 63) >> 6);
    descent = int((-face->size->metrics.descender + 63) >> 6);
    // A character without a glyph is left out of a line: an empty glyph that
    // moves the pen nowhere does the same.
    if (const Glyph* g = GlyphFor(face, pixel_height, cp)) out = *g;
    return true;
  }

 private:
  FT_Face FaceFor(std::string_view family) {
    // Looked up by the caller's name as it is: no key is built for a face
    // already open.
    auto it = faces_.find(family);
    if (it != faces_.end()) return it->second;
    const std::string key = Lower(family);
    FT_Face face = nullptr;
    if (fc_ok_) {
      for (const std::string& cand : Candidates(key, family)) {
        face = Open(MatchFile(cand));
        if (face) break;
      }
    }
    for (const char* path : kFallbackFiles) {
      if (face) break;
      face = Open({path, 0});
    }
    // Impact is a tall, narrow face and the texts laid out for it leave room
    // for that width only; the bold stand-in is condensed to match.
    if (face && key == "impact") {
      FT_Matrix m{FT_Fixed(0.78 * 65536), 0, 0, FT_Fixed(65536)};
      FT_Set_Transform(face, &m, nullptr);
    }
    faces_[key] = face;
    return face;
  }

  // The file fontconfig picks for a pattern, if its family is really that
  // family (the generic names accept whatever fontconfig offers).
  std::pair<std::string, int> MatchFile(const std::string& pattern_text) {
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(pattern_text.c_str()));
    if (!pat) return {};
    FcConfigSubstitute(config_, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config_, pat, &result);
    std::pair<std::string, int> out;
    if (match) {
      FcChar8* file = nullptr;
      FcChar8* got_family = nullptr;
      int index = 0;
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      bool family_ok = true;
      FcChar8* want_family = nullptr;
      if (FcPatternGetString(pat, FC_FAMILY, 0, &want_family) == FcResultMatch &&
          FcPatternGetString(match, FC_FAMILY, 0, &got_family) == FcResultMatch) {
        const std::string want = Lower(reinterpret_cast<const char*>(want_family));
        const bool generic = want == "sans-serif" || want == "sans" || want == "serif";
        // fontconfig always answers something; only take a named family when
        // it answered with that family or a metric-compatible alias of it.
        family_ok = generic || Lower(reinterpret_cast<const char*>(got_family)) == want ||
                    pattern_text == "Arial";
      }
      if (family_ok && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
        out = {reinterpret_cast<const char*>(file), index};
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
    return out;
  }

  FT_Face Open(const std::pair<std::string, int>& file) {
    if (file.first.empty()) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library_, file.first.c_str(), file.second, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face)) {
      FT_Done_Face(face);
      return nullptr;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    return face;
  }

  const Glyph* GlyphFor(FT_Face face, int pixel_height, char32_t cp) {
    const auto key = std::make_tuple(static_cast<void*>(face), pixel_height, uint32_t(cp));
    auto it = glyphs_.find(key);
    if (it != glyphs_.end()) return it->second.get();
    std::unique_ptr<Glyph> g;
    if (FT_Load_Char(face, FT_ULong(cp), FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) == 0 &&
        face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      FT_GlyphSlot slot = face->glyph;
      g = std::make_unique<Glyph>();
      g->left = slot->bitmap_left;
      g->top = slot->bitmap_top;
      g->advance = int((slot->advance.x + 32) >> 6);
      g->width = int(slot->bitmap.width);
      g->height = int(slot->bitmap.rows);
      g->coverage.resize(size_t(g->width) * size_t(g->height));
      for (int r = 0; r < g->height; ++r) {
        const unsigned char* row = slot->bitmap.buffer + ptrdiff_t(r) * slot->bitmap.pitch;
        std::copy(row, row + g->width, g->coverage.begin() + ptrdiff_t(r) * g->width);
      }
    }
    const Glyph* raw = g.get();
    glyphs_[key] = std::move(g);
    return raw;
  }

  std::mutex mutex_;
  FT_Library library_ = nullptr;
  bool ok_ = false;
  bool fc_ok_ = false;
  FcConfig* config_ = nullptr;
  std::map<std::string, FT_Face, CaseInsensitiveLess> faces_;
  std::map<std::tuple<void*, int, uint32_t>, std::unique_ptr<Glyph>> glyphs_;
  std::vector<const Glyph*> placed_;  // the glyph of each letter
};

}  // namespace

namespace {

FreeTypeRasterizer& rasterizer() {
  static FreeTypeRasterizer instance;
  return instance;
}

}  // namespace

FontRasterizer& default_font_rasterizer() { return rasterizer(); }

bool rasterized_glyph(std::string_view family, int pixel_height, char32_t cp, Glyph& glyph,
                      int& ascent, int& descent) {
  return rasterizer().ExportGlyph(family, pixel_height, cp, glyph, ascent, descent);
}

}  // namespace platform
