#include "platform/win32/window.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <shellapi.h>
#include <windowsx.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace platform::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"ZarnikWindow";

bool is_valid_bits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

ATOM register_class() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    // Double clicks come as their own message; the device context is the
    // window's own, so its stretch mode stays set between frames.
    wc.style = CS_DBLCLKS | CS_OWNDC;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;  // the frame and its bars cover everything
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

// The primary monitor's rectangle in screen pixels.
RECT monitor_rect() {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi))
    r = mi.rcMonitor;
  return r;
}

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

std::wstring widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
  return out;
}

// ---------------------------------------------------------------------------

WinDisplay::WinDisplay(std::string title) : title_(std::move(title)) {
  // The compositor's frame wait exists from Vista on; looked up at run time.
  if (HMODULE dwm = LoadLibraryW(L"dwmapi.dll"))
    dwm_flush_ =
        reinterpret_cast<DwmFlushFn>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmFlush")));
}

WinDisplay::~WinDisplay() {
  destroy_window();
  if (icon_) DestroyIcon(icon_);
}

void WinDisplay::set_icon(const std::vector<uint32_t>& argb, int size) {
  if (size <= 0 || argb.size() != size_t(size) * size_t(size)) return;
  BITMAPV5HEADER h{};
  h.bV5Size = sizeof h;
  h.bV5Width = size;
  h.bV5Height = -size;  // top row first
  h.bV5Planes = 1;
  h.bV5BitCount = 32;
  h.bV5Compression = BI_BITFIELDS;
  h.bV5RedMask = 0x00FF0000;
  h.bV5GreenMask = 0x0000FF00;
  h.bV5BlueMask = 0x000000FF;
  h.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!colour) return;
  std::memcpy(bits, argb.data(), argb.size() * 4);
  // The alpha channel decides; the mask only has to exist.
  HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
  ICONINFO ii{};
  ii.fIcon = TRUE;
  ii.hbmColor = colour;
  ii.hbmMask = mask;
  if (icon_) DestroyIcon(icon_);
  icon_ = CreateIconIndirect(&ii);
  DeleteObject(colour);
  DeleteObject(mask);
  if (hwnd_ && icon_) {
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  }
}

void WinDisplay::destroy_window() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  hwnd_ = nullptr;
  shown_ = false;
}

std::vector<DisplayMode> WinDisplay::modes() {
  if (!modes_.empty()) return modes_;
  // The monitor's own sizes and the usual ones up to the desktop, each
  // offered at every depth: the back surface is converted by GDI whatever
  // the desktop's depth.
  std::vector<std::pair<int, int>> monitor;
  DEVMODEW dm{};
  dm.dmSize = sizeof dm;
  for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &dm); ++i)
    monitor.emplace_back(int(dm.dmPelsWidth), int(dm.dmPelsHeight));
  const RECT m = monitor_rect();
  for (auto [w, h] :
       offered_sizes(std::move(monitor), int(m.right - m.left), int(m.bottom - m.top)))
    for (int bits : {8, 16, 24, 32}) modes_.push_back({w, h, bits});
  return modes_;
}

bool WinDisplay::set_mode(int width, int height, int bits, bool fullscreen) {
  if (width <= 0 || height <= 0) return false;
  if (fullscreen) {
    if (!is_valid_bits(bits)) return false;
    const auto list = modes();
    const bool offered = std::any_of(list.begin(), list.end(), [&](const DisplayMode& m) {
      return m.width == width && m.height == height && m.bits == bits;
    });
    if (!offered) return false;
  }
  if (!hwnd_) {
    if (!register_class()) return false;
    // Hidden until the first frame is presented, so no empty window flashes
    // up while the game starts.
    hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kWindowClass, widen(title_).c_str(), WS_POPUP, 0, 0,
                            width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) {
      std::fprintf(stderr, "zarnik: cannot create the window (error %lu)\n", GetLastError());
      return false;
    }
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (icon_) {
      SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
      SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    }
    shown_ = false;
  }
  width_ = width;
  height_ = height;
  fullscreen_ = fullscreen;
  frame_.assign(size_t(width) * size_t(height), 0);
  drawn_ = {};
  fit_to_monitor();
  return true;
}

