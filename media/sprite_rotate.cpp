// Rotated and scaled sprite drawing onto RGB565 surfaces.
//
// Geometry: the four corners of the on-screen box are moved by the centre
// offset (truncated), turned with the cosine table and truncated again; the
// bounding box of the results, clipped to the destination, is walked row by
// row. For each row the source position of the first pixel centre is found
// by the inverse rotation and scale, then stepped per pixel in 16.16 fixed
// point. The part of the row whose source position falls inside the source
// rectangle is solved for exactly beforehand, so the inner loops carry no
// bounds tests and rows or spans that miss the sprite cost nothing.
#include "media/sprite_rotate.h"

#include <algorithm>
#include <cmath>

namespace media {

const std::array<double, 256>& CosTable() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (int i = 0; i < 256; ++i) t[size_t(i)] = std::cos(2.0 * M_PI * i / 256.0);
    return t;
  }();
  return table;
}

namespace {

// RGB565 spread over 64 bits with room above each channel:
// blue at bit 0, green at bit 21, red at bit 43. Products with an 8-bit
// fraction (<= 256) and sums of two channels never reach the next channel.
constexpr uint64_t kMask = 0x1Full | (0x3Full << 21) | (0x1Full << 43);

inline uint64_t Spread(uint16_t p) {
  return uint64_t(p & 0x001F) | (uint64_t(p & 0x07E0) << 16) | (uint64_t(p & 0xF800) << 32);
}

inline uint16_t Pack(uint64_t x) {
  return uint16_t((x & 0x1F) | ((x >> 16) & 0x07E0) | ((x >> 32) & 0xF800));
}

// Per-channel sum of two spread values, each channel clamped at its maximum.
inline uint64_t AddSaturate(uint64_t a, uint64_t b) {
  const uint64_t sum = a + b;
  constexpr uint64_t kCarry5 = (1ull << 5) | (1ull << 48);
  constexpr uint64_t kCarry6 = 1ull << 27;
  const uint64_t c5 = sum & kCarry5, c6 = sum & kCarry6;
  const uint64_t fill = (c5 - (c5 >> 5)) | (c6 - (c6 >> 6));
  return (sum | fill) & kMask;
}

struct PlainOp {
  uint16_t operator()(uint16_t s, uint16_t) const { return s; }
};
struct AddFullOp {
  uint16_t operator()(uint16_t s, uint16_t d) const {
    return Pack(AddSaturate(Spread(s), Spread(d)));
  }
};
struct AddAlphaOp {
  uint32_t a;
  uint16_t operator()(uint16_t s, uint16_t d) const {
    return Pack(AddSaturate(((Spread(s) * a) >> 8) & kMask, Spread(d)));
  }
};
struct MixOp {
  uint32_t a;
  uint16_t operator()(uint16_t s, uint16_t d) const {
    return Pack(((Spread(s) * a + Spread(d) * (256 - a)) >> 8) & kMask);
  }
};

// Floor and ceiling of n / d for d > 0.
inline int64_t FloorDiv(int64_t n, int64_t d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }
inline int64_t CeilDiv(int64_t n, int64_t d) { return n >= 0 ? (n + d - 1) / d : -((-n) / d); }

// Narrows [lo, hi] (indices k of a span) to those with lim_lo <= f0 + k*d < lim_hi.
inline void Constrain(int64_t f0, int64_t d, int64_t lim_lo, int64_t lim_hi, int64_t& lo,
                      int64_t& hi) {
  if (d == 0) {
    if (f0 < lim_lo || f0 >= lim_hi) hi = lo - 1;
    return;
  }
  if (d > 0) {
    lo = std::max(lo, CeilDiv(lim_lo - f0, d));
    hi = std::min(hi, FloorDiv(lim_hi - 1 - f0, d));
  } else {
    lo = std::max(lo, CeilDiv(f0 - (lim_hi - 1), -d));
    hi = std::min(hi, FloorDiv(f0 - lim_lo, -d));
  }
}

struct Span {
  uint16_t* dst;
  int64_t count;
  int64_t sx, sy;  // 16.16, relative to the source origin
};

// The inner loops. A general stepping loop, and one for spans that stay on
// one source row (no rotation, or half turns), which walks a row pointer.
template <bool Keyed, class Op>
inline void RunSpan(const Span& sp, int64_t dsx, int64_t dsy, const uint16_t* src, int32_t pitch,
                    uint16_t key, Op op) {
  uint16_t* __restrict d = sp.dst;
  const int64_t n = sp.count;
  int64_t sx = sp.sx;
  if (dsy == 0) {
    const uint16_t* __restrict row = src + size_t(sp.sy >> 16) * size_t(pitch);
    for (int64_t i = 0; i < n; ++i, sx += dsx) {
      const uint16_t s = row[sx >> 16];
      if constexpr (Keyed) {
        d[i] = s == key ? d[i] : op(s, d[i]);
      } else {
        d[i] = op(s, d[i]);
      }
    }
    return;
  }
  int64_t sy = sp.sy;
  for (int64_t i = 0; i < n; ++i, sx += dsx, sy += dsy) {
    const uint16_t s = src[size_t(sy >> 16) * size_t(pitch) + size_t(sx >> 16)];
    if constexpr (Keyed) {
      d[i] = s == key ? d[i] : op(s, d[i]);
    } else {
      d[i] = op(s, d[i]);
    }
  }
}

struct Setup {
  TDirectDrawSurface* dest;
  const uint16_t* src;  // source origin: the clipped source rectangle's top-left
  int32_t pitch;
  int64_t box_x0, box_x1, box_y0, box_y1;  // destination pixels, clipped, half-open
  double ox, oy;                           // source position (pixels) of dest (0, 0) centre...
  double ux, uy, vx, vy;                   // ...and its change per dest x and per dest y
  int64_t dsx, dsy;                        // 16.16 steps per dest x
  int64_t lim_x, lim_y;                    // 16.16 source extent
  uint16_t key;
};

template <bool Keyed, class Op>
void Render(const Setup& st, Op op) {
  TDirectDrawSurface* dest = st.dest;
  const int64_t n = st.box_x1 - st.box_x0;
  for (int64_t y = st.box_y0; y < st.box_y1; ++y) {
    const double px = double(st.box_x0) + 0.5, py = double(y) + 0.5;
    // Rounded to the nearest 1/65536 so the table's tiny residues (cos of a
    // quarter turn is not exactly 0) cannot tip an exact pixel boundary.
    const double gx = std::nearbyint((st.ox + px * st.ux + py * st.vx) * 65536.0);
    const double gy = std::nearbyint((st.oy + px * st.uy + py * st.vy) * 65536.0);
    // Positions this far off cannot reach the source (and would not fit).
    if (!(std::fabs(gx) < 0x1p46 && std::fabs(gy) < 0x1p46)) continue;
    const int64_t fx = int64_t(gx), fy = int64_t(gy);
    int64_t lo = 0, hi = n - 1;
    Constrain(fx, st.dsx, 0, st.lim_x, lo, hi);
    Constrain(fy, st.dsy, 0, st.lim_y, lo, hi);
    if (hi < lo) continue;
    Span sp;
    sp.dst = dest->Pixels() + size_t(y) * size_t(dest->Pitch()) + size_t(st.box_x0 + lo);
    sp.count = hi - lo + 1;
    sp.sx = fx + lo * st.dsx;
    sp.sy = fy + lo * st.dsy;
    RunSpan<Keyed>(sp, st.dsx, st.dsy, st.src, st.pitch, st.key, op);
  }
}

template <class Op>
void Dispatch(const Setup& st, bool keyed, Op op) {
  if (keyed)
    Render<true>(st, op);
  else
    Render<false>(st, op);
}

// Holds both surfaces locked for one draw.
class LockPair {
 public:
  LockPair(TDirectDrawSurface* a, TDirectDrawSurface* b) : a_(a), b_(b) {
    ok_a_ = a_->Lock();
    ok_b_ = b_ == a_ ? false : b_->Lock();
  }
  ~LockPair() {
    if (ok_a_) a_->Unlock();
    if (ok_b_) b_->Unlock();
  }
  bool ok() const { return ok_a_ && (b_ == a_ || ok_b_); }

