// Picture collections: items and their patterns, the collection lifecycle and
// the image list bound to a display.
#include "media/pictures.h"

#include <algorithm>

#include "media/errors.h"
#include "media/sprite_rotate.h"

namespace media {

namespace {

inline uint16_t RGBTo565FromDIB(uint32_t rrggbb) {
  // The picture holds 0x00RRGGBB; channels are truncated to 5-6-5.
  return uint16_t(((rrggbb >> 8) & 0xF800) | ((rrggbb >> 5) & 0x07E0) | ((rrggbb >> 3) & 0x001F));
}

// A surface holding the picture's rectangle (left, top, w, h).
std::unique_ptr<TDirectDrawSurface> MakeSurface(const TDIB& pic, int32_t left, int32_t top,
                                                int32_t w, int32_t h, TColor transparent) {
  auto surf = std::make_unique<TDirectDrawSurface>();
  if (w <= 0 || h <= 0) return surf;  // no surface: patterns on it draw nothing
  surf->SetSize(w, h);
  uint16_t* d = surf->Pixels();
  for (int32_t yy = 0; yy < h; ++yy) {
    for (int32_t xx = 0; xx < w; ++xx)
      d[size_t(yy) * w + xx] = RGBTo565FromDIB(pic.PixelRGB(left + xx, top + yy));
  }
  surf->SetColorKey(surf->MatchColor(transparent));
  return surf;
}

inline int64_t CeilDivPos(int64_t a, int64_t b) { return (a + b - 1) / b; }

}  // namespace

// ---- TPictureCollectionItem ------------------------------------------------

int32_t TPictureCollectionItem::Width() const {
  return PatternWidth > 0 ? PatternWidth : Picture.Width();
}

int32_t TPictureCollectionItem::Height() const {
  return PatternHeight > 0 ? PatternHeight : Picture.Height();
}

TRect TPictureCollectionItem::PatternRect(int index) const {
  if (index < 0 || index >= PatternCount()) return {};
  return patterns_[size_t(index)].rect;
}

TDirectDrawSurface* TPictureCollectionItem::PatternSurface(int index) const {
  if (index < 0 || index >= PatternCount()) return nullptr;
  TDirectDrawSurface* s = patterns_[size_t(index)].surface;
  return s && s->Exists() ? s : nullptr;
}

void TPictureCollectionItem::Initialize() {
  Finalize();
  initialized_ = true;
}

void TPictureCollectionItem::Finalize() {
  patterns_.clear();
  surfaces_.clear();
  initialized_ = false;
}

void TPictureCollectionItem::SetTransparentColor(TColor color) {
  TransparentColor = color;
  for (auto& s : surfaces_) {
    if (s && s->Exists()) s->SetColorKey(s->MatchColor(color));
  }
}

TPictureCollectionItem::Grid TPictureCollectionItem::Cut() const {
  Grid g;
  if (Picture.Empty()) return g;
  const int64_t pw = Picture.Width(), ph = Picture.Height();
  const int64_t PW = Width(), PH = Height();
  if (PW == pw && PH == ph) {
    g.whole = true;
    return g;
  }
  g.step_x = PW + SkipWidth;
  g.step_y = PH + SkipHeight;
  // Negative gaps that swallow the pattern size leave nothing to cut.
  if (g.step_x <= 0 || g.step_y <= 0) return g;
  g.columns = std::max<int64_t>(0, (pw + SkipWidth) / g.step_x);
  g.rows = std::max<int64_t>(0, (ph + SkipHeight) / g.step_y);
  if (g.columns == 0 || g.rows == 0) g.columns = g.rows = 0;
  return g;
}

int64_t TPictureCollectionItem::PlannedPatternCount() const {
  const Grid g = Cut();
  return g.whole ? 1 : g.columns * g.rows;
}

void TPictureCollectionItem::Restore() {
  patterns_.clear();
  surfaces_.clear();
  if (!initialized_ || Picture.Empty()) return;

  const int64_t pw = Picture.Width(), ph = Picture.Height();
  const int64_t PW = Width(), PH = Height();
  const Grid g = Cut();
  if (g.whole) {
    surfaces_.push_back(MakeSurface(Picture, 0, 0, int32_t(pw), int32_t(ph), TransparentColor));
    patterns_.push_back({TRect{0, 0, int32_t(pw), int32_t(ph)}, surfaces_.back().get()});
    return;
  }
  const int64_t step_x = g.step_x, step_y = g.step_y, columns = g.columns, rows = g.rows;
  if (columns <= 0 || rows <= 0) return;

  if (SystemMemory) {
    surfaces_.push_back(MakeSurface(Picture, 0, 0, int32_t(pw), int32_t(ph), TransparentColor));
    TDirectDrawSurface* s = surfaces_.back().get();
    patterns_.reserve(size_t(rows * columns));
    for (int64_t r = 0; r < rows; ++r)
      for (int64_t c = 0; c < columns; ++c)
        patterns_.push_back(
            {Bounds(int32_t(step_x * c), int32_t(step_y * r), int32_t(PW), int32_t(PH)), s});
    return;
  }

  // Tiles: the smallest multiple of the step reaching 512, but no more than
  // all whole patterns.
  const int64_t tw = std::min(step_x * CeilDivPos(512, step_x), step_x * columns);
  const int64_t th = std::min(step_y * CeilDivPos(512, step_y), step_y * rows);
  if (tw <= 0 || th <= 0) return;
  const int64_t across = CeilDivPos(pw, tw), down = CeilDivPos(ph, th);
  surfaces_.reserve(size_t(across * down));
  for (int64_t ty = 0; ty < down; ++ty) {
    for (int64_t tx = 0; tx < across; ++tx) {
      const int64_t left = tx * tw, top = ty * th;
      surfaces_.push_back(MakeSurface(Picture, int32_t(left), int32_t(top),
                                      int32_t(std::min(tw, pw - left)),
                                      int32_t(std::min(th, ph - top)), TransparentColor));
    }
  }
  patterns_.reserve(size_t(rows * columns));
  for (int64_t r = 0; r < rows; ++r) {
    for (int64_t c = 0; c < columns; ++c) {
      const size_t tile = size_t(step_x * c / tw + across * (step_y * r / th));
      patterns_.push_back(
          {Bounds(int32_t(step_x * c % tw), int32_t(step_y * r % th), int32_t(PW), int32_t(PH)),
           surfaces_[tile].get()});
    }
  }
}

void TPictureCollectionItem::DrawPattern(TDirectDrawSurface* dest, int32_t x, int32_t y,
                                         int pattern) const {
  if (!initialized_ || !dest) return;
  TDirectDrawSurface* src = PatternSurface(pattern);
  if (!src) return;
  dest->DrawSurface(x, y, patterns_[size_t(pattern)].rect, src, Transparent);
}

void TPictureCollectionItem::DrawPatternRotated(TDirectDrawSurface* dest, int32_t x, int32_t y,
                                                int32_t width, int32_t height, int pattern,
                                                double center_x, double center_y, int angle) const {
  if (!initialized_) return;
  TDirectDrawSurface* src = PatternSurface(pattern);
  if (!src) return;
  DrawRotated(dest, x, y, width, height, src, patterns_[size_t(pattern)].rect, center_x, center_y,
              angle, 255, TBlendRule::Plain, Transparent);
}

void TPictureCollectionItem::DrawPatternRotatedAdditive(TDirectDrawSurface* dest, int32_t x,
                                                        int32_t y, int32_t width, int32_t height,
                                                        int pattern, double center_x,
                                                        double center_y, int angle,
                                                        int alpha) const {
  if (!initialized_) return;
  TDirectDrawSurface* src = PatternSurface(pattern);
  if (!src) return;
  DrawRotated(dest, x, y, width, height, src, patterns_[size_t(pattern)].rect, center_x, center_y,
              angle, alpha, TBlendRule::Additive, Transparent);
}

void TPictureCollectionItem::DrawPatternRotatedBlended(TDirectDrawSurface* dest, int32_t x,
                                                       int32_t y, int32_t width, int32_t height,
                                                       int pattern, double center_x,
                                                       double center_y, int angle,
                                                       int alpha) const {
  if (!initialized_) return;
  TDirectDrawSurface* src = PatternSurface(pattern);
  if (!src) return;
  DrawRotated(dest, x, y, width, height, src, patterns_[size_t(pattern)].rect, center_x, center_y,
              angle, alpha, TBlendRule::Blended, Transparent);
}

// ---- TPictureCollection ----------------------------------------------------

TPictureCollectionItem& TPictureCollection::ItemAt(int index) {
  if (index >= 0 && index < Count()) return *items_[size_t(index)];
  // One shared item that is never initialised, so it draws nothing.
  if (!null_item_) null_item_ = std::make_unique<TPictureCollectionItem>(this);
  null_item_->Finalize();
  return *null_item_;
}

TPictureCollectionItem& TPictureCollection::Add() {
  items_.push_back(std::make_unique<TPictureCollectionItem>(this));
  if (initialized_) items_.back()->Initialize();
  return *items_.back();
}

void TPictureCollection::Clear() { items_.clear(); }

void TPictureCollection::Initialize() {
  Finalize();
  if (!DXDraw || !DXDraw->Initialized())
    throw EDXDrawError(FormatMessage("%s cannot be initialized", "TPictureCollection"));
  for (auto& item : items_) item->Initialize();
  initialized_ = true;
}

void TPictureCollection::Finalize() {
  for (auto& item : items_) item->Finalize();
  initialized_ = false;
}

void TPictureCollection::Restore() {
  for (auto& item : items_) item->Restore();
}

}  // namespace media