void WinDisplay::fit_to_monitor() {
  if (!hwnd_) return;
  const RECT m = monitor_rect();
  if (fullscreen_) {
    SetWindowPos(hwnd_, nullptr, m.left, m.top, m.right - m.left, m.bottom - m.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    const int x = m.left + std::max(0, int(m.right - m.left) - width_) / 2;
    const int y = m.top + std::max(0, int(m.bottom - m.top) - height_) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  drawn_ = {};
  if (shown_) InvalidateRect(hwnd_, nullptr, FALSE);
}

Viewport WinDisplay::placement() const {
  RECT c{};
  if (hwnd_) GetClientRect(hwnd_, &c);
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
    GetClientRect(hwnd_, &c);
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
  // Nearest-pixel scaling: sharp at whole factors and cheap at any other.
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, vp.x, vp.y, vp.w, vp.h, 0, 0, width_, height_, frame_.data(), &bmi,
                DIB_RGB_COLORS, SRCCOPY);
}

DeviceResult WinDisplay::present(const uint16_t* pixels, int width, int height, int pitch,
                                 int dst_x, int dst_y, int dst_w, int dst_h) {
  if (!hwnd_ || !pixels || frame_.empty()) return DeviceResult::Failed;
  // The part of the destination inside the client area, and the matching
  // part of the source (copied one to one; the whole client area is scaled
  // to the window afterwards).
  const PresentCopy c = clip_present(width, height, dst_x, dst_y, dst_w, dst_h, width_, height_);
  const uint16_t* src = pixels + size_t(c.sy) * size_t(pitch) + size_t(c.sx);
  for (int y = 0; y < c.h && c.w > 0; ++y)
    widen_565(src + size_t(y) * size_t(pitch),
              &frame_[size_t(c.dy + y) * size_t(width_) + size_t(c.dx)], c.w);
  if (!shown_) {
    shown_ = true;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    drawn_ = {};
  }
  HDC dc = GetDC(hwnd_);
  if (!dc) return DeviceResult::Failed;
  draw(dc, false);
  ReleaseDC(hwnd_, dc);
  ++frames_;
  return DeviceResult::Ok;
}

void WinDisplay::paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (dc) draw(dc, true);
  EndPaint(hwnd_, &ps);
}

void WinDisplay::wait_vblank() {
  if (dwm_flush_ && shown_) dwm_flush_();
}

void WinDisplay::close() {
  // The monitor's mode was never changed, so there is nothing to give back;
  // the window is hidden until a frame is presented again.
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  shown_ = false;
}

// ---------------------------------------------------------------------------

namespace {

// The system object that takes the window's messages (one game window per
// process).
WinSystem* g_events = nullptr;

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* display = reinterpret_cast<WinDisplay*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_PAINT:
      if (display) {
        display->paint();
        return 0;
      }
      break;
    case WM_ERASEBKGND: return 1;
    case WM_DISPLAYCHANGE:
      if (display) display->fit_to_monitor();
      return 0;
    case WM_SYSCOMMAND:
      // No menu mode on Alt (it would stop the game's loop), and no screen
      // saver or monitor sleep while the game runs.
      switch (wp & 0xFFF0) {
        case SC_KEYMENU:
        case SC_SCREENSAVE:
        case SC_MONITORPOWER: return 0;
        default: break;
      }
      break;
    default: break;
  }
  if (display && g_events && g_events->translate(hwnd, msg, wp, lp)) return 0;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Czech captions for the question box's buttons, whatever the system's
// language: set as the box opens.
HHOOK g_box_hook = nullptr;