 private:
  TDirectDrawSurface* a_;
  TDirectDrawSurface* b_;
  bool ok_a_ = false, ok_b_ = false;
};

}  // namespace

uint16_t BlendAdd565(uint16_t src, uint16_t dst, int alpha) {
  if (alpha >= 255) return AddFullOp{}(src, dst);
  return AddAlphaOp{uint32_t(std::max(alpha, 0))}(src, dst);
}

uint16_t BlendMix565(uint16_t src, uint16_t dst, int alpha) {
  if (alpha >= 255) return src;
  return MixOp{uint32_t(std::max(alpha, 0))}(src, dst);
}

void DrawRotated(TDirectDrawSurface* dest, int32_t x, int32_t y, int32_t width, int32_t height,
                 TDirectDrawSurface* source, const TRect& src_rect, double center_x,
                 double center_y, int angle, int alpha, TBlendRule rule, bool transparent) {
  if (!dest || !source || !dest->Exists() || !source->Exists()) return;
  if (width == 0 || height == 0) return;
  if (rule != TBlendRule::Plain && alpha <= 0) return;
  if (!std::isfinite(center_x) || !std::isfinite(center_y)) return;

  // The part of the source rectangle that lies on the source surface.
  const int64_t sl = std::max<int64_t>(src_rect.Left, 0);
  const int64_t st_ = std::max<int64_t>(src_rect.Top, 0);
  const int64_t sr = std::min<int64_t>(src_rect.Right, source->Width());
  const int64_t sb = std::min<int64_t>(src_rect.Bottom, source->Height());
  if (sr <= sl || sb <= st_) return;
  const double sw = double(src_rect.Right) - src_rect.Left;
  const double sh = double(src_rect.Bottom) - src_rect.Top;
  if (sw <= 0 || sh <= 0) return;

  const auto& cos_table = CosTable();
  const double c = cos_table[size_t(angle & 255)];
  const double s = cos_table[size_t((angle + 192) & 255)];

  // Corners of the box, offset by the centre and turned; both steps truncate.
  const double cu0 = std::trunc(0.0 - width * center_x), cu1 = std::trunc(width - width * center_x);
  const double cv0 = std::trunc(0.0 - height * center_y),
               cv1 = std::trunc(height - height * center_y);
  double min_x = INFINITY, max_x = -INFINITY, min_y = INFINITY, max_y = -INFINITY;
  for (double cu : {cu0, cu1}) {
    for (double cv : {cv0, cv1}) {
      const double mx = double(x) + std::trunc(cu * c - cv * s);
      const double my = double(y) + std::trunc(cu * s + cv * c);
      min_x = std::min(min_x, mx);
      max_x = std::max(max_x, mx);
      min_y = std::min(min_y, my);
      max_y = std::max(max_y, my);
    }
  }
  Setup stp;
  const double dw = dest->Width(), dh = dest->Height();
  stp.box_x0 = int64_t(std::clamp(min_x, 0.0, dw));
  stp.box_x1 = int64_t(std::clamp(max_x, 0.0, dw));
  stp.box_y0 = int64_t(std::clamp(min_y, 0.0, dh));
  stp.box_y1 = int64_t(std::clamp(max_y, 0.0, dh));
  if (stp.box_x1 <= stp.box_x0 || stp.box_y1 <= stp.box_y0) return;

  LockPair locks(dest, source);
  if (!locks.ok()) return;

  // Inverse mapping of a destination point (px, py):
  //   cu = (px - x) cos + (py - y) sin,  cv = -(px - x) sin + (py - y) cos
  //   source = ((cu - cu0) * sw / width, (cv - cv0) * sh / height)
  // expressed relative to the clipped source origin (sl, st_).
  const double kx = sw / width, ky = sh / height;
  stp.ux = c * kx;
  stp.vx = s * kx;
  stp.uy = -s * ky;
  stp.vy = c * ky;
  stp.ox = (-double(x) * c - double(y) * s - cu0) * kx - double(sl - src_rect.Left);
  stp.oy = (double(x) * s - double(y) * c - cv0) * ky - double(st_ - src_rect.Top);
  stp.dsx = std::llround(stp.ux * 65536.0);
  stp.dsy = std::llround(stp.uy * 65536.0);
  stp.lim_x = (sr - sl) << 16;
  stp.lim_y = (sb - st_) << 16;
  stp.dest = dest;
  stp.pitch = source->Pitch();
  stp.src = source->Pixels() + size_t(st_) * size_t(stp.pitch) + size_t(sl);
  stp.key = uint16_t(source->ColorKey());

  switch (rule) {
    case TBlendRule::Plain:
      Dispatch(stp, transparent, PlainOp{});
      break;
    case TBlendRule::Additive:
      if (alpha >= 255)
        Dispatch(stp, transparent, AddFullOp{});
      else
        Dispatch(stp, transparent, AddAlphaOp{uint32_t(alpha)});
      break;
    case TBlendRule::Blended:
      if (alpha >= 255)
        Dispatch(stp, transparent, PlainOp{});
      else
        Dispatch(stp, transparent, MixOp{uint32_t(alpha)});
      break;
  }
}

}  // namespace media
