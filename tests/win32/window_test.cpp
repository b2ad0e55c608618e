// The display device and the window messages on a real window (under Wine on
// a virtual X display): modes, a presented frame read back from the window,
// the scaled surface with its bars, keys and mouse turned into events, the
// switch between full screen and a window (screenshots of both kept in
// C:\zarnik-window-shots), and game controllers through XInput's seam, their
// states put in by the test.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "harness/win32_game_window.h"
#include "platform/win32/events.h"
#include "tests/platform/area_average.h"
// clang-format off
#include <xinput.h>
// clang-format on

namespace platform::win32 {
namespace {

using game_window::Screen;
Screen capture(HWND hwnd) { return game_window::grab_window(hwnd); }

// The 8-bit channels of a 5-6-5 pixel, top bits only (GDI widens the
// channels in its own way).
uint32_t top_bits(uint32_t rgb) { return rgb & 0xF8FCF8; }
uint32_t from565(uint16_t p) {
  return (uint32_t(p >> 11) << 19) | (uint32_t((p >> 5) & 63) << 10) | (uint32_t(p & 31) << 3);
}

class WinWindow : public ::testing::Test {
 protected:
  WinDisplay display{"test"};
  WinSystem system{&display};

  std::vector<Event> drain() {
    std::vector<Event> out;
    Event e;
    while (system.poll_event(e)) out.push_back(e);
    return out;
  }
  DisplayMode monitor() {
    DisplayMode best;
    for (const auto& m : display.modes())
      if (m.width * m.height > best.width * best.height) best = m;
    return best;
  }
  void present(const std::vector<uint16_t>& px, int w, int h) {
    ASSERT_EQ(display.present(px.data(), w, h, w, 0, 0, w, h), DeviceResult::Ok);
    drain();
  }
  // A 200 x 100 surface in a window whose client area is 600 x 400: scaled
  // three times, 50-pixel bars above and below.
  void make_scaled_window() {
    ASSERT_TRUE(display.set_mode(200, 100, 16, false));
    size_client(600, 400);
    present(std::vector<uint16_t>(200 * 100, 0xF800), 200, 100);
  }
  // The window sized so that its client area is w x h, as the player's drag
  // of a framed window's border does.
  void size_client(int w, int h) {
    HWND win = display.window();
    RECT r{0, 0, w, h};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongW(win, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(win, GWL_EXSTYLE)));
    SetWindowPos(win, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT client() {
    RECT c{};
    GetClientRect(display.window(), &c);
    return c;
  }
  void send(UINT msg, WPARAM wp, int x, int y) {
    SendMessageW(display.window(), msg, wp, MAKELPARAM(x, y));
  }
};

TEST_F(WinWindow, TheMonitorsAndTheUsualSizesAreOfferedAtFourDepthsAndOthersAreRefused) {
  const auto modes = display.modes();
  ASSERT_FALSE(modes.empty());
  ASSERT_EQ(modes.size() % 4, 0u);
  for (size_t i = 0; i < modes.size(); i += 4) {
    EXPECT_EQ(modes[i].bits, 8);
    EXPECT_EQ(modes[i + 1].bits, 16);
    EXPECT_EQ(modes[i + 3].bits, 32);
  }
  const DisplayMode m = monitor();
  EXPECT_EQ(m.width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(m.height, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_FALSE(display.set_mode(m.width + 1, m.height, 16, true)) << "a size the monitor lacks";
  EXPECT_FALSE(display.set_mode(m.width, m.height, 15, true)) << "a depth no mode has";
  EXPECT_FALSE(display.set_mode(0, m.height, 16, false));
  EXPECT_TRUE(display.set_mode(640, 480, 16, true)) << "a usual size up to the monitor's";
  EXPECT_TRUE(display.set_mode(333, 222, 16, false)) << "a window of any size";
  EXPECT_EQ(display.client_width(), 333);
}

TEST_F(WinWindow, FullScreenCoversTheMonitorAndShowsThePresentedFrame) {
  const DisplayMode m = monitor();
  ASSERT_TRUE(display.set_mode(m.width, m.height, 16, true));
  HWND w = display.window();
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(IsWindowVisible(w)) << "hidden until the first frame";
  RECT r{};
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right - r.left, m.width);
  EXPECT_EQ(r.bottom - r.top, m.height);
  EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0) << "borderless";

  // Four quadrants of different colours.
  const uint16_t colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFE0};
  std::vector<uint16_t> px(size_t(m.width) * size_t(m.height));
  for (int y = 0; y < m.height; ++y)
    for (int x = 0; x < m.width; ++x)
      px[size_t(y) * size_t(m.width) + size_t(x)] =
          colours[(y >= m.height / 2 ? 2 : 0) + (x >= m.width / 2 ? 1 : 0)];
  present(px, m.width, m.height);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(display.frames_presented(), 1u);
  const Screen c = capture(w);
  ASSERT_EQ(c.w, m.width);
  EXPECT_EQ(top_bits(c.at(m.width / 4, m.height / 4)), from565(colours[0]));
  EXPECT_EQ(top_bits(c.at(3 * m.width / 4, m.height / 4)), from565(colours[1]));
  EXPECT_EQ(top_bits(c.at(m.width / 4, 3 * m.height / 4)), from565(colours[2]));
  EXPECT_EQ(top_bits(c.at(3 * m.width / 4, 3 * m.height / 4)), from565(colours[3]));

