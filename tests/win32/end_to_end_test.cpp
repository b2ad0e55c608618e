// The Windows game as a player meets it: zarnik.exe started in a folder of
// its own, driven from outside with the system's own input (the mouse moved
// and clicked, keys pressed) through the splash, the menu with a name
// typed, a game and Esc, then closed with Esc. Afterwards zarnik.ini is in
// the Windows directory, data.dat and zarnik.lnk beside the game. The screens
// on the way are checked on the screen's pixels and kept as BMP files.
#include <gtest/gtest.h>
// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/files.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* const kGameDir = "C:\\zarnik-e2e";
const char* const kShotsDir = "C:\\zarnik-e2e-shots";
const char* const kDataFiles[] = {"obrazky.xxx", "menu.xxx", "zvuk.xxx", "menu.mid", "hra.mid"};

// The build's run folder as Wine sees the host's files.
std::string run_dir() {
  std::string d = std::string("Z:") + ZARNIK_RUN_DIR;
  for (char& c : d)
    if (c == '/') c = '\\';
  return d;
}

struct Screen {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // 0x00RRGGBB
  uint32_t at(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
  // Pixels in the rectangle brighter than a dim grey.
  int lit(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint32_t p = at(x, y);
        if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) > 120) ++n;
      }
    return n;
  }
};

Screen grab() {
  Screen s;
  s.w = GetSystemMetrics(SM_CXSCREEN);
  s.h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = s.w;
  bi.bmiHeader.biHeight = -s.h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, s.w, s.h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const uint32_t*>(bits);
  s.px.assign(p, p + size_t(s.w) * size_t(s.h));
  for (auto& v : s.px) v &= 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return s;
}

void save_bmp(const Screen& s, const std::string& name) {
  std::error_code ec;
  fs::create_directories(kShotsDir, ec);
  std::ofstream f(std::string(kShotsDir) + "\\" + name + ".bmp", std::ios::binary);
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

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

struct Found {
  DWORD pid;
  HWND hwnd;
};

BOOL CALLBACK find_window(HWND hwnd, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t cls[64] = L"";
  GetClassNameW(hwnd, cls, 64);
  if (pid == f->pid && std::wstring(cls) == L"ZarnikWindow" && IsWindowVisible(hwnd)) {
    f->hwnd = hwnd;
    return FALSE;
  }
  return TRUE;
}

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  const std::string b{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  std::vector<std::string> out;
  std::string cur;
  for (size_t i = 0; i < b.size(); ++i) {
    if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n') {
      out.push_back(cur);
      cur.clear();
      ++i;
    } else {
      cur += b[i];
    }
  }
  EXPECT_TRUE(cur.empty()) << path << " has a line without CR LF";
  return out;
}

class GameProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    fs::remove_all(kGameDir, ec);
    fs::remove_all(kShotsDir, ec);
    fs::create_directories(kGameDir);
    fs::copy_file(run_dir() + "\\zarnik.exe", std::string(kGameDir) + "\\zarnik.exe");
    for (const char* name : kDataFiles)
      fs::copy_file(run_dir() + "\\" + name, std::string(kGameDir) + "\\" + name);
    settings_ = platform::win32::system_windows_directory() + "\\zarnik.ini";
    DeleteFileA(settings_.c_str());
  }
  void TearDown() override {
    if (pi_.hProcess) {
      if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 9);
      CloseHandle(pi_.hProcess);
      CloseHandle(pi_.hThread);
    }
  }

  void start() {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = std::string("\"") + kGameDir + "\\zarnik.exe\"";
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, kGameDir,
                               &si, &pi_));
    Found f{pi_.dwProcessId, nullptr};
    ASSERT_TRUE(wait_until(
        [&] {
          EnumWindows(find_window, reinterpret_cast<LPARAM>(&f));
          return f.hwnd != nullptr;
        },
        30s))
        << "no game window";
    hwnd_ = f.hwnd;
  }
  // Keys come as input from the keyboard, to the window that has the focus:
  // the game's, once it has shown its first frame.
  void key(int vk, std::chrono::milliseconds hold = 30ms) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = WORD(vk);
    SendInput(1, &in, sizeof in);
    std::this_thread::sleep_for(hold);
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &in, sizeof in);
    std::this_thread::sleep_for(60ms);
  }
  // The game reads the system's cursor: it is moved there first, and the
  // click comes as input from the mouse, to the window under it.
  void click(int x, int y) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
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
  // The menu's frame lines run across the screen 50 pixels from the top and
  // from the bottom.
  static bool menu_shown(const Screen& s) {
    return s.lit(0, 48, s.w, 53) > s.w / 2 && s.lit(0, s.h - 53, s.w, s.h - 48) > s.w / 2;
  }

  std::string settings_;
  PROCESS_INFORMATION pi_{};
  HWND hwnd_ = nullptr;
};

