// RGB565 surfaces in memory: fill, keyed and clipped copies, colour matching,
// and the canvas that draws text, lines and ellipses onto them.
#include "media/surface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/fonts.h"
#include "platform/services.h"
#include "platform/text.h"

namespace media {

namespace {

// The classic default desktop scheme, indexed by system colour number.
constexpr TColor kSystemColors[] = {
    RGBColor(192, 192, 192),  // scroll bar
    RGBColor(0, 128, 128),    // background
    RGBColor(0, 0, 128),      // active caption
    RGBColor(128, 128, 128),  // inactive caption
    RGBColor(192, 192, 192),  // menu
    RGBColor(255, 255, 255),  // window
    RGBColor(0, 0, 0),        // window frame
    RGBColor(0, 0, 0),        // menu text
    RGBColor(0, 0, 0),        // window text
    RGBColor(255, 255, 255),  // caption text
    RGBColor(192, 192, 192),  // active border
    RGBColor(192, 192, 192),  // inactive border
    RGBColor(128, 128, 128),  // application work space
    RGBColor(0, 0, 128),      // highlight
    RGBColor(255, 255, 255),  // highlight text
    RGBColor(192, 192, 192),  // button face
    RGBColor(128, 128, 128),  // button shadow
    RGBColor(128, 128, 128),  // grey text
    RGBColor(0, 0, 0),        // button text
    RGBColor(192, 192, 192),  // inactive caption text
    RGBColor(255, 255, 255),  // button highlight
    RGBColor(0, 0, 0),        // 3D dark shadow
    RGBColor(223, 223, 223),  // 3D light
    RGBColor(0, 0, 0),        // tooltip text
    RGBColor(255, 255, 225),  // tooltip background
};

// 565 pixel to 8-bit channels (low bits left zero, as a 16-bit display
// reads them back).
inline void Split565(uint16_t p, int& r, int& g, int& b) {
  r = (p >> 11) << 3;
  g = ((p >> 5) & 0x3F) << 2;
  b = (p & 0x1F) << 3;
}

inline uint16_t Pack565(int r, int g, int b) {
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

}  // namespace

TColor ColorToRGB(TColor c) {
  if (c & 0x80000000u) {
    uint32_t index = c & 0xFF;
    // An unknown system colour reads as black, as the system answers for it.
    if (index >= sizeof(kSystemColors) / sizeof(kSystemColors[0])) return 0;
    return kSystemColors[index];
  }
  return c & 0x00FFFFFF;
}

uint16_t RGBTo565(TColor rgb) {
  int r = int(rgb & 0xFF), g = int((rgb >> 8) & 0xFF), b = int((rgb >> 16) & 0xFF);
  return Pack565(r, g, b);
}

// ---- TDirectDrawSurface ----------------------------------------------------

TDirectDrawSurface::TDirectDrawSurface() = default;

TDirectDrawSurface::TDirectDrawSurface(int32_t width, int32_t height) { SetSize(width, height); }

TDirectDrawSurface::~TDirectDrawSurface() = default;

void TDirectDrawSurface::SetSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) {
    width_ = height_ = 0;
    pixels_.clear();
    pixels_.shrink_to_fit();
    return;
  }
  width_ = width;
  height_ = height;
  pixels_.assign(size_t(width) * size_t(height), 0);
}

void TDirectDrawSurface::FillSurface(int32_t pixel) {
  // Every frame starts with this clear, so it writes whole words: memset when
  // both bytes of the pixel agree (black), else 64-bit stores of four pixels.
  const uint16_t p = uint16_t(pixel);
  const size_t n = pixels_.size();
  if (n == 0) return;
  if ((p & 0xFF) == (p >> 8)) {
    std::memset(pixels_.data(), p & 0xFF, n * sizeof(uint16_t));
    return;
  }
  const uint64_t word = uint64_t(p) * 0x0001000100010001ULL;
  uint16_t* d = pixels_.data();
  size_t i = 0;
  for (; i + 4 <= n; i += 4) std::memcpy(d + i, &word, sizeof word);
  for (; i < n; ++i) d[i] = p;
}