  // A present into part of the client area changes only that part.
  std::vector<uint16_t> white(16 * 16, 0xFFFF);
  ASSERT_EQ(display.present(white.data(), 16, 16, 16, 10, 10, 16, 16), DeviceResult::Ok);
  const Screen d = capture(w);
  EXPECT_EQ(top_bits(d.at(12, 12)), 0xF8FCF8u);
  EXPECT_EQ(top_bits(d.at(40, 40)), from565(colours[0]));

  display.close();
  EXPECT_FALSE(IsWindowVisible(w));
}

TEST_F(WinWindow, ASmallerSurfaceIsScaledToFitWithBlackBars) {
  make_scaled_window();
  const Screen c = capture(display.window());
  ASSERT_EQ(c.w, 600);
  ASSERT_EQ(c.h, 400);
  EXPECT_EQ(c.at(300, 25), 0u) << "bar above";
  EXPECT_EQ(top_bits(c.at(300, 51)), 0xF80000u);
  EXPECT_EQ(top_bits(c.at(599, 348)), 0xF80000u);
  EXPECT_EQ(c.at(300, 375), 0u) << "bar below";
  // Repainting (the window uncovered) shows the same frame again.
  RedrawWindow(display.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(top_bits(capture(display.window()).at(300, 200)), 0xF80000u);
}

TEST_F(WinWindow, AFrameShownSmallerIsItsAreaAverageAlsoWhenRepainted) {
  // 800 x 600 on a 640 x 480 client area, as on a 640 x 480 screen.
  ASSERT_TRUE(display.set_mode(800, 600, 16, false));
  size_client(640, 480);
  const std::vector<uint16_t> frame = area_average::fine_frame(800, 600);
  present(frame, 800, 600);
  const auto want = area_average::reference(area_average::rgb(frame), 800, 600, 640, 480);
  Screen c = capture(display.window());
  ASSERT_EQ(c.w, 640);
  ASSERT_EQ(c.h, 480);
  EXPECT_LE(area_average::compare(c.px, want).largest, 1);
  RedrawWindow(display.window(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  c = capture(display.window());
  EXPECT_LE(area_average::compare(c.px, want).largest, 1) << "repainted";
  // A new frame at the same size is shrunk anew.
  std::vector<uint16_t> blue(800 * 600, 0x001F);
  present(blue, 800, 600);
  EXPECT_EQ(capture(display.window()).at(320, 240), 0x0000FFu);
}

TEST_F(WinWindow, KeysComeAsTheirVirtualKeyCodesAndRepeat) {
  ASSERT_TRUE(display.set_mode(64, 48, 16, false));
  drain();
  SendMessageW(display.window(), WM_KEYDOWN, VK_LEFT, 0);
  SendMessageW(display.window(), WM_KEYDOWN, VK_LEFT, 1 << 30);  // auto-repeat
  SendMessageW(display.window(), WM_KEYUP, VK_LEFT, 0);
  SendMessageW(display.window(), WM_KEYDOWN, VK_CONTROL, 0);
  SendMessageW(display.window(), WM_KEYDOWN, VK_PAUSE, 0);
  SendMessageW(display.window(), WM_KEYDOWN, 'Y', 0);
  SendMessageW(display.window(), WM_SYSKEYDOWN, VK_MENU, 0);  // Alt comes as a system key
  SendMessageW(display.window(), WM_SYSKEYUP, VK_MENU, 0);
  const auto ev = drain();
  ASSERT_EQ(ev.size(), 8u);
  const int keys[8] = {vk::kLeft, vk::kLeft, vk::kLeft, vk::kCtrl, vk::kPause, vk::kY, 18, 18};
  const EventType types[8] = {EventType::KeyDown, EventType::KeyDown, EventType::KeyUp,
                              EventType::KeyDown, EventType::KeyDown, EventType::KeyDown,
                              EventType::KeyDown, EventType::KeyUp};
  for (size_t i = 0; i < ev.size(); ++i) {
    EXPECT_EQ(ev[i].key, keys[i]) << i;
    EXPECT_EQ(ev[i].type, types[i]) << i;
  }
}

TEST_F(WinWindow, LosingTheFocusReleasesTheKeysStillHeld) {
  ASSERT_TRUE(display.set_mode(64, 48, 16, false));
  drain();
  SendMessageW(display.window(), WM_KEYDOWN, VK_SPACE, 0);
  SendMessageW(display.window(), WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageW(display.window(), WM_KEYUP, VK_RIGHT, 0);
  SendMessageW(display.window(), WM_ACTIVATEAPP, FALSE, 0);
  SendMessageW(display.window(), WM_ACTIVATEAPP, TRUE, 0);
  const auto ev = drain();
  ASSERT_EQ(ev.size(), 6u);
  EXPECT_EQ(ev[3].type, EventType::KeyUp);
  EXPECT_EQ(ev[3].key, vk::kSpace) << "only the key still down";
  EXPECT_EQ(ev[4].type, EventType::Deactivate);
  EXPECT_EQ(ev[5].type, EventType::Activate);
}

TEST_F(WinWindow, MousePositionsAreSurfacePixelsAndPressesOnTheBarsAreDropped) {
  make_scaled_window();
  send(WM_MOUSEMOVE, 0, 300, 200);
  send(WM_LBUTTONDOWN, MK_LBUTTON, 3, 53);
  send(WM_LBUTTONUP, 0, 3, 380);              // released over a bar: still passed on
  send(WM_RBUTTONDOWN, MK_RBUTTON, 300, 20);  // on the bar above
  send(WM_RBUTTONUP, 0, 300, 200);            // its release is dropped too
  send(WM_MBUTTONDOWN, MK_MBUTTON, 599, 349);
  send(WM_MBUTTONUP, 0, 599, 349);
  const auto ev = drain();
  ASSERT_EQ(ev.size(), 5u);
  EXPECT_EQ(ev[0].type, EventType::MouseMove);
  EXPECT_EQ(ev[0].x, 100);
  EXPECT_EQ(ev[0].y, 50);
  EXPECT_EQ(ev[1].type, EventType::MouseDown);
  EXPECT_EQ(ev[1].button, 0);
  EXPECT_EQ(ev[1].x, 1);
  EXPECT_EQ(ev[1].y, 1);
  EXPECT_EQ(ev[2].type, EventType::MouseUp);
  EXPECT_EQ(ev[2].y, 99) << "clamped to the surface";
  EXPECT_EQ(ev[3].button, 2);
  EXPECT_EQ(ev[3].x, 199);
  EXPECT_EQ(ev[4].type, EventType::MouseUp);
}

TEST_F(WinWindow, DoubleClicksWheelNotchesAndClose) {
  make_scaled_window();
  // A left double click: down, up, double-click notice, down, up.
  send(WM_LBUTTONDOWN, MK_LBUTTON, 300, 200);
  send(WM_LBUTTONUP, 0, 300, 200);
  send(WM_LBUTTONDBLCLK, MK_LBUTTON, 300, 200);
  send(WM_LBUTTONUP, 0, 300, 200);
  // The right button's second press is a plain press.
  send(WM_RBUTTONDBLCLK, MK_RBUTTON, 300, 200);
  send(WM_RBUTTONUP, 0, 300, 200);
  auto ev = drain();
  ASSERT_EQ(ev.size(), 7u);
  const EventType seq[7] = {EventType::MouseDown, EventType::MouseUp, EventType::DoubleClick,
                            EventType::MouseDown, EventType::MouseUp, EventType::MouseDown,
                            EventType::MouseUp};
  for (size_t i = 0; i < 7; ++i) EXPECT_EQ(ev[i].type, seq[i]) << i;
  EXPECT_EQ(ev[2].x, 100);
  EXPECT_EQ(ev[5].button, 1);

  // Wheel positions are screen pixels; fine wheels add up to whole notches.
  POINT pt{300, 200};
  ClientToScreen(display.window(), &pt);
  const LPARAM at = MAKELPARAM(pt.x, pt.y);
  for (int i = 0; i < 3; ++i) SendMessageW(display.window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 40), at);
  SendMessageW(display.window(), WM_MOUSEWHEEL, MAKEWPARAM(0, -240), at);
  SendMessageW(display.window(), WM_CLOSE, 0, 0);
  ev = drain();
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(ev[0].type, EventType::Wheel);
  EXPECT_EQ(ev[0].wheel_delta, 120);
  EXPECT_EQ(ev[0].x, 100);
  EXPECT_EQ(ev[0].y, 50);
  EXPECT_EQ(ev[1].wheel_delta, -120);
  EXPECT_EQ(ev[2].wheel_delta, -120);
  EXPECT_EQ(ev[3].type, EventType::Close);
  EXPECT_TRUE(IsWindow(display.window())) << "the game closes the window itself";
}

TEST_F(WinWindow, CursorPositionIsInSurfacePixels) {
  make_scaled_window();
  SetForegroundWindow(display.window());
  POINT pt{303, 206};
  ClientToScreen(display.window(), &pt);
  ASSERT_TRUE(SetCursorPos(pt.x, pt.y));
  const Point p = system.cursor_pos();
  EXPECT_EQ(p.x, 101);
  EXPECT_EQ(p.y, 52);
}

// Answers the message box this process shows next: reads its texts, then
// presses the button `press`.
struct BoxAnswer {
  std::wstring title, yes, no, text;
  std::thread thread;
  void answer(int press) {
    thread = std::thread([this, press] {
      HWND box = nullptr;
      for (int i = 0; i < 500 && !box; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        box = FindWindowW(L"#32770", nullptr);
      }
      if (!box) return;
      wchar_t buf[256] = L"";
      GetWindowTextW(box, buf, 256);
      title = buf;
      GetDlgItemTextW(box, IDYES, buf, 256);
      yes = buf;
      GetDlgItemTextW(box, IDNO, buf, 256);
      no = buf;
      GetDlgItemTextW(box, 0xFFFF, buf, 256);  // the static text of the message
      text = buf;
      PostMessageW(box, WM_COMMAND, WPARAM(press), 0);
    });
  }
  ~BoxAnswer() {
    if (thread.joinable()) thread.join();
  }
};

TEST_F(WinWindow, TheQuestionBoxAsksInCzechAndTheErrorBoxShowsTheText) {
  ASSERT_TRUE(display.set_mode(64, 48, 16, false));
  {
    BoxAnswer a;
    a.answer(IDNO);
    EXPECT_FALSE(system.confirm_box("Zarnik", "Zobrazit ikonu na ploše?"));
    a.thread.join();
    EXPECT_EQ(a.title, L"Zarnik");
    EXPECT_EQ(a.yes, L"Ano");
    EXPECT_EQ(a.no, L"Ne");
    EXPECT_EQ(a.text, L"Zobrazit ikonu na plo\u0161e?") << "UTF-8 shown as such";
  }
  {
    BoxAnswer a;
    a.answer(IDYES);
    EXPECT_TRUE(system.confirm_box("Zarnik", "Ano?"));
  }
  {
    BoxAnswer a;
    a.answer(IDOK);
    system.error_box("Zarnik", "Chyba ve spojení");
    a.thread.join();
    EXPECT_EQ(a.text, L"Chyba ve spojen\u00ed");
  }
}

// A mouse that stays where it is moves nothing in the game: frames shown,
// keys tapped and the pointer hidden and shown bring no mouse move (the
// menu's move clears the keyboard's highlight, so a move the mouse did not
// make would undo Down before Enter).
TEST_F(WinWindow, AMouseThatStaysPutSendsNoMoves) {
  make_scaled_window();
  SetForegroundWindow(display.window());
  POINT pt{500, 300};
  ClientToScreen(display.window(), &pt);
  SetCursorPos(pt.x, pt.y);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  drain();
  std::vector<uint16_t> frame(200 * 100, 0x07E0);
  int moves = 0, keys = 0;
  for (int i = 0; i < 30; ++i) {
    if (i % 10 == 0) game_window::tap(VK_DOWN);
    if (i == 15) {
      system.show_cursor(false);
      system.show_cursor(true);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(16));
    ASSERT_EQ(display.present(frame.data(), 200, 100, 200, 0, 0, 200, 100), DeviceResult::Ok);
    for (const Event& e : drain()) {
      moves += e.type == EventType::MouseMove;
      keys += e.type == EventType::KeyDown;
    }
  }
  EXPECT_EQ(moves, 0);
  EXPECT_GE(keys, 1) << "the taps came";
}

// After a box is answered, the window has the keyboard and the mouse again:
// the very first click and key tap on it, each down and up at once, come
// through as events, in order, as on Linux.
TEST_F(WinWindow, TheFirstClickAndKeyAfterABoxCount) {
  make_scaled_window();
  SetForegroundWindow(display.window());
  drain();
  for (int round = 0; round < 2; ++round) {
    BoxAnswer a;
    a.answer(IDOK);
    system.error_box("Zarnik", "Chyba");
    a.thread.join();
    // Apart from the last round's click, so that no double click comes.
    POINT pt{300 + 100 * round, 200};
    ClientToScreen(display.window(), &pt);
    game_window::click(pt.x, pt.y);
    game_window::tap(VK_RETURN);
    std::vector<EventType> got;
    game_window::wait_until(
        [&] {
          for (const Event& e : drain())
            if (e.type != EventType::MouseMove && e.type != EventType::Activate &&
                e.type != EventType::Deactivate)
              got.push_back(e.type);
          return got.size() >= 4;
        },
        std::chrono::milliseconds(3000));
    EXPECT_EQ(got, (std::vector<EventType>{EventType::MouseDown, EventType::MouseUp,
                                           EventType::KeyDown, EventType::KeyUp}))
        << "round " << round;
  }
}

// A document type of the test's own, opened by `command`, registered among
// the classes as a program's installer does; gone again afterwards.
struct TestDocumentType {
  explicit TestDocumentType(const std::wstring& command) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, L".zarniktest", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                    nullptr);
    const std::wstring cls = L"zarniktestfile";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(cls.c_str()),
                   DWORD((cls.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    RegCreateKeyExW(HKEY_CLASSES_ROOT, L"zarniktestfile\\shell\\open\\command", 0, nullptr, 0,
                    KEY_WRITE, nullptr, &key, nullptr);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   DWORD((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  ~TestDocumentType() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".zarniktest");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"zarniktestfile");
  }
};

TEST_F(WinWindow, OpeningADocumentTellsWhetherAnyProgramTookIt) {
  ASSERT_TRUE(display.set_mode(64, 48, 16, false));
  CreateDirectoryW(L"C:\\zarnik-open", nullptr);
  for (const char* name : {"C:\\zarnik-open\\page.zarniktest", "C:\\zarnik-open\\page.zarniknone"})
    std::ofstream(name) << "page";
  // A type nothing is registered for: no program, told in the game's words.
  EXPECT_EQ(system.shell_open("C:\\zarnik-open\\page.zarniknone"), OpenResult::NoProgram);
  // A missing document is another failure.
  EXPECT_EQ(system.shell_open("C:\\zarnik-open\\gone.zarniktest"), OpenResult::Failed);
  {
    // A program that takes it.
    TestDocumentType type(L"cmd.exe /c exit 0 \"%1\"");
    EXPECT_EQ(system.shell_open("C:\\zarnik-open\\page.zarniktest"), OpenResult::Opened);
  }
  {
    // One that gives up at once, as Wine's browser does without a browser
    // on the system: no program either.
    TestDocumentType type(L"cmd.exe /c exit 1 \"%1\"");
    EXPECT_EQ(system.shell_open("C:\\zarnik-open\\page.zarniktest"), OpenResult::NoProgram);
  }
  std::error_code ec;
  std::filesystem::remove_all("C:\\zarnik-open", ec);
}

TEST_F(WinWindow, AltEnterAndF11SwitchToAResizableWindowAndBackKeepingTheAspect) {
  CreateDirectoryW(L"C:\\zarnik-window-shots", nullptr);
  // Full screen at a usual size, a frame with a white left half.
  ASSERT_TRUE(display.set_mode(640, 480, 16, true));
  std::vector<uint16_t> px(640 * 480, 0x001F);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 320; ++x) px[size_t(y) * 640 + size_t(x)] = 0xFFFF;
  present(px, 640, 480);
  HWND w = display.window();
  const DisplayMode m = monitor();
  ASSERT_TRUE(display.fullscreen());
  game_window::save_bmp(game_window::grab(), "C:\\zarnik-window-shots\\1-full-screen.bmp");

  // Alt+Enter: a framed window the player may size, the mode's size inside.
  SendMessageW(w, WM_SYSKEYDOWN, VK_RETURN, LPARAM(1) << 29);
  EXPECT_FALSE(display.fullscreen());
  const LONG style = GetWindowLongW(w, GWL_STYLE);
  EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_THICKFRAME)) << "framed, sizable";
  EXPECT_EQ(client().right, 640);
  EXPECT_EQ(client().bottom, 480);
  RECT r{};
  GetWindowRect(w, &r);
  EXPECT_LT(r.right - r.left, m.width) << "no longer covering the monitor";
  // The auto-repeat of the held keys switches nothing, and nothing of the
  // switch reaches the game.
  SendMessageW(w, WM_SYSKEYDOWN, VK_RETURN, (LPARAM(1) << 29) | (LPARAM(1) << 30));
  EXPECT_FALSE(display.fullscreen());
  SendMessageW(w, WM_SYSCHAR, VK_RETURN, LPARAM(1) << 29);
  SendMessageW(w, WM_SYSKEYUP, VK_RETURN, LPARAM(1) << 29);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  game_window::save_bmp(game_window::grab(), "C:\\zarnik-window-shots\\2-window.bmp");
  Screen c = capture(w);
  EXPECT_EQ(top_bits(c.at(100, 240)), 0xF8FCF8u) << "drawn one to one";
  EXPECT_EQ(top_bits(c.at(500, 240)), from565(0x001F));

  // Sized by the player to 800 x 300: the picture is 400 x 300 in the middle.
  size_client(800, 300);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  c = capture(w);
  ASSERT_EQ(c.w, 800);
  ASSERT_EQ(c.h, 300);
  EXPECT_EQ(c.at(150, 150), 0u) << "bar on the left";
  EXPECT_EQ(top_bits(c.at(250, 150)), 0xF8FCF8u);
  EXPECT_EQ(top_bits(c.at(550, 150)), from565(0x001F));
  EXPECT_EQ(c.at(650, 150), 0u) << "bar on the right";
  int sx = 0, sy = 0;
  EXPECT_TRUE(display.to_surface(400, 150, sx, sy));
  EXPECT_EQ(sx, 320) << "the mouse lands where the picture is";

  // F11: full screen again, the frame gone.
  SendMessageW(w, WM_KEYDOWN, VK_F11, 0);
  SendMessageW(w, WM_KEYUP, VK_F11, 0);
  EXPECT_TRUE(display.fullscreen());
  EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
  GetWindowRect(w, &r);
  EXPECT_EQ(r.right - r.left, m.width);
  EXPECT_EQ(r.bottom - r.top, m.height);
  EXPECT_TRUE(drain().empty()) << "the switch keys never reach the game";
}

// The controllers' states as a test sets them, read through the seam.
struct FakePads {
  std::array<bool, 4> connected{};
  std::array<PadState, 4> state{};
  PadReader reader() {
    return [this](unsigned i, PadState& s) {
      if (i >= 4 || !connected[i]) return false;
      s = state[i];
      return true;
    };
  }
};

struct Key {
  EventType type;
  int key;
  bool operator==(const Key&) const = default;
};
std::vector<Key> keys(const std::vector<Event>& events) {
  std::vector<Key> out;
  for (const Event& e : events)
    if (e.type == EventType::KeyDown || e.type == EventType::KeyUp) out.push_back({e.type, e.key});
  return out;
}
constexpr auto kDown = EventType::KeyDown;
constexpr auto kUp = EventType::KeyUp;

TEST_F(WinWindow, PadsBecomeTheGamesKeysAndWheelAsOnLinuxAndComeAndGo) {
  FakePads pads;
  pads.connected[0] = true;
  system.set_pad_reader(pads.reader());
  make_scaled_window();
  drain();
  ASSERT_EQ(system.gamepads(), 1);
  PadState& p = pads.state[0];

  // A: Space, then Enter; let go in the other order.
  p.buttons = XINPUT_GAMEPAD_A;
  EXPECT_EQ(keys(drain()), (std::vector<Key>{{kDown, vk::kSpace}, {kDown, vk::kEnter}}));
  p.buttons = 0;
  EXPECT_EQ(keys(drain()), (std::vector<Key>{{kUp, vk::kEnter}, {kUp, vk::kSpace}}));
  // B, Start and Back: Ctrl, Pause and Esc.
  p.buttons = XINPUT_GAMEPAD_B | XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_BACK;
  EXPECT_EQ(keys(drain()),
            (std::vector<Key>{{kDown, vk::kPause}, {kDown, vk::kEsc}, {kDown, vk::kCtrl}}));
  p.buttons = 0;
  drain();

  // The D-pad and the left stick share the arrows; the stick lets go only
  // below a third of its travel. XInput's y grows upward.
  p.buttons = XINPUT_GAMEPAD_DPAD_LEFT;
  p.left_x = -20000;
  EXPECT_EQ(keys(drain()), (std::vector<Key>{{kDown, vk::kLeft}}));
  p.buttons = 0;
  EXPECT_TRUE(keys(drain()).empty()) << "the stick still holds Left";
  p.left_x = -12000;
  EXPECT_TRUE(keys(drain()).empty()) << "no chatter near the edge";
  p.left_x = 0;
  p.left_y = 20000;
  EXPECT_EQ(keys(drain()), (std::vector<Key>{{kUp, vk::kLeft}, {kDown, vk::kUp}}));
  p.left_y = 0;
  drain();

  // The shoulders: a wheel notch at the cursor, right up and left down.
  p.buttons = XINPUT_GAMEPAD_RIGHT_SHOULDER;
  auto ev = drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].type, EventType::Wheel);
  EXPECT_EQ(ev[0].wheel_delta, 120);
  p.buttons = XINPUT_GAMEPAD_LEFT_SHOULDER;
  ev = drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].wheel_delta, -120);

  // Unplugged while holding B: Ctrl comes up. Another pad in another slot
  // is found within a second, holding A.
  p.buttons = XINPUT_GAMEPAD_B;
  drain();
  pads.connected[0] = false;
  EXPECT_EQ(keys(drain()), (std::vector<Key>{{kUp, vk::kCtrl}}));
  EXPECT_EQ(system.gamepads(), 0);
  pads.connected[2] = true;
  pads.state[2].buttons = XINPUT_GAMEPAD_A;
  std::vector<Key> seen;
  game_window::wait_until(
      [&] {
        for (const Key& k : keys(drain())) seen.push_back(k);
        return !seen.empty();
      },
      std::chrono::milliseconds(3000));
  EXPECT_EQ(seen, (std::vector<Key>{{kDown, vk::kSpace}, {kDown, vk::kEnter}}));
  EXPECT_EQ(system.gamepads(), 1);
}

