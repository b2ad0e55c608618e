#include "platform/win32/window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/screen_fit.h"
#include "platform/winapi/utf16.h"

namespace platform::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"ZarnikWindow";

// Full screen: no frame at all. Windowed: a frame the player can size, with
// the usual buttons.
constexpr DWORD kFullScreenStyle = WS_POPUP;
constexpr DWORD kWindowedStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kStyleMask = WS_POPUP | WS_OVERLAPPEDWINDOW;

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (auto* w = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
    return w->message(msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

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

bool is_valid_bits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

MainWindow::MainWindow(std::string title) : title_(std::move(title)) {}

MainWindow::~MainWindow() {
  destroy();
  if (icon_) DestroyIcon(icon_);
}

RECT MainWindow::monitor_rect() {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi))
    r = mi.rcMonitor;
  return r;
}

std::vector<DisplayMode> MainWindow::modes() {
  if (!modes_.empty()) return modes_;
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

bool MainWindow::offers(int width, int height, int bits) {
  if (!is_valid_bits(bits)) return false;
  const auto list = modes();
  return std::any_of(list.begin(), list.end(), [&](const DisplayMode& m) {
    return m.width == width && m.height == height && m.bits == bits;
  });
}

void MainWindow::set_icon(const std::vector<uint32_t>& argb, int size) {
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
  apply_icon();
}

void MainWindow::apply_icon() {
  if (!hwnd_ || !icon_) return;
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
}

bool MainWindow::create() {
  if (hwnd_) return true;
  if (!register_class()) return false;
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kWindowClass, utf16(title_).c_str(), kFullScreenStyle, 0,
                          0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) {
    std::fprintf(stderr, "zarnik: cannot create the window (error %lu)\n", GetLastError());
    return false;
  }
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  apply_icon();
  shown_ = false;
  return true;
}

void MainWindow::destroy() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  hwnd_ = nullptr;
  shown_ = false;
}

void MainWindow::place(bool fullscreen, int width, int height) {
  fullscreen_ = fullscreen;
  width_ = width;
  height_ = height;
  if (!hwnd_) return;
  const RECT m = monitor_rect();
  const DWORD style = fullscreen ? kFullScreenStyle : kWindowedStyle;
  const bool restyled = (DWORD(GetWindowLongPtrW(hwnd_, GWL_STYLE)) & kStyleMask) != style;
  if (restyled) {
    SetWindowLongPtrW(hwnd_, GWL_STYLE,
                      LONG_PTR((DWORD(GetWindowLongPtrW(hwnd_, GWL_STYLE)) & ~kStyleMask) | style));
  }
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (restyled ? SWP_FRAMECHANGED : 0);
  if (fullscreen) {
    SetWindowPos(hwnd_, nullptr, m.left, m.top, m.right - m.left, m.bottom - m.top, flags);
    return;
  }
  // The mode's size, or the largest of its shape that leaves room for the
  // frame and the desktop's task bar.
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  RECT work = m;
  if (GetMonitorInfoW(MonitorFromPoint(POINT{m.left, m.top}, MONITOR_DEFAULTTOPRIMARY), &mi))
    work = mi.rcWork;
  const int room_w = int(work.right - work.left) * 9 / 10;
  const int room_h = int(work.bottom - work.top) * 9 / 10;
  if (room_w > 0 && room_h > 0 && (width > room_w || height > room_h)) {
    const Viewport fit = fit_viewport(width, height, room_w, room_h);
    width = fit.w;
    height = fit.h;
  }
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, style, FALSE, WS_EX_APPWINDOW);
  const int w = int(r.right - r.left), h = int(r.bottom - r.top);
  const int x = work.left + std::max(0, int(work.right - work.left) - w) / 2;
  const int y = work.top + std::max(0, int(work.bottom - work.top) - h) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, w, h, flags);
}

void MainWindow::set_fullscreen(bool fullscreen) {
  if (fullscreen == fullscreen_) return;
  place(fullscreen, width_, height_);
  if (shown_) {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
  }
}

void MainWindow::show() {
  if (!hwnd_) return;
  shown_ = true;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void MainWindow::hide() {
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
  shown_ = false;
}

LRESULT MainWindow::message(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: return 1;  // the frame and its bars cover everything
    case WM_DISPLAYCHANGE:
      // The monitor took another size: the window is placed on it again.
      place(fullscreen_, width_, height_);
      break;
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
  LRESULT result = 0;
  if (display_ && display_->on_message(msg, wp, lp, result)) return result;
  if (input_ && input_->on_message(msg, wp, lp, result)) return result;
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace platform::win32
