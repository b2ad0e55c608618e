#include "platform/win32/display.h"

#include <utility>

namespace platform::win32 {

namespace {

// 5-6-5 pixels as 0x00RRGGBB, each channel widened by repeating its top
// bits (so white stays white). GDI takes 32-bit pixels on its fast path; a
// 16-bit image would be converted by the system on every frame, and more
// slowly (under Wine, ten times as slow at 1920 x 1080).
void widen_565(const uint16_t* src, uint32_t* dst, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t p = src[i];
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    dst[i] = (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
  }
}

}  // namespace

WinDisplay::WinDisplay(std::string title) : window_(std::move(title)) {
  window_.set_display_listener(this);
  // The compositor's frame wait exists from Vista on; looked up at run time.
  if (HMODULE dwm = LoadLibraryW(L"dwmapi.dll"))
    dwm_flush_ =
        reinterpret_cast<DwmFlushFn>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmFlush")));
}

WinDisplay::~WinDisplay() { window_.destroy(); }

bool WinDisplay::set_mode(int width, int height, int bits, bool fullscreen) {
  if (width <= 0 || height <= 0) return false;
  if (fullscreen && !window_.offers(width, height, bits)) return false;
  // Hidden until the first frame is presented, so no empty window flashes
  // up while the game starts.
  if (!window_.create()) return false;
  width_ = width;
  height_ = height;
  frame_.assign(size_t(width) * size_t(height), 0);
  shrunk_stale_ = true;
  drawn_ = {};
  window_.place(fullscreen, width, height);
  return true;
}

Viewport WinDisplay::placement() const {
  RECT c{};
  if (window_) GetClientRect(window_.get(), &c);
  return fit_viewport(width_, height_, int(c.right), int(c.bottom));
}

bool WinDisplay::to_surface(int cx, int cy, int& sx, int& sy) const {
  const Viewport vp = placement();
  window_to_surface(vp, width_, height_, cx, cy, sx, sy);
  return inside(vp, cx, cy);
}

void WinDisplay::draw(HDC dc, bool with_bars) {
  const Viewport vp = placement();
  if (with_bars || vp.x != drawn_.x || vp.y != drawn_.y || vp.w != drawn_.w || vp.h != drawn_.h) {
    RECT c{};
    GetClientRect(window_.get(), &c);
    const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const RECT bars[4] = {{0, 0, c.right, vp.y},
                          {0, vp.y + vp.h, c.right, c.bottom},
                          {0, vp.y, vp.x, vp.y + vp.h},
                          {vp.x + vp.w, vp.y, c.right, vp.y + vp.h}};
    for (const RECT& bar : bars)
      if (bar.right > bar.left && bar.bottom > bar.top) FillRect(dc, &bar, black);
    drawn_ = vp;
  }
  if (vp.w <= 0 || vp.h <= 0 || frame_.empty()) return;
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = width_;
  bmi.bmiHeader.biHeight = -height_;  // top row first
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  if (vp.w == width_ && vp.h == height_) {
    SetDIBitsToDevice(dc, vp.x, vp.y, DWORD(width_), DWORD(height_), 0, 0, 0, UINT(height_),
                      frame_.data(), &bmi, DIB_RGB_COLORS);
    return;
  }
  if (FrameShrink::needed(width_, height_, vp.w, vp.h)) {
    // Smaller than it is: averaged (platform/frame_shrink.h), since GDI's
    // own averaging stretch is slow and its quick one drops pixels. A
    // repaint of the same frame at the same size uses the shrink made.
    if (shrunk_stale_ || shrunk_w_ != vp.w || shrunk_h_ != vp.h) {
      shrunk_.resize(size_t(vp.w) * size_t(vp.h));
      shrink_.shrink(frame_.data(), width_, height_, width_, shrunk_.data(), vp.w, vp.h, vp.w);
      shrunk_w_ = vp.w;
      shrunk_h_ = vp.h;
      shrunk_stale_ = false;
    }
    bmi.bmiHeader.biWidth = vp.w;
    bmi.bmiHeader.biHeight = -vp.h;
    SetDIBitsToDevice(dc, vp.x, vp.y, DWORD(vp.w), DWORD(vp.h), 0, 0, 0, UINT(vp.h), shrunk_.data(),
                      &bmi, DIB_RGB_COLORS);
    return;
  }
  // Enlarged to the nearest pixel: sharp at whole factors and cheap at any
  // other.
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, vp.x, vp.y, vp.w, vp.h, 0, 0, width_, height_, frame_.data(), &bmi,
                DIB_RGB_COLORS, SRCCOPY);
}

DeviceResult WinDisplay::present(const uint16_t* pixels, int width, int height, int pitch,
                                 int dst_x, int dst_y, int dst_w, int dst_h) {
  if (!window_ || !pixels || frame_.empty()) return DeviceResult::Failed;
  // The part of the destination inside the client area, and the matching
  // part of the source (copied one to one; the whole client area is scaled
  // to the window afterwards).
  const PresentCopy c = clip_present(width, height, dst_x, dst_y, dst_w, dst_h, width_, height_);
  const uint16_t* src = pixels + size_t(c.sy) * size_t(pitch) + size_t(c.sx);
  for (int y = 0; y < c.h && c.w > 0; ++y)
    widen_565(src + size_t(y) * size_t(pitch),
              &frame_[size_t(c.dy + y) * size_t(width_) + size_t(c.dx)], c.w);
  shrunk_stale_ = true;
  if (!window_.shown()) {
    window_.show();
    drawn_ = {};
  }
  HDC dc = GetDC(window_.get());
  if (!dc) return DeviceResult::Failed;
  draw(dc, false);
  ReleaseDC(window_.get(), dc);
  ++frames_;
  return DeviceResult::Ok;
}

void WinDisplay::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_.get(), &ps);
  if (dc) draw(dc, true);
  EndPaint(window_.get(), &ps);
}

bool WinDisplay::on_message(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  switch (msg) {
    case WM_PAINT:
      paint();
      result = 0;
      return true;
    case WM_SIZE:
    case WM_DISPLAYCHANGE:
      // The client area moved or changed size: the bars are drawn anew.
      drawn_ = {};
      if (window_.shown()) InvalidateRect(window_.get(), nullptr, FALSE);
      return false;
    default: return false;
  }
}

void WinDisplay::toggle_fullscreen() {
  if (!window_ || !window_.shown()) return;
  window_.set_fullscreen(!window_.fullscreen());
  drawn_ = {};
  InvalidateRect(window_.get(), nullptr, FALSE);
}

void WinDisplay::wait_vblank() {
  if (dwm_flush_ && window_.shown()) dwm_flush_();
}

void WinDisplay::close() {
  // The monitor's mode was never changed, so there is nothing to give back;
  // the window is hidden until a frame is presented again.
  window_.hide();
}

}  // namespace platform::win32
