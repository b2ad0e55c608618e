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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The per-pixel rules on RGB565, channel by channel. `a` is the source
// weight in 1/256: the blended rule uses 1..255 (255 and above is a plain
// copy), the additive rule 1..256, where 256 adds the source whole.
inline uint16_t Mix1(uint16_t s, uint16_t d, uint32_t a) {
  const uint32_t ia = 256 - a;
  const uint32_t r = (uint32_t(s >> 11) * a + uint32_t(d >> 11) * ia) >> 8;
  const uint32_t g = (uint32_t((s >> 5) & 63) * a + uint32_t((d >> 5) & 63) * ia) >> 8;
  const uint32_t b = (uint32_t(s & 31) * a + uint32_t(d & 31) * ia) >> 8;
  return uint16_t((r << 11) | (g << 5) | b);
}

inline uint16_t Add1(uint16_t s, uint16_t d, uint32_t a) {
  const uint32_t r = std::min<uint32_t>(uint32_t(d >> 11) + ((uint32_t(s >> 11) * a) >> 8), 31);
  const uint32_t g =
      std::min<uint32_t>(uint32_t((d >> 5) & 63) + ((uint32_t((s >> 5) & 63) * a) >> 8), 63);
  const uint32_t b = std::min<uint32_t>(uint32_t(d & 31) + ((uint32_t(s & 31) * a) >> 8), 31);
  return uint16_t((r << 11) | (g << 5) | b);
}

enum class Kind { Plain, Add, Mix };

// Blends a run of gathered source pixels into the destination: eight at a
// time with SSE2 (16-bit lanes hold every product: 63 * 256 < 65536), the
// rest one by one with the same arithmetic.
template <Kind K, bool Keyed>
void BlendRun(const uint16_t* __restrict s, uint16_t* __restrict d, int64_t n, uint32_t a,
              uint16_t key) {
  int64_t i = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi16(short(a)), via = _mm_set1_epi16(short(256 - a));
  const __m128i m63 = _mm_set1_epi16(63), m31 = _mm_set1_epi16(31);
  const __m128i vkey = _mm_set1_epi16(short(key));
  for (; i + 8 <= n; i += 8) {
    const __m128i vs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i vd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const __m128i sr = _mm_srli_epi16(vs, 11), dr = _mm_srli_epi16(vd, 11);
    const __m128i sg = _mm_and_si128(_mm_srli_epi16(vs, 5), m63);
    const __m128i dg = _mm_and_si128(_mm_srli_epi16(vd, 5), m63);
    const __m128i sb = _mm_and_si128(vs, m31), db = _mm_and_si128(vd, m31);
    __m128i r, g, b;
    if constexpr (K == Kind::Mix) {
      r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sr, va), _mm_mullo_epi16(dr, via)), 8);
      g = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sg, va), _mm_mullo_epi16(dg, via)), 8);
      b = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(sb, va), _mm_mullo_epi16(db, via)), 8);
    } else {
      r = _mm_min_epi16(_mm_add_epi16(dr, _mm_srli_epi16(_mm_mullo_epi16(sr, va), 8)), m31);
      g = _mm_min_epi16(_mm_add_epi16(dg, _mm_srli_epi16(_mm_mullo_epi16(sg, va), 8)), m63);
      b = _mm_min_epi16(_mm_add_epi16(db, _mm_srli_epi16(_mm_mullo_epi16(sb, va), 8)), m31);
    }
    __m128i out = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
    if constexpr (Keyed) {
      const __m128i m = _mm_cmpeq_epi16(vs, vkey);
      out = _mm_or_si128(_mm_and_si128(m, vd), _mm_andnot_si128(m, out));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), out);
  }
#endif
  for (; i < n; ++i) {
    const uint16_t v = K == Kind::Mix ? Mix1(s[i], d[i], a) : Add1(s[i], d[i], a);
    if constexpr (Keyed) {
      d[i] = s[i] == key ? d[i] : v;
    } else {
      d[i] = v;
    }
  }
}

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