LRESULT CALLBACK box_hook(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wp);
    SetDlgItemTextW(box, IDYES, L"Ano");
    SetDlgItemTextW(box, IDNO, L"Ne");
  }
  return CallNextHookEx(g_box_hook, code, wp, lp);
}

}  // namespace

WinSystem::WinSystem(WinDisplay* display) : display_(display) { g_events = this; }

WinSystem::~WinSystem() {
  if (g_events == this) g_events = nullptr;
  if (cursor_hidden_) ShowCursor(TRUE);
}

uint32_t WinSystem::shift_state() {
  uint32_t s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= 1;
  if (GetKeyState(VK_MENU) < 0) s |= 2;
  if (GetKeyState(VK_CONTROL) < 0) s |= 4;
  return s;
}

void WinSystem::clamp_to_surface(int& x, int& y) const {
  x = std::clamp(x, 0, std::max(0, display_->client_width() - 1));
  y = std::clamp(y, 0, std::max(0, display_->client_height() - 1));
}

void WinSystem::push_mouse(EventType type, int button, int cx, int cy) {
  Event e;
  e.type = type;
  e.button = button;
  display_->to_surface(cx, cy, e.x, e.y);
  clamp_to_surface(e.x, e.y);
  e.shift = shift_state();
  queue_.push_back(e);
}

bool WinSystem::translate(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      // The window's virtual-key codes are the game's own.
      const int key = int(wp);
      if (key <= 0 || key > 254) return false;
      const bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
      Event e;
      e.type = down ? EventType::KeyDown : EventType::KeyUp;
      e.key = key;
      e.shift = shift_state();
      keys_down_[size_t(key)] = down;
      queue_.push_back(e);  // auto-repeat key-downs pass through as they come
      // Alt with a key goes on to the system (Alt+F4 closes the window).
      return msg == WM_KEYDOWN || msg == WM_KEYUP;
    }
    case WM_MOUSEMOVE:
      push_mouse(EventType::MouseMove, 0, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
      const int b = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)   ? 0
                    : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) ? 1
                                                                         : 2;
      const int cx = GET_X_LPARAM(lp), cy = GET_Y_LPARAM(lp);
      int sx = 0, sy = 0;
      // The bars are not part of the drawing surface: presses there are
      // dropped.
      if (!display_->to_surface(cx, cy, sx, sy)) return true;
      button_down_[b] = true;
      SetCapture(hwnd);
      // The second press of a double click comes as the double-click notice
      // followed by the press itself (down, up, double click, down, up),
      // and only for the left button.
      if (msg == WM_LBUTTONDBLCLK) push_mouse(EventType::DoubleClick, 0, cx, cy);
      push_mouse(EventType::MouseDown, b, cx, cy);
      return true;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const int b = msg == WM_LBUTTONUP ? 0 : msg == WM_RBUTTONUP ? 1 : 2;
      // A release is passed on when its press was, wherever it happens, so a
      // button held while the cursor leaves the surface is not stuck.
      if (!button_down_[b]) return true;
      button_down_[b] = false;
      if (!button_down_[0] && !button_down_[1] && !button_down_[2]) ReleaseCapture();
      push_mouse(EventType::MouseUp, b, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      return true;
    }
    case WM_MOUSEWHEEL: {
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};  // screen position
      ScreenToClient(hwnd, &pt);
      // One notice per whole notch, as the handlers count them; finer wheels
      // add up to a notch first.
      wheel_rest_ += GET_WHEEL_DELTA_WPARAM(wp);
      while (wheel_rest_ >= WHEEL_DELTA || wheel_rest_ <= -WHEEL_DELTA) {
        const int notch = wheel_rest_ > 0 ? WHEEL_DELTA : -WHEEL_DELTA;
        wheel_rest_ -= notch;
        push_mouse(EventType::Wheel, 0, pt.x, pt.y);
        queue_.back().wheel_delta = notch;
      }
      return true;
    }
    case WM_ACTIVATEAPP: {
      Event e;
      e.type = wp ? EventType::Activate : EventType::Deactivate;
      if (!wp) {
        // Keys held while the focus goes elsewhere never see their release
        // here: they are let go now, so no flag stays set.
        for (int k = 1; k < 255; ++k) {
          if (!keys_down_[size_t(k)]) continue;
          keys_down_[size_t(k)] = false;
          Event up;
          up.type = EventType::KeyUp;
          up.key = k;
          queue_.push_back(up);
        }
      }
      queue_.push_back(e);
      return false;
    }
    case WM_CLOSE: {
      // Closing the window, or the session asking the program to end: the
      // game closes it itself.
      Event e;
      e.type = EventType::Close;
      queue_.push_back(e);
      return true;
    }
    default: return false;
  }
}

