#include "platform/gdi/gdi_text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cwctype>

#include "platform/winapi/utf16.h"

namespace platform::win32 {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool same_name(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

// Faces to try for a family, in order. Windows has all three of the game's
// faces; where one is missing (Wine offers the host's fonts) the heavy
// display faces get the heaviest sans at hand, condensed for Impact, as the
// Linux build does. The last entry is taken whatever GDI answers.
struct Candidate {
  std::wstring face;
  int weight;
  bool condensed;
};

std::vector<Candidate> candidates(const std::string& lower_family, std::string_view family) {
  if (lower_family == "arial black")
    return {{L"Arial Black", FW_NORMAL, false},
            {L"DejaVu Sans", FW_BOLD, false},
            {L"Arial", FW_BLACK, false}};
  if (lower_family == "impact")
    return {{L"Impact", FW_NORMAL, false},
            {L"DejaVu Sans Condensed", FW_BOLD, true},
            {L"DejaVu Sans", FW_BOLD, true},
            {L"Arial", FW_BOLD, true}};
  // Arial and anything else by its name: GDI's own substitution (Liberation
  // Sans for Arial under Wine) is the answer.
  return {{utf16(family), FW_NORMAL, false}};
}

// Impact is a tall, narrow face and the texts laid out for it leave room for
// that width only.
constexpr double kCondensed = 0.78;

}  // namespace

struct GdiRasterizer::Face {
  HFONT font = nullptr;
  int ascent = 0;
  int descent = 0;
  FaceInfo info;
  ~Face() {
    if (font) DeleteObject(font);
  }
};

GdiRasterizer::GdiRasterizer() { dc_ = CreateCompatibleDC(nullptr); }

GdiRasterizer::~GdiRasterizer() {
  glyphs_.clear();
  if (dc_) SelectObject(static_cast<HDC>(dc_), GetStockObject(SYSTEM_FONT));
  faces_.clear();
  if (dc_) DeleteDC(static_cast<HDC>(dc_));
}

GdiRasterizer::Face* GdiRasterizer::FaceFor(std::string_view family, int pixel_height) {
  const std::string key = lower(family);
  auto it = faces_.find({key, pixel_height});
  if (it != faces_.end()) return it->second.get();
  HDC dc = static_cast<HDC>(dc_);
  auto face = std::make_unique<Face>();
  const auto list = candidates(key, family);
  for (size_t i = 0; i < list.size(); ++i) {
    const Candidate& c = list[i];
    auto make = [&](int width) {
      return CreateFontW(-pixel_height, width, 0, 0, c.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, c.face.c_str());
    };
    HFONT font = make(0);
    if (!font) continue;
    SelectObject(dc, font);
    wchar_t got[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, got);
    const bool last = i + 1 == list.size();
    if (!last && !same_name(got, c.face)) {
      SelectObject(dc, GetStockObject(SYSTEM_FONT));
      DeleteObject(font);
      continue;
    }
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    if (c.condensed && tm.tmAveCharWidth > 0) {
      const int width = std::max(1, int(std::lround(tm.tmAveCharWidth * kCondensed)));
      SelectObject(dc, GetStockObject(SYSTEM_FONT));
      DeleteObject(font);
      font = make(width);
      if (!font) break;
      SelectObject(dc, font);
      GetTextMetricsW(dc, &tm);
    }
    face->font = font;
    face->ascent = int(tm.tmAscent);
    face->descent = int(tm.tmDescent);
    face->info = {utf8(got), int(tm.tmWeight), i > 0 || c.condensed};
    break;
  }
  Face* raw = face.get();
  faces_[{key, pixel_height}] = std::move(face);
  return raw;
}

const Glyph* GdiRasterizer::GlyphFor(Face* face, char32_t cp) {
  auto it = glyphs_.find({face, uint32_t(cp)});
  if (it != glyphs_.end()) return it->second.get();
  HDC dc = static_cast<HDC>(dc_);
  SelectObject(dc, face->font);
  std::unique_ptr<Glyph> g;
  GLYPHMETRICS gm{};
  const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  const UINT code = UINT(cp);
  const DWORD size = cp > 0xFFFF
                         ? GDI_ERROR
                         : GetGlyphOutlineW(dc, code, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity);
  if (size != GDI_ERROR) {
    g = std::make_unique<Glyph>();
    g->advance = gm.gmCellIncX;
    if (size > 0) {
      std::vector<uint8_t> raw(size);
      if (GetGlyphOutlineW(dc, code, GGO_GRAY8_BITMAP, &gm, size, raw.data(), &identity) !=
          GDI_ERROR) {
        // Rows of 65 levels (0..64), each row padded to four bytes.
        const int w = int(gm.gmBlackBoxX), h = int(gm.gmBlackBoxY);
        const size_t pitch = (size_t(w) + 3) & ~size_t(3);
        if (w > 0 && h > 0 && pitch * size_t(h) <= raw.size()) {
          g->left = gm.gmptGlyphOrigin.x;
          g->top = gm.gmptGlyphOrigin.y;
          g->width = w;
          g->height = h;
          g->coverage.resize(size_t(w) * size_t(h));
          for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
              const int v = std::min<int>(raw[size_t(r) * pitch + size_t(c)], 64);
              g->coverage[size_t(r) * size_t(w) + size_t(c)] = uint8_t((v * 255 + 32) / 64);
            }
        }
      }
    }
  }
  const Glyph* out = g.get();
  glyphs_[{face, uint32_t(cp)}] = std::move(g);
  return out;
}

void GdiRasterizer::render_into(std::string_view family, int pixel_height, std::u32string_view text,
                                TextBitmap& out) {
  std::lock_guard lock(mutex_);
  empty_text_bitmap(out);
  if (!dc_ || pixel_height <= 0 || pixel_height > 2048 || text.empty()) return;
  Face* face = FaceFor(family, pixel_height);
  if (!face || !face->font) return;
  placed_.clear();
  for (char32_t cp : text)
    if (const Glyph* g = GlyphFor(face, cp)) placed_.push_back(g);
  compose_glyph_line(placed_, face->ascent, face->descent, out);
}

GdiRasterizer::FaceInfo GdiRasterizer::face_info(std::string_view family, int pixel_height) {
  std::lock_guard lock(mutex_);
  Face* f = FaceFor(family, pixel_height);
  return f ? f->info : FaceInfo{};
}

}  // namespace platform::win32

namespace platform {

// On Windows every program's text goes through GDI.
FontRasterizer& default_font_rasterizer() {
  static win32::GdiRasterizer instance;
  return instance;
}

}  // namespace platform