void TDirectDrawSurface::DrawSurface(int32_t x, int32_t y, const TRect& src_rect,
                                     const TDirectDrawSurface* source, bool transparent) {
  if (!source || x > width_ || y > height_) return;
  if (!Exists() || !source->Exists()) return;
  // Work in 64 bits so far-off positions cannot wrap into view.
  int64_t dl = x, dt = y;
  int64_t dr = dl + int64_t(src_rect.Right) - src_rect.Left;
  int64_t db = dt + int64_t(src_rect.Bottom) - src_rect.Top;
  int64_t sl = src_rect.Left, st = src_rect.Top, sr = src_rect.Right, sb = src_rect.Bottom;
  // Mirrored source rectangles are not supported by this copy; they draw nothing.
  if (sr <= sl || sb <= st) return;
  // Clip against the destination, moving the source edges alike.
  if (dl < 0) {
    sl -= dl;
    dl = 0;
  }
  if (dt < 0) {
    st -= dt;
    dt = 0;
  }
  if (dr > width_) {
    sr -= dr - width_;
    dr = width_;
  }
  if (db > height_) {
    sb -= db - height_;
    db = height_;
  }
  // Clip against the source, moving the destination edges alike.
  if (sl < 0) {
    dl -= sl;
    sl = 0;
  }
  if (st < 0) {
    dt -= st;
    st = 0;
  }
  if (sr > source->width_) {
    dr -= sr - source->width_;
    sr = source->width_;
  }
  if (sb > source->height_) {
    db -= sb - source->height_;
    sb = source->height_;
  }
  if (dr <= dl || db <= dt || sr <= sl || sb <= st) return;

  const int w = int(dr - dl);
  const uint16_t key = uint16_t(source->color_key_);
  const bool self = source == this;
  for (int64_t row = 0; row < db - dt; ++row) {
    // Overlapping copies within one surface go bottom-up when moving down.
    int64_t r = (self && dt > st) ? (db - dt - 1 - row) : row;
    const uint16_t* s = source->pixels_.data() + size_t(st + r) * source->width_ + sl;
    uint16_t* d = pixels_.data() + size_t(dt + r) * width_ + dl;
    if (!transparent) {
      std::memmove(d, s, size_t(w) * sizeof(uint16_t));
      continue;
    }
    if (self && d > s) {
      for (int i = w - 1; i >= 0; --i) d[i] = s[i] == key ? d[i] : s[i];
    } else {
      for (int i = 0; i < w; ++i) d[i] = s[i] == key ? d[i] : s[i];
    }
  }
}

uint32_t TDirectDrawSurface::MatchColor(TColor color) {
  if (!Exists()) return 0;
  // What a colour written through the canvas reads back as on this surface.
  return RGBTo565(ColorToRGB(color));
}

bool TDirectDrawSurface::Lock() {
  if (!Exists()) return false;
  ++lock_count_;
  return true;
}

void TDirectDrawSurface::Unlock() {
  if (lock_count_ > 0) --lock_count_;
}

TDirectDrawSurfaceCanvas& TDirectDrawSurface::GetCanvas() {
  if (!canvas_) canvas_ = std::make_unique<TDirectDrawSurfaceCanvas>(this);
  canvas_->handle_ = true;
  return *canvas_;
}

void TDirectDrawSurface::ReleaseCanvas() {
  if (canvas_) canvas_->handle_ = false;
}

// ---- TDirectDrawSurfaceCanvas ----------------------------------------------

namespace {

// Rows of ellipse outline the canvas makes room for at once, and the most
// whose storage it keeps for the next ellipse.
constexpr size_t kFirstEllipseRows = 256;
constexpr size_t kKeptEllipseRows = 4096;

inline void PutPixel(TDirectDrawSurface* s, int64_t x, int64_t y, uint16_t p) {
  if (x < 0 || y < 0 || x >= s->Width() || y >= s->Height()) return;
  s->Pixels()[size_t(y) * s->Pitch() + size_t(x)] = p;
}

}  // namespace

void TDirectDrawSurfaceCanvas::TextOut(int x, int y, std::string_view utf8) {
  // Decode UTF-8 leniently: a malformed byte stands for itself.
  std::u32string& text = text_utf32_;
  text.clear();
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    char32_t cp = 0;
    bool ok = len > 0 && i + size_t(len) <= utf8.size();
    if (ok) {
      cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
      for (int k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(utf8[i + size_t(k)]);
        if ((cc & 0xC0) != 0x80) {
          ok = false;
          break;
        }
        cp = (cp << 6) | (cc & 0x3F);
      }
    }
    if (!ok) {
      cp = c;
      len = 1;
    }
    text.push_back(cp);
    i += size_t(len);
  }
  TextOutUtf32(x, y, text);
}