bool WinSystem::poll_event(Event& e) {
  MSG msg;
  while (queue_.empty() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      Event q;
      q.type = EventType::Close;
      queue_.push_back(q);
      break;
    }
    DispatchMessageW(&msg);
  }
  if (queue_.empty()) return false;
  e = queue_.front();
  queue_.pop_front();
  return true;
}

void WinSystem::wait_event(uint32_t timeout_ms) {
  if (!queue_.empty() || timeout_ms == 0) return;
  MsgWaitForMultipleObjectsEx(0, nullptr, timeout_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

Point WinSystem::cursor_pos() {
  POINT pt{};
  GetCursorPos(&pt);
  if (HWND w = display_->window()) ScreenToClient(w, &pt);
  Point p;
  display_->to_surface(pt.x, pt.y, p.x, p.y);
  clamp_to_surface(p.x, p.y);
  return p;
}

void WinSystem::show_cursor(bool visible) {
  // One step of the system's display counter, as the game asks.
  ShowCursor(visible ? TRUE : FALSE);
  cursor_hidden_ = !visible;
}

int WinSystem::shell_open(const std::string& url) {
  const HINSTANCE r =
      ShellExecuteA(display_->window(), "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return int(reinterpret_cast<INT_PTR>(r));
}

namespace {

// A box must show the pointer the game hides; it is hidden again after.
struct CursorShownForBox {
  bool was_hidden;
  explicit CursorShownForBox(bool hidden) : was_hidden(hidden) {
    if (was_hidden) ShowCursor(TRUE);
  }
  ~CursorShownForBox() {
    if (was_hidden) ShowCursor(FALSE);
  }
};

}  // namespace

void WinSystem::error_box(const std::string& title_utf8, const std::string& text_utf8) {
  std::fprintf(stderr, "%s: %s\n", title_utf8.c_str(), text_utf8.c_str());
  CursorShownForBox shown(cursor_hidden_);
  // The wide box: the texts are Czech and an 8-bit box would show them only
  // where the system's code page is Central European.
  MessageBoxW(display_->window(), widen(text_utf8).c_str(), widen(title_utf8).c_str(),
              MB_OK | MB_ICONERROR);
}

bool WinSystem::confirm_box(const std::string& title_utf8, const std::string& text_utf8) {
  CursorShownForBox shown(cursor_hidden_);
  return ask_yes_no(display_->window(), title_utf8, text_utf8);
}

bool ask_yes_no(HWND owner, const std::string& title_utf8, const std::string& text_utf8) {
  g_box_hook = SetWindowsHookExW(WH_CBT, box_hook, nullptr, GetCurrentThreadId());
  const int answer = MessageBoxW(owner, widen(text_utf8).c_str(), widen(title_utf8).c_str(),
                                 MB_YESNO | MB_ICONQUESTION);
  if (g_box_hook) UnhookWindowsHookEx(g_box_hook);
  g_box_hook = nullptr;
  return answer == IDYES;
}

}  // namespace platform::win32