TEST_F(WinWindow, ThePadsRightStickMovesTheCursorUntilTheMouseMoves) {
  FakePads pads;
  pads.connected[0] = true;
  system.set_pad_reader(pads.reader());
  make_scaled_window();
  SetForegroundWindow(display.window());
  POINT pt{300, 200};  // surface (100, 50)
  ClientToScreen(display.window(), &pt);
  SetCursorPos(pt.x, pt.y);
  drain();
  // A full pull right crosses the 200-pixel surface in a second.
  pads.state[0].right_x = 32767;
  // Polled until it has gone 30 pixels (a busy machine polls seldom); the
  // pace is checked against the time it took, not a fixed count of polls.
  int moves = 0, last_x = 100;
  const auto start = std::chrono::steady_clock::now();
  while (last_x <= 130 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    for (const Event& e : drain())
      if (e.type == EventType::MouseMove) {
        ++moves;
        EXPECT_GE(e.x, last_x);
        EXPECT_EQ(e.y, 50);
        last_x = e.x;
      }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GT(moves, 1);
  EXPECT_GT(last_x, 130) << "the stick moved the cursor";
  EXPECT_LE(last_x - 100, 200 * seconds + 20) << "at most a surface's width a second";
  EXPECT_EQ(system.cursor_pos().x, last_x);
  // The system cursor followed: the mouse moving on its own leads again.
  pads.state[0].right_x = 0;
  drain();
  send(WM_MOUSEMOVE, 0, 30, 200);
  const auto ev = drain();
  ASSERT_FALSE(ev.empty());
  EXPECT_EQ(ev.back().x, 10);
}

}  // namespace
}  // namespace platform::win32