void TDirectDrawSurfaceCanvas::TextOutAnsi(int x, int y, std::string_view cp1250) {
  // The upper half of the code page, taken once from the shared conversion,
  // so that each text is decoded into the reused buffer.
  static const std::array<char32_t, 128> kHigh = [] {
    std::string bytes(128, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(0x80 + i);
    const std::u32string wide = platform::cp1250_to_utf32(bytes);
    std::array<char32_t, 128> table{};
    for (size_t i = 0; i < table.size() && i < wide.size(); ++i) table[i] = wide[i];
    return table;
  }();
  std::u32string& text = text_utf32_;
  text.clear();
  for (char ch : cp1250) {
    const auto c = static_cast<unsigned char>(ch);
    text.push_back(c < 0x80 ? char32_t(c) : kHigh[c - 0x80]);
  }
  TextOutUtf32(x, y, text);
}

void TDirectDrawSurfaceCanvas::TextOutUtf32(int x, int y, std::u32string_view text) {
  TDirectDrawSurface* s = surface_;
  if (!s || !s->Exists() || text.empty()) return;
  platform::FontRasterizer* fonts = platform::services().fonts;
  if (!fonts) return;
  // Points at 96 dots per inch; a negative size names the pixel height.
  int px = Font.Size >= 0 ? int(std::lround(Font.Size * 96.0 / 72.0)) : -Font.Size;
  if (px <= 0) return;
  platform::TextBitmap& bm = text_bitmap_;
  fonts->render_into(Font.Name, px, text, bm);
  if (bm.width <= 0 || bm.height <= 0) return;

  // Ink above the cell goes above y; only the cell is filled by an opaque
  // brush.
  const int64_t top = int64_t(y) - bm.top;
  const int64_t cell0 = y, cell1 = int64_t(y) + bm.cell_height;
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(top, 0);
  const int64_t x1 = std::min<int64_t>(int64_t(x) + bm.width, s->Width());
  const int64_t y1 = std::min<int64_t>(top + bm.height, s->Height());
  if (x1 <= x0 || y1 <= y0) return;
  const TColor fc = ColorToRGB(Font.Color);
  const int fr = int(fc & 0xFF), fg = int((fc >> 8) & 0xFF), fb = int((fc >> 16) & 0xFF);
  const bool solid = Brush.Style == TBrushStyle::bsSolid;
  const TColor bc = ColorToRGB(Brush.Color);
  const uint16_t back = RGBTo565(bc);
  const uint16_t full = RGBTo565(fc);
  for (int64_t yy = y0; yy < y1; ++yy) {
    const uint8_t* cov = bm.coverage.data() + size_t(yy - top) * size_t(bm.width) + size_t(x0 - x);
    uint16_t* d = s->Pixels() + size_t(yy) * s->Pitch();
    const bool opaque = solid && yy >= cell0 && yy < cell1;
    for (int64_t xx = x0; xx < x1; ++xx, ++cov) {
      const int a = *cov;
      if (opaque) d[xx] = back;
      if (a == 0) continue;
      if (a == 255) {
        d[xx] = full;
        continue;
      }
      int r, g, b;
      Split565(d[xx], r, g, b);
      r += ((fr - r) * a) / 255;
      g += ((fg - g) * a) / 255;
      b += ((fb - b) * a) / 255;
      d[xx] = Pack565(r, g, b);
    }
  }
}

void TDirectDrawSurfaceCanvas::MoveTo(int x, int y) {
  pen_x_ = x;
  pen_y_ = y;
}

void TDirectDrawSurfaceCanvas::LineTo(int x, int y) {
  TDirectDrawSurface* s = surface_;
  const int64_t xa = pen_x_, ya = pen_y_, xb = x, yb = y;
  pen_x_ = x;
  pen_y_ = y;
  if (!s || !s->Exists()) return;
  // Skip lines that lie wholly beside the surface.
  if (std::max(xa, xb) < 0 || std::max(ya, yb) < 0 || std::min(xa, xb) >= s->Width() ||
      std::min(ya, yb) >= s->Height())
    return;
  const uint16_t p = RGBTo565(ColorToRGB(Pen.Color));
  // Bresenham along the major axis; the last point is left out.
  const int64_t dx = std::llabs(xb - xa), dy = std::llabs(yb - ya);
  const int64_t sx = xb > xa ? 1 : -1, sy = yb > ya ? 1 : -1;
  int64_t cx = xa, cy = ya;
  if (dx >= dy) {
    int64_t err = 2 * dy - dx;
    for (int64_t i = 0; i < dx; ++i) {
      PutPixel(s, cx, cy, p);
      if (err > 0 || (err == 0 && sx > 0)) {
        cy += sy;
        err -= 2 * dx;
      }
      err += 2 * dy;
      cx += sx;
    }
  } else {
    int64_t err = 2 * dx - dy;
    for (int64_t i = 0; i < dy; ++i) {
      PutPixel(s, cx, cy, p);
      if (err > 0 || (err == 0 && sy > 0)) {
        cx += sx;
        err -= 2 * dy;
      }
      err += 2 * dx;
      cy += sy;
    }
  }
}

void TDirectDrawSurfaceCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  TDirectDrawSurface* s = surface_;
  if (!s || !s->Exists()) return;
  // The ellipse fills the rectangle without its right column and bottom row.
  int64_t left = std::min(x1, x2), right = int64_t(std::max(x1, x2)) - 1;
  int64_t top = std::min(y1, y2), bottom = int64_t(std::max(y1, y2)) - 1;
  if (right < left || bottom < top) return;
  if (right < 0 || bottom < 0 || left >= s->Width() || top >= s->Height()) return;
  int64_t a = right - left, b = bottom - top;
  // Keep absurd sizes from running away; nothing sensible is drawn by them.
  if (a > (1 << 16) || b > (1 << 16)) return;

  // Outline points per row (integer midpoint algorithm on the bounding box),
  // gathered first so the fill can go beneath the outline. The lists are
  // members, so drawing the same ellipses every frame allocates nothing.
  std::vector<int64_t>& row_min = ellipse_row_min_;
  std::vector<int64_t>& row_max = ellipse_row_max_;
  std::vector<std::pair<int64_t, int64_t>>& points = ellipse_points_;
  // Room for any ring a game draws from the first one on, so that ellipses
  // of slowly changing sizes do not grow the lists again and again.
  if (points.capacity() == 0) {
    row_min.reserve(kFirstEllipseRows);
    row_max.reserve(kFirstEllipseRows);
    points.reserve(8 * kFirstEllipseRows);
  }
  row_min.assign(size_t(b + 1), INT64_MAX);
  row_max.assign(size_t(b + 1), INT64_MIN);
  points.clear();
  auto plot = [&](int64_t px, int64_t py) {
    if (py < top || py > bottom) return;
    size_t r = size_t(py - top);
    row_min[r] = std::min(row_min[r], px);
    row_max[r] = std::max(row_max[r], px);
    points.emplace_back(px, py);
  };
  {
    int64_t x0 = left, x1e = right, y0 = top, y1e;
    int64_t b1 = b & 1;
    int64_t dx = 4 * (1 - a) * b * b, dy = 4 * (b1 + 1) * a * a;
    int64_t err = dx + dy + b1 * a * a;
    y0 += (b + 1) / 2;
    y1e = y0 - b1;
    const int64_t aa8 = 8 * a * a, bb8 = 8 * b * b;
    do {
      plot(x1e, y0);
      plot(x0, y0);
      plot(x0, y1e);
      plot(x1e, y1e);
      int64_t e2 = 2 * err;
      if (e2 <= dy) {
        ++y0;
        --y1e;
        dy += aa8;
        err += dy;
      }
      if (e2 >= dx || 2 * err > dy) {
        ++x0;
        --x1e;
        dx += bb8;
        err += dx;
      }
    } while (x0 <= x1e);
    while (y0 - y1e <= b) {  // finish the tips of very flat ellipses
      plot(x0 - 1, y0);
      plot(x1e + 1, y0++);
      plot(x0 - 1, y1e);
      plot(x1e + 1, y1e--);
    }
  }
  if (Brush.Style == TBrushStyle::bsSolid) {
    const uint16_t fill = RGBTo565(ColorToRGB(Brush.Color));
    for (int64_t r = 0; r <= b; ++r) {
      if (row_min[size_t(r)] > row_max[size_t(r)]) continue;
      int64_t yy = top + r;
      if (yy < 0 || yy >= s->Height()) continue;
      int64_t xs = std::max<int64_t>(row_min[size_t(r)] + 1, 0);
      int64_t xe = std::min<int64_t>(row_max[size_t(r)] - 1, s->Width() - 1);
      uint16_t* d = s->Pixels() + size_t(yy) * s->Pitch();
      for (int64_t xx = xs; xx <= xe; ++xx) d[xx] = fill;
    }
  }
  const uint16_t pen = RGBTo565(ColorToRGB(Pen.Color));
  for (auto& [px, py] : points) PutPixel(s, px, py, pen);
  // Storage for an ellipse taller than any screen is not kept.
  if (row_min.size() > kKeptEllipseRows) {
    std::vector<int64_t>().swap(row_min);
    std::vector<int64_t>().swap(row_max);
    std::vector<std::pair<int64_t, int64_t>>().swap(points);
  }
}

}  // namespace media
