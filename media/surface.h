#pragma once
// 16-bit RGB565 surfaces in memory and the text-and-lines canvas bound to them.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fonts.h"

namespace media {

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
};

inline TRect Bounds(int32_t x, int32_t y, int32_t w, int32_t h) { return {x, y, x + w, y + h}; }

// Colours as 0x00BBGGRR, or a system colour 0x80000000 + index.
using TColor = uint32_t;
constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
  return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}
// Turns a system colour into RGB through the system colour table; other
// values pass unchanged (masked to 24 bits).
TColor ColorToRGB(TColor c);
// 0x00BBGGRR to a raw RGB565 pixel, channels truncated.
uint16_t RGBTo565(TColor rgb);

class TDirectDrawSurface;

enum class TBrushStyle { bsSolid, bsClear };

// The canvas of a surface: GDI-like text, lines and ellipse.
class TDirectDrawSurfaceCanvas {
 public:
  explicit TDirectDrawSurfaceCanvas(TDirectDrawSurface* surface) : surface_(surface) {}

  struct TFont {
    std::string Name = "Arial";  // UTF-8
    int Size = 8;                // points at 96 dots per inch
    TColor Color = 0;
  } Font;
  struct TBrush {
    TBrushStyle Style = TBrushStyle::bsSolid;
    TColor Color = RGBColor(255, 255, 255);
  } Brush;
  struct TPen {
    TColor Color = 0;
  } Pen;

  // Text at its top-left corner. TextOut takes UTF-8, TextOutAnsi the
  // programs' stored 8-bit Windows-1250 text.
  void TextOut(int x, int y, std::string_view utf8);
  void TextOutAnsi(int x, int y, std::string_view cp1250);
  void TextOutUtf32(int x, int y, std::u32string_view text);
  // Line from the pen position to (x, y); the end point is not drawn.
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  // Ellipse inscribed in the rectangle; outline in the pen colour, filled
  // with the brush unless its style is clear.
  void Ellipse(int x1, int y1, int x2, int y2);
  // Device context held (between GetCanvas and ReleaseCanvas).
  bool HandleAllocated() const { return handle_; }

 private:
  friend class TDirectDrawSurface;
  TDirectDrawSurface* surface_;
  bool handle_ = false;
  int pen_x_ = 0;
  int pen_y_ = 0;
  // Kept between calls so that their storage is reused: the text decoded to
  // code points and its rasterised coverage. Drawing the same texts every
  // frame then allocates nothing.
  std::u32string text_utf32_;
  platform::TextBitmap text_bitmap_;
  // The same for an ellipse's outline: each row's extent and every point.
  std::vector<int64_t> ellipse_row_min_;
  std::vector<int64_t> ellipse_row_max_;
  std::vector<std::pair<int64_t, int64_t>> ellipse_points_;
};

class TDirectDrawSurface {
 public:
  TDirectDrawSurface();
  TDirectDrawSurface(int32_t width, int32_t height);
  ~TDirectDrawSurface();
  TDirectDrawSurface(const TDirectDrawSurface&) = delete;
  TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

  // (Re)creates the pixel store; a zero or negative size gives no surface.
  void SetSize(int32_t width, int32_t height);
  bool Exists() const { return width_ > 0 && height_ > 0; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Pitch() const { return width_; }  // in pixels
  uint16_t* Pixels() { return pixels_.data(); }
  const uint16_t* Pixels() const { return pixels_.data(); }
  uint16_t Pixel(int32_t x, int32_t y) const { return pixels_[size_t(y) * width_ + x]; }

  // Source colour key as a raw pixel value.
  uint32_t ColorKey() const { return color_key_; }
  void SetColorKey(uint32_t raw) { color_key_ = raw; }

  void FillSurface(int32_t pixel);
  void DrawSurface(int32_t x, int32_t y, const TRect& src_rect, const TDirectDrawSurface* source,
                   bool transparent);
  uint32_t MatchColor(TColor color);

  bool Lock();
  void Unlock();
  int LockCount() const { return lock_count_; }

  TDirectDrawSurfaceCanvas& GetCanvas();
  void ReleaseCanvas();

  // Set when a platform call on this surface failed (recorded, not raised).
  int LastError = 0;

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint16_t> pixels_;
  uint32_t color_key_ = 0;
  int lock_count_ = 0;
  std::unique_ptr<TDirectDrawSurfaceCanvas> canvas_;
};

}  // namespace media
