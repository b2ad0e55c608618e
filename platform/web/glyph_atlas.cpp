#include "platform/web/glyph_atlas.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/text.h"

namespace platform::web {

namespace {

constexpr uint32_t kVersion = 1;
constexpr uint32_t kMaxFaces = 64;
constexpr uint32_t kMaxGlyphs = 4096;
constexpr int kMaxSide = 1024;

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

class Writer {
 public:
  std::vector<uint8_t> bytes;
  void u8(uint32_t v) { bytes.push_back(uint8_t(v)); }
  void u16(uint32_t v) {
    u8(v);
    u8(v >> 8);
  }
  void u32(uint32_t v) {
    u16(v);
    u16(v >> 16);
  }
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> b) : b_(b) {}
  bool ok() const { return ok_; }
  size_t left() const { return b_.size() - pos_; }
  uint32_t u8() {
    if (pos_ >= b_.size()) {
      ok_ = false;
      return 0;
    }
    return b_[pos_++];
  }
  uint32_t u16() {
    const uint32_t lo = u8();
    return lo | u8() << 8;
  }
  int s16() { return int(int16_t(uint16_t(u16()))); }
  uint32_t u32() {
    const uint32_t lo = u16();
    return lo | u16() << 16;
  }
  bool take(size_t n, const uint8_t*& p) {
    if (!ok_ || n > left()) return ok_ = false;
    p = b_.data() + pos_;
    pos_ += n;
    return true;
  }

 private:
  std::span<const uint8_t> b_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// Whether a face's name (lower case) is the name asked for, in any case.
// Compared in place: a lower-case copy of a name such as "Arial Black" would
// not fit a short string where size_t is 32-bit (wasm32), and the game asks
// for its faces by turns every frame.
bool names_face(std::string_view face_family, std::string_view asked) {
  return face_family.size() == asked.size() &&
         std::equal(asked.begin(), asked.end(), face_family.begin(), [](char a, char f) {
           return char(std::tolower(static_cast<unsigned char>(a))) == f;
         });
}

}  // namespace

// Font.Size 6, 8 and 10 points at 96 dots per inch.
const AtlasFaceSpec kGameFaces[] = {
    {"arial", 8},        {"arial", 11},       {"arial", 13},  {"arial black", 8},
    {"arial black", 11}, {"arial black", 13}, {"impact", 13},
};
const size_t kGameFaceCount = std::size(kGameFaces);

std::u32string atlas_characters() {
  std::string all;
  for (int c = 0x20; c <= 0xFF; ++c) all.push_back(char(c));
  std::u32string out;
  for (char32_t c : cp1250_to_utf32(all))
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  return out;
}

std::vector<uint8_t> write_atlas(const std::vector<AtlasFace>& faces) {
  Writer w;
  for (char c : std::string_view("ZGLY")) w.u8(uint8_t(c));
  w.u32(kVersion);
  w.u32(uint32_t(faces.size()));
  for (const AtlasFace& f : faces) {
    const std::string name = lower(f.family).substr(0, 255);
    w.u8(uint32_t(name.size()));
    for (char c : name) w.u8(uint8_t(c));
    w.u16(uint32_t(f.pixel_height));
    w.u16(uint32_t(f.ascent));
    w.u16(uint32_t(f.descent));
    w.u32(uint32_t(f.glyphs.size()));
    for (const auto& [cp, g] : f.glyphs) {
      w.u32(uint32_t(cp));
      w.u16(uint32_t(g.left));
      w.u16(uint32_t(g.top));
      w.u16(uint32_t(g.advance));
      w.u16(uint32_t(g.width));
      w.u16(uint32_t(g.height));
      w.bytes.insert(w.bytes.end(), g.coverage.begin(), g.coverage.end());
    }
  }
  return std::move(w.bytes);
}

bool read_atlas(std::span<const uint8_t> bytes, std::vector<AtlasFace>& faces) {
  faces.clear();
  Reader r(bytes);
  const uint8_t* magic = nullptr;
  if (!r.take(4, magic) || std::string_view(reinterpret_cast<const char*>(magic), 4) != "ZGLY")
    return false;
  if (r.u32() != kVersion) return false;
  const uint32_t count = r.u32();
  if (!r.ok() || count > kMaxFaces) return false;
  std::vector<AtlasFace> out(count);
  for (AtlasFace& f : out) {
    const uint8_t* name = nullptr;
    const size_t length = r.u8();
    if (!r.take(length, name)) return false;
    f.family = lower(std::string_view(reinterpret_cast<const char*>(name), length));
    f.pixel_height = int(r.u16());
    f.ascent = r.s16();
    f.descent = r.s16();
    const uint32_t glyphs = r.u32();
    if (!r.ok() || glyphs > kMaxGlyphs || f.pixel_height <= 0) return false;
    for (uint32_t i = 0; i < glyphs; ++i) {
      const char32_t cp = char32_t(r.u32());
      Glyph g;
      g.left = r.s16();
      g.top = r.s16();
      g.advance = r.s16();
      g.width = int(r.u16());
      g.height = int(r.u16());
      if (g.width > kMaxSide || g.height > kMaxSide) return false;
      const uint8_t* cov = nullptr;
      if (!r.take(size_t(g.width) * size_t(g.height), cov)) return false;
      g.coverage.assign(cov, cov + size_t(g.width) * size_t(g.height));
      f.glyphs[cp] = std::move(g);
    }
  }
  if (!r.ok() || r.left() != 0) return false;
  faces = std::move(out);
  return true;
}

AtlasRasterizer::AtlasRasterizer(std::vector<AtlasFace> faces) : faces_(std::move(faces)) {}

const AtlasFace* AtlasRasterizer::face_for(std::string_view family, int pixel_height) {
  if (last_face_ && last_height_ == pixel_height && family == last_family_) return last_face_;
  const AtlasFace* best = nullptr;
  auto nearest = [&](std::string_view name) {
    for (const AtlasFace& f : faces_) {
      if (!name.empty() && !names_face(f.family, name)) continue;
      if (!best ||
          std::abs(f.pixel_height - pixel_height) < std::abs(best->pixel_height - pixel_height))
        best = &f;
    }
  };
  nearest(family);
  if (!best) nearest("arial");
  if (!best) nearest("");
  last_family_.assign(family);
  last_height_ = pixel_height;
  last_face_ = best;
  return best;
}

void AtlasRasterizer::render_into(std::string_view family, int pixel_height,
                                  std::u32string_view text, TextBitmap& out) {
  empty_text_bitmap(out);
  if (pixel_height <= 0 || text.empty()) return;
  const AtlasFace* face = face_for(family, pixel_height);
  if (!face) return;
  placed_.clear();
  for (char32_t cp : text) {
    auto it = face->glyphs.find(cp);
    if (it == face->glyphs.end()) it = face->glyphs.find(kMissingGlyph);
    if (it != face->glyphs.end()) placed_.push_back(&it->second);
  }
  compose_glyph_line(placed_, face->ascent, face->descent, out);
}

}  // namespace platform::web
