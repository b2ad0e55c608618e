// The display device and the window messages on a real window (under Wine on
// a virtual X display): modes, a presented frame read back from the window,
// the scaled surface with its bars, and keys and mouse turned into events.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "harness/win32_game_window.h"
#include "platform/win32/events.h"

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
    SetWindowPos(display.window(), nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    present(std::vector<uint16_t>(200 * 100, 0xF800), 200, 100);
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

}  // namespace
}  // namespace platform::win32
