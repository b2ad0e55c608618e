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

#include "harness/win32_game_window.h"
#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"

namespace {

using namespace game_window;

const char* const kGameDir = "C:\\zarnik-e2e";
const char* const kShotsDir = "C:\\zarnik-e2e-shots";

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

// Alt+Enter as the keyboard gives it.
void alt_enter() {
  INPUT in[4] = {};
  const WORD keys[4] = {VK_MENU, VK_RETURN, VK_RETURN, VK_MENU};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = keys[i];
    in[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in[i], sizeof(INPUT));
    std::this_thread::sleep_for(40ms);
  }
}

class GameProgram : public ::testing::Test {
 protected:
  // The screenshots of every test, emptied once before the first.
  static void SetUpTestSuite() {
    std::error_code ec;
    fs::remove_all(kShotsDir, ec);
    fs::create_directories(kShotsDir);
  }
  void SetUp() override {
    make_game_folder(run_dir(ZARNIK_RUN_DIR), kGameDir);
    settings_ = platform::win32::system_windows_directory() + "\\zarnik.ini";
    DeleteFileA(settings_.c_str());
  }
  void shot(const Screen& s, const std::string& name) {
    save_bmp(s, std::string(kShotsDir) + "\\" + name + ".bmp");
  }
  // The menu's frame lines run across the screen 50 pixels from the top and
  // from the bottom.
  static bool menu_shown(const Screen& s) {
    return s.lit(0, 48, s.w, 53) > s.w / 2 && s.lit(0, s.h - 53, s.w, s.h - 48) > s.w / 2;
  }

  std::string settings_;
  GameProcess game_;
};

TEST_F(GameProgram, SplashMenuAGameAndEscLeaveTheFilesWhereTheyBelong) {
  ASSERT_TRUE(game_.start(kGameDir));
  ASSERT_TRUE(wait_until([&] { return game_.window() != nullptr; }, 30s)) << "no game window";
  const int w = screen_width(), h = screen_height();
  RECT r{};
  GetWindowRect(game_.window(), &r);
  EXPECT_EQ(r.right - r.left, w) << "the window covers the monitor";
  EXPECT_EQ(r.bottom - r.top, h);

  // The splash: the picture lit in the middle, the menu not yet there.
  Screen s;
  ASSERT_TRUE(wait_until(splash_lit, 10s)) << "no splash";
  s = grab();
  shot(s, "1-splash");
  EXPECT_FALSE(menu_shown(s));

  // The menu after the 250 splash frames.
  ASSERT_TRUE(wait_until([&] { return menu_shown(s = grab()); }, 15s)) << "no menu";
  shot(s, "2-menu");

  // F11: a framed window the player may size, its client area the mode's
  // shape (on this 800 x 600 screen smaller than the mode, to leave room),
  // the menu scaled into it; Alt+Enter: full screen again.
  HWND hwnd = game_.window();
  press(VK_F11);
  ASSERT_TRUE(wait_until([&] { return (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) != 0; }, 5s))
      << "F11 made no window";
  std::this_thread::sleep_for(500ms);
  shot(grab(), "2a-window");
  RECT c{};
  GetClientRect(hwnd, &c);
  EXPECT_LT(c.right, screen_width());
  EXPECT_NEAR(double(c.right) / c.bottom, 800.0 / 600.0, 0.01) << "the aspect kept";
  const Screen in_window = grab_window(hwnd);
  EXPECT_GT(in_window.lit(0, 0, in_window.w, in_window.h), 1000) << "the menu drawn in it";
  alt_enter();
  ASSERT_TRUE(wait_until([&] { return (GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == 0; }, 5s))
      << "Alt+Enter did not go back to full screen";
  ASSERT_TRUE(wait_until([&] { return menu_shown(s = grab()); }, 5s)) << "no menu in full screen";
  shot(s, "2b-full-screen-again");

  // A click on the name field, a name typed, Enter ends the editing.
  click(w - 100, h - 72);
  for (char c : std::string("WINE")) press(c);
  press(VK_RETURN);
  // Down highlights the first item, Enter starts a game.
  press(VK_DOWN);
  press(VK_RETURN);
  ASSERT_TRUE(wait_until([&] { return !menu_shown(s = grab()); }, 5s)) << "no game started";
  std::this_thread::sleep_for(500ms);
  // The ship is in the middle of the play screen.
  s = grab();
  shot(s, "3-play");
  EXPECT_GT(s.lit(w / 2 - 40, h / 2 - 40, w / 2 + 40, h / 2 + 40), 100) << "no ship";
  press(VK_SPACE, 300ms);
  press(VK_LEFT, 400ms);
  press(VK_CONTROL);

  // Esc ends the game and enters the score; Esc in the menu closes.
  press(VK_ESCAPE);
  ASSERT_TRUE(wait_until([&] { return menu_shown(s = grab()); }, 5s)) << "no menu after the game";
  shot(s, "4-menu-again");
  press(VK_ESCAPE);
  DWORD code = 1;
  ASSERT_TRUE(game_.wait_exit(20000, code)) << "the game did not close";
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
  // Kept for the host's lnkinfo with the screenshots: the next test makes
  // the game folder anew.
  EXPECT_TRUE(CopyFileW(lnk.c_str(), L"C:\\zarnik-e2e-shots\\zarnik.lnk", FALSE));
  // Nothing else was left beside the game.
  for (const auto& e : fs::directory_iterator(kGameDir)) {
    const std::string n = e.path().filename().string();
    EXPECT_TRUE(n == "zarnik.exe" || n == "data.dat" || n == "zarnik.lnk" ||
                std::find(std::begin(kDataFiles), std::end(kDataFiles), n) != std::end(kDataFiles))
        << n;
  }
}

TEST_F(GameProgram, AMissingDataFileIsToldInCzechInABoxWithOk) {
  // The game alone, without its data files: the start-up names the sound
  // file in a box with the one button OK, in Czech whatever the system's
  // language, and the game ends when it is answered.
  const std::string alone = "C:\\zarnik-e2e-alone";
  std::error_code ec;
  fs::remove_all(alone, ec);
  fs::create_directories(alone);
  fs::copy_file(run_dir(ZARNIK_RUN_DIR) + "\\zarnik.exe", alone + "\\zarnik.exe");
  ASSERT_TRUE(game_.start(alone));
  Box box;
  ASSERT_TRUE(answer_box(game_.id(), IDOK, box, std::string(kShotsDir) + "\\5-error-box.bmp"))
      << "no box";
  EXPECT_EQ(box.buttons, L"OK");
  EXPECT_NE(box.text.find(L"zvuk.xxx"), std::wstring::npos) << platform::win32::utf8(box.text);
  for (const wchar_t* english : {L"not found", L"No such", L"cannot find", L"denied"})
    EXPECT_EQ(box.text.find(english), std::wstring::npos) << platform::win32::utf8(box.text);
  DWORD code = 0;
  EXPECT_TRUE(game_.wait_exit(20000, code)) << "the game did not end after its box";
  fs::remove_all(alone, ec);
}

}  // namespace