// Fetches n source pixels along the step into out.
inline void Gather(uint16_t* __restrict out, int64_t n, int64_t sx, int64_t sy, int64_t dsx,
                   int64_t dsy, const uint16_t* src, int32_t pitch) {
  if (dsy == 0) {
    const uint16_t* row = src + size_t(sy >> 16) * size_t(pitch);
    for (int64_t i = 0; i < n; ++i, sx += dsx) out[i] = row[sx >> 16];
    return;
  }
  for (int64_t i = 0; i < n; ++i, sx += dsx, sy += dsy)
    out[i] = src[size_t(sy >> 16) * size_t(pitch) + size_t(sx >> 16)];
}

// One span. The plain rule copies straight from the source, walking a row
// pointer when the span stays on one source row (no turn, or a half turn).
// The blending rules gather the source pixels first and blend them in bulk.
template <Kind K, bool Keyed>
inline void RunSpan(const Span& sp, int64_t dsx, int64_t dsy, const uint16_t* src, int32_t pitch,
                    uint16_t key, uint32_t a) {
  uint16_t* __restrict d = sp.dst;
  int64_t n = sp.count;
  int64_t sx = sp.sx, sy = sp.sy;
  if constexpr (K == Kind::Plain) {
    if (dsy == 0) {
      const uint16_t* __restrict row = src + size_t(sy >> 16) * size_t(pitch);
      for (int64_t i = 0; i < n; ++i, sx += dsx) {
        const uint16_t s = row[sx >> 16];
        if constexpr (Keyed) {
          d[i] = s == key ? d[i] : s;
        } else {
          d[i] = s;
        }
      }
      return;
    }
    for (int64_t i = 0; i < n; ++i, sx += dsx, sy += dsy) {
      const uint16_t s = src[size_t(sy >> 16) * size_t(pitch) + size_t(sx >> 16)];
      if constexpr (Keyed) {
        d[i] = s == key ? d[i] : s;
      } else {
        d[i] = s;
      }
    }
  } else {
    constexpr int64_t kChunk = 512;
    uint16_t buf[kChunk];
    while (n > 0) {
      const int64_t m = std::min(n, kChunk);
      Gather(buf, m, sx, sy, dsx, dsy, src, pitch);
      BlendRun<K, Keyed>(buf, d, m, a, key);
      d += m;
      n -= m;
      sx += m * dsx;
      sy += m * dsy;
    }
  }
}

struct Setup {
  TDirectDrawSurface* dest;
  const uint16_t* src;  // source origin: the clipped source rectangle's top-left
  int32_t pitch;
  int64_t box_x0, box_x1, box_y0, box_y1;  // destination pixels, clipped, half-open
  double ox, oy;                           // source position (pixels) of dest point (0, 0)...
  double ux, uy, vx, vy;                   // ...and its change per dest x and per dest y
  int64_t dsx, dsy;                        // 16.16 steps per dest x
  int64_t lim_x, lim_y;                    // 16.16 source extent
  uint16_t key;
};

template <Kind K, bool Keyed>
void Render(const Setup& st, uint32_t a) {
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
    RunSpan<K, Keyed>(sp, st.dsx, st.dsy, st.src, st.pitch, st.key, a);
  }
}

template <Kind K>
void Dispatch(const Setup& st, bool keyed, uint32_t a) {
  if (keyed)
    Render<K, true>(st, a);
  else
    Render<K, false>(st, a);
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
  if (alpha <= 0) return dst;
  return Add1(src, dst, alpha >= 255 ? 256u : uint32_t(alpha));
}

uint16_t BlendMix565(uint16_t src, uint16_t dst, int alpha) {
  if (alpha <= 0) return dst;
  if (alpha >= 255) return src;
  return Mix1(src, dst, uint32_t(alpha));
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
    case TBlendRule::Plain: Dispatch<Kind::Plain>(stp, transparent, 256); break;
    case TBlendRule::Additive:
      // At full alpha the whole source is added.
      Dispatch<Kind::Add>(stp, transparent, alpha >= 255 ? 256u : uint32_t(alpha));
      break;
    case TBlendRule::Blended:
      if (alpha >= 255)
        Dispatch<Kind::Plain>(stp, transparent, 256);
      else
        Dispatch<Kind::Mix>(stp, transparent, uint32_t(alpha));
      break;
  }
}

}  // namespace media