TEST_F(GameProgram, SplashMenuAGameAndEscLeaveTheFilesWhereTheyBelong) {
  start();
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  RECT r{};
  GetWindowRect(hwnd_, &r);
  EXPECT_EQ(r.right - r.left, w) << "the window covers the monitor";
  EXPECT_EQ(r.bottom - r.top, h);

  // The splash: the picture lit in the middle, the menu not yet there.
  Screen s;
  ASSERT_TRUE(wait_until(
      [&] {
        s = grab();
        return s.lit(w / 2 - 160, h / 2 - 120, w / 2 + 160, h / 2 + 120) > 2000;
      },
      10s))
      << "no splash";
  save_bmp(s, "1-splash");
  EXPECT_FALSE(menu_shown(s));

  // The menu after the 250 splash frames.
  ASSERT_TRUE(wait_until([&] { return menu_shown(s = grab()); }, 15s)) << "no menu";
  save_bmp(s, "2-menu");

  // A click on the name field, a name typed, Enter ends the editing.
  click(w - 100, h - 72);
  for (char c : std::string("WINE")) key(c);
  key(VK_RETURN);
  // Down highlights the first item, Enter starts a game.
  key(VK_DOWN);
  key(VK_RETURN);
  ASSERT_TRUE(wait_until([&] { return !menu_shown(s = grab()); }, 5s)) << "no game started";
  std::this_thread::sleep_for(500ms);
  // The ship is in the middle of the play screen.
  s = grab();
  save_bmp(s, "3-play");
  EXPECT_GT(s.lit(w / 2 - 40, h / 2 - 40, w / 2 + 40, h / 2 + 40), 100) << "no ship";
  key(VK_SPACE, 300ms);
  key(VK_LEFT, 400ms);
  key(VK_CONTROL);

  // Esc ends the game and enters the score; Esc in the menu closes.
  key(VK_ESCAPE);
  ASSERT_TRUE(wait_until([&] { return menu_shown(s = grab()); }, 5s)) << "no menu after the game";
  save_bmp(s, "4-menu-again");
  key(VK_ESCAPE);
  ASSERT_EQ(WaitForSingleObject(pi_.hProcess, 20000), WAIT_OBJECT_0) << "the game did not close";
  DWORD code = 1;
  GetExitCodeProcess(pi_.hProcess, &code);
  EXPECT_EQ(code, 0u);

  // zarnik.ini in the Windows directory: the mode, the name, the shortcut.
  const std::string dir = std::string(kGameDir) + "\\";
  EXPECT_EQ(lines_of(settings_),
            (std::vector<std::string>{"800", "600", "WINE", dir + "zarnik.lnk"}));
  // data.dat beside the game: one entry, the name and a score.
  const auto scores = lines_of(dir + "data.dat");
  ASSERT_EQ(scores.size(), 2u);
  auto unshift = [](std::string line) {
    for (size_t i = 0; i < line.size(); ++i) line[i] = char(uint8_t(line[i]) - uint8_t(i + 1));
    return line;
  };
  EXPECT_EQ(unshift(scores[0]).find_first_not_of("0123456789"), std::string::npos);
  EXPECT_EQ(unshift(scores[1]), "WINE");
  // zarnik.lnk beside the game, to the game in its folder (the test script
  // reads it with lnkinfo on the host too).
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkA* link = nullptr;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IShellLinkA, reinterpret_cast<void**>(&link)));
  IPersistFile* pf = nullptr;
  ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf)));
  const std::wstring lnk = L"C:\\zarnik-e2e\\zarnik.lnk";
  ASSERT_HRESULT_SUCCEEDED(pf->Load(lnk.c_str(), STGM_READ));
  char buf[MAX_PATH] = "";
  link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
  EXPECT_EQ(std::string(buf), dir + "zarnik.exe");
  link->GetWorkingDirectory(buf, MAX_PATH);
  EXPECT_EQ(std::string(buf), dir);
  pf->Release();
  link->Release();
  CoUninitialize();
  // Nothing else was left beside the game.
  for (const auto& e : fs::directory_iterator(kGameDir)) {
    const std::string n = e.path().filename().string();
    EXPECT_TRUE(n == "zarnik.exe" || n == "data.dat" || n == "zarnik.lnk" ||
                std::find(std::begin(kDataFiles), std::end(kDataFiles), n) != std::end(kDataFiles))
        << n;
  }
}

}  // namespace
