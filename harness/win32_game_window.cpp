#include "harness/win32_game_window.h"

#include <algorithm>
#include <fstream>
#include <thread>
#include <utility>

#include "platform/winapi/utf16.h"

namespace game_window {

// The build's run folder (zarnik.exe and the data files) as Wine sees the
// host's files.
std::string run_dir(const std::string& unix_path) {
  std::string d = "Z:" + unix_path;
  for (char& c : d)
    if (c == '/') c = '\\';
  return d;
}

// A fresh folder holding the game and its data files.
void make_game_folder(const std::string& from, const std::string& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  fs::copy_file(from + "\\zarnik.exe", folder + "\\zarnik.exe");
  for (const char* name : kDataFiles) fs::copy_file(from + "\\" + name, folder + "\\" + name);
}

int Screen::lit(int xa, int ya, int xb, int yb) const {
  int n = 0;
  for (int y = ya; y < yb; ++y)
    for (int x = xa; x < xb; ++x) {
      const uint32_t p = at(x, y);
      if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) > 120) ++n;
    }
  return n;
}

int screen_width() { return GetSystemMetrics(SM_CXSCREEN); }
int screen_height() { return GetSystemMetrics(SM_CYSCREEN); }

// Reads a rectangle of what a device context shows.
Screen grab_from(HDC src, int x0, int y0, int w, int h) {
  Screen s;
  s.x0 = x0;
  s.y0 = y0;
  s.w = w;
  s.h = h;
  HDC mem = CreateCompatibleDC(src);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = s.w;
  bi.bmiHeader.biHeight = -s.h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, s.w, s.h, src, x0, y0, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  s.px.assign(p, p + size_t(s.w) * size_t(s.h));
  for (auto& v : s.px) v &= 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  return s;
}

// Reads a rectangle of the screen (the whole screen by default).
Screen grab(int x0, int y0, int w, int h) {
  HDC screen = GetDC(nullptr);
  Screen s = grab_from(screen, x0, y0, w > 0 ? w : screen_width(), h > 0 ? h : screen_height());
  ReleaseDC(nullptr, screen);
  return s;
}

// A window's client area.
Screen grab_window(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  HDC dc = GetDC(hwnd);
  Screen s = grab_from(dc, 0, 0, int(r.right), int(r.bottom));
  ReleaseDC(hwnd, dc);
  return s;
}

// The splash picture (320 x 240 in the middle) is on the screen.
bool splash_lit() {
  const int w = screen_width(), h = screen_height();
  const Screen s = grab(w / 2 - 160, h / 2 - 120, 320, 240);
  return s.lit(s.x0, s.y0, s.x0 + s.w, s.y0 + s.h) > 2000;
}

void save_bmp(const Screen& s, const std::string& path) {
  std::ofstream f(path, std::ios::binary);
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  const DWORD bytes = DWORD(s.px.size() * 4);
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + bytes;
  ih.biSize = sizeof ih;
  ih.biWidth = s.w;
  ih.biHeight = -s.h;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  f.write(reinterpret_cast<const char*>(&ih), sizeof ih);
  f.write(reinterpret_cast<const char*>(s.px.data()), std::streamsize(bytes));
}

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit,
                std::chrono::milliseconds step) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

GameProcess::~GameProcess() {
  if (!pi_.hProcess) return;
  if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(pi_.hProcess, 9);
    WaitForSingleObject(pi_.hProcess, 5000);
  }
  CloseHandle(pi_.hProcess);
  CloseHandle(pi_.hThread);
}

bool GameProcess::start(const std::string& program, const std::string& folder,
                        const std::string& arguments) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring cmd =
      platform::win32::utf16("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments));
  return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        platform::win32::utf16(folder).c_str(), &si, &pi_) != 0;
}

HWND GameProcess::window() {
  if (hwnd_) return hwnd_;
  EnumWindows(&GameProcess::match, reinterpret_cast<LPARAM>(this));
  return hwnd_;
}

bool GameProcess::wait_exit(DWORD ms, DWORD& code) {
  if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(pi_.hProcess, &code);
  return true;
}

BOOL CALLBACK GameProcess::match(HWND hwnd, LPARAM lp) {
  auto* self = reinterpret_cast<GameProcess*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = L"";
  GetClassNameW(hwnd, cls, 64);
  if (pid != self->pi_.dwProcessId || std::wstring(cls) != self->class_ || !IsWindowVisible(hwnd))
    return TRUE;
  self->hwnd_ = hwnd;
  return FALSE;
}

// Keys as input from the keyboard, to the window that has the focus.
void press(int vk, std::chrono::milliseconds hold) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = WORD(vk);
  SendInput(1, &in, sizeof in);
  std::this_thread::sleep_for(hold);
  in.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &in, sizeof in);
  std::this_thread::sleep_for(60ms);
}

// The mouse moved to a screen position and clicked there (the game reads the
// system's cursor, so it is moved first).
void click(int x, int y) {
  const int w = screen_width(), h = screen_height();
  INPUT in[3] = {};
  for (INPUT& i : in) {
    i.type = INPUT_MOUSE;
    i.mi.dx = LONG((x * 65535 + w / 2) / (w - 1));
    i.mi.dy = LONG((y * 65535 + h / 2) / (h - 1));
  }
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  for (INPUT& i : in) {
    SendInput(1, &i, sizeof(INPUT));
    std::this_thread::sleep_for(80ms);
  }
}

namespace {

// A visible child window by its caption and, if given, class.
struct Search {
  std::wstring caption, cls;
  HWND found = nullptr;
};
BOOL CALLBACK match_child(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<Search*>(lp);
  wchar_t text[256] = {}, cls[64] = {};
  GetWindowTextW(h, text, 256);
  GetClassNameW(h, cls, 64);
  if ((s->caption.empty() || s->caption == text) &&
      (s->cls.empty() || !lstrcmpiW(cls, s->cls.c_str())) && IsWindowVisible(h)) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND child(HWND parent, const std::wstring& caption, const std::wstring& cls) {
  Search s{caption, cls};
  EnumChildWindows(parent, match_child, reinterpret_cast<LPARAM>(&s));
  return s.found;
}
std::wstring text_of(HWND h) {
  wchar_t text[MAX_PATH] = {};
  SendMessageW(h, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text));
  return text;
}

namespace {

// A visible top-level window of the process `pid` of the class `cls`.
struct TopSearch {
  DWORD pid;
  std::wstring cls;
  HWND found = nullptr;
};
BOOL CALLBACK match_top(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<TopSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (pid == s->pid && s->cls == cls && IsWindowVisible(h)) {
    s->found = h;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND top_level(DWORD pid, const std::wstring& cls) {
  TopSearch s{pid, cls};
  EnumWindows(match_top, reinterpret_cast<LPARAM>(&s));
  return s.found;
}
// The text of a message box: its longest static text.
std::wstring box_text(HWND box) {
  std::wstring best;
  for (HWND h = GetWindow(box, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    const std::wstring t = text_of(h);
    if (!lstrcmpiW(cls, L"Static") && t.size() > best.size()) best = t;
  }
  return best;
}

// Waits for a message box of `pid`, keeps what it showed (and a screenshot
// of the screen as a BMP file at `shot_path`, when given) and presses button
// `id`.
bool answer_box(DWORD pid, int id, Box& seen, const std::string& shot_path) {
  HWND box = nullptr;
  if (!wait_until([&] { return (box = message_box(pid)) != nullptr; }, 30s)) return false;
  std::this_thread::sleep_for(300ms);
  seen.text = box_text(box);
  std::vector<std::pair<LONG, std::wstring>> buttons;
  for (HWND h = GetWindow(box, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    RECT r{};
    GetWindowRect(h, &r);
    if (!lstrcmpiW(cls, L"Button") && IsWindowVisible(h)) buttons.emplace_back(r.left, text_of(h));
  }
  std::sort(buttons.begin(), buttons.end());
  seen.buttons.clear();
  for (const auto& [x, caption] : buttons)
    seen.buttons += (seen.buttons.empty() ? L"" : L"|") + caption;
  if (!shot_path.empty()) save_bmp(grab(), shot_path);
  PostMessageW(box, WM_COMMAND, id, 0);
  return wait_until([&] { return !IsWindow(box); }, 10s);
}

bool answer_box(DWORD pid, int id, std::wstring& text) {
  Box seen;
  const bool answered = answer_box(pid, id, seen);
  text = seen.text;
  return answered;
}

}  // namespace game_window
