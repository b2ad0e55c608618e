// The display device and the event translation on a real SDL window, under
// SDL's off-screen video driver (no X server needed).
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_names.h"
#include "platform/sdl/display.h"
#include "platform/sdl/events.h"

namespace platform::sdl {
namespace {

class SdlWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ok_ = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
  }
  static void TearDownTestSuite() {
    if (ok_) SDL_Quit();
  }
  void SetUp() override {
    if (!ok_) GTEST_SKIP() << "SDL's off-screen video driver is not available";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }

  // The largest size the device offers (the desktop).
  static DisplayMode desktop(SdlDisplay& d) {
    DisplayMode best;
    for (const auto& m : d.modes())
      if (m.width * m.height > best.width * best.height) best = m;
    return best;
  }

  std::vector<Event> drain(SdlSystem& sys) {
    std::vector<Event> out;
    Event e;
    while (sys.poll_event(e)) out.push_back(e);
    return out;
  }

  static void push_button(Uint32 type, Uint8 button, int x, int y, Uint8 clicks) {
    SDL_Event ev{};
    ev.type = type;
    ev.button.button = button;
    ev.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    ev.button.x = x;
    ev.button.y = y;
    ev.button.clicks = clicks;
    SDL_PushEvent(&ev);
  }

  static inline bool ok_ = false;
};

TEST_F(SdlWindow, EveryScreenSizeIsOfferedAtFourDepthsAndOthersAreRefused) {
  SdlDisplay d("test");
  const auto modes = d.modes();
  ASSERT_FALSE(modes.empty());
  ASSERT_EQ(modes.size() % 4, 0u);
  for (size_t i = 0; i < modes.size(); i += 4) {
    EXPECT_EQ(modes[i].bits, 8);
    EXPECT_EQ(modes[i + 3].bits, 32);
    EXPECT_EQ(modes[i].width, modes[i + 3].width);
  }
  const DisplayMode m = desktop(d);
  EXPECT_FALSE(d.set_mode(m.width + 1, m.height, 16, true)) << "a size the screen lacks";
  EXPECT_FALSE(d.set_mode(m.width, m.height, 15, true)) << "a depth no mode has";
  EXPECT_TRUE(d.set_mode(m.width, m.height, 16, true));
  EXPECT_EQ(d.client_width(), m.width);
  EXPECT_EQ(d.client_height(), m.height);
  // A window of any size is fine.
  EXPECT_TRUE(d.set_mode(333, 222, 16, false));
  EXPECT_EQ(d.client_width(), 333);
}

TEST_F(SdlWindow, PresentsAndReportsLostSurfacesUntilRestored) {
  SdlDisplay d("test");
  ASSERT_TRUE(d.set_mode(64, 48, 16, false));
  std::vector<uint16_t> frame(64 * 48, 0xF800);
  EXPECT_EQ(d.present(frame.data(), 64, 48, 64, 0, 0, 64, 48), DeviceResult::Ok);
  // A rectangle partly outside the client area is clipped, not refused.
  EXPECT_EQ(d.present(frame.data(), 64, 48, 64, 10, -5, 64, 48), DeviceResult::Ok);
  EXPECT_EQ(d.frames_presented(), 2u);

  d.mark_lost(true);
  EXPECT_TRUE(d.surfaces_lost());
  EXPECT_EQ(d.present(frame.data(), 64, 48, 64, 0, 0, 64, 48), DeviceResult::SurfacesLost);
  EXPECT_TRUE(d.restore());
  EXPECT_FALSE(d.surfaces_lost());
  EXPECT_EQ(d.present(frame.data(), 64, 48, 64, 0, 0, 64, 48), DeviceResult::Ok);
}

TEST_F(SdlWindow, TheColourTableMatchesSdlForEveryWindowFormat) {
  // The table is filled from the format's masks; SDL's own mapping is the
  // reference, including the opaque alpha of formats that have one.
  for (Uint32 format : {SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ABGR8888,
                        SDL_PIXELFORMAT_BGR888, SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_RGB555,
                        SDL_PIXELFORMAT_RGB24, SDL_PIXELFORMAT_INDEX8}) {
    SDL_PixelFormat* f = SDL_AllocFormat(format);
    ASSERT_NE(f, nullptr) << SDL_GetPixelFormatName(format);
    if (f->palette) {
      SDL_Color grey[256];
      for (int i = 0; i < 256; ++i) grey[i] = {Uint8(i), Uint8(i), Uint8(i), 255};
      SDL_Palette* p = SDL_AllocPalette(256);
      SDL_SetPaletteColors(p, grey, 0, 256);
      SDL_SetPixelFormatPalette(f, p);
      SDL_FreePalette(p);
    }
    std::vector<uint32_t> lut;
    fill_colour_table(f, lut);
    ASSERT_EQ(lut.size(), 65536u);
    int wrong = 0;
    for (uint32_t c = 0; c < 65536; c += 7) {
      const uint8_t r = uint8_t(((c >> 11) << 3) | (c >> 13)),
                    g = uint8_t((((c >> 5) & 63) << 2) | ((c >> 9) & 3)),
                    b = uint8_t(((c & 31) << 3) | ((c >> 2) & 7));
      if (lut[c] != SDL_MapRGB(f, r, g, b)) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << SDL_GetPixelFormatName(format);
    EXPECT_EQ(lut[0xFFFF], SDL_MapRGB(f, 255, 255, 255)) << "white stays white";
    SDL_FreeFormat(f);
  }
}

TEST_F(SdlWindow, RenderResetsBecomeTheLostSignal) {
  SdlDisplay d("test");
  SdlSystem sys(&d);
  ASSERT_TRUE(d.set_mode(64, 48, 16, false));
  SDL_Event ev{};
  ev.type = SDL_RENDER_TARGETS_RESET;
  SDL_PushEvent(&ev);
  EXPECT_TRUE(drain(sys).empty()) << "no window event for a reset";
  EXPECT_TRUE(d.surfaces_lost());
  EXPECT_TRUE(d.restore());
}

TEST_F(SdlWindow, DoubleClickComesBetweenTheFirstUpAndTheSecondDown) {
  SdlDisplay d("test");
  SdlSystem sys(&d);
  ASSERT_TRUE(d.set_mode(200, 100, 16, false));
  drain(sys);
  push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 20, 30, 1);
  push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 20, 30, 1);
  push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 20, 30, 2);
  push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 20, 30, 2);
  // A right double click is two plain clicks for the game.
  push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 20, 30, 1);
  push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 20, 30, 1);
  push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 20, 30, 2);
  push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 20, 30, 2);
  std::vector<EventType> types;
  for (const auto& e : drain(sys))
    if (e.type != EventType::MouseMove) types.push_back(e.type);
  const std::vector<EventType> want = {
      EventType::MouseDown, EventType::MouseUp,   EventType::DoubleClick,
      EventType::MouseDown, EventType::MouseUp,   EventType::MouseDown,
      EventType::MouseUp,   EventType::MouseDown, EventType::MouseUp};
  EXPECT_EQ(types, want);
}

TEST_F(SdlWindow, PressesOffTheSurfaceAreDroppedButAReleaseFollowsItsPress) {
  SdlDisplay d("test");
  SdlSystem sys(&d);
  // Full screen on the desktop size: no bars, every pixel is surface.
  const DisplayMode m = desktop(d);
  ASSERT_TRUE(d.set_mode(m.width, m.height, 16, true));
  int sx, sy;
  EXPECT_TRUE(d.to_surface(0, 0, sx, sy));

  // A window of half the width: mapped 1:1 with no bars when the window has
  // that size; a press outside it is off the surface.
  ASSERT_TRUE(d.set_mode(100, 100, 16, false));
  int ww, wh;
  SDL_GetWindowSize(d.window(), &ww, &wh);
  ASSERT_EQ(ww, 100);
  drain(sys);
  push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 150, 50, 1);  // off the surface
  push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 150, 50, 1);
  push_button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 50, 50, 1);  // on it
  push_button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 150, 50, 1);   // released outside
  std::vector<Event> got;
  for (const auto& e : drain(sys))
    if (e.type != EventType::MouseMove) got.push_back(e);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].type, EventType::MouseDown);
  EXPECT_EQ(got[0].button, 1);
  EXPECT_EQ(got[0].x, 50);
  EXPECT_EQ(got[1].type, EventType::MouseUp);
  EXPECT_EQ(got[1].x, 99) << "positions are clamped to the surface";
}

TEST_F(SdlWindow, KeysWheelFocusAndQuitTranslate) {
  SdlDisplay d("test");
  SdlSystem sys(&d);
  ASSERT_TRUE(d.set_mode(100, 100, 16, false));
  drain(sys);
  SDL_Event ev{};
  ev.type = SDL_KEYDOWN;
  ev.key.keysym.sym = SDLK_KP_ENTER;
  ev.key.keysym.mod = KMOD_LCTRL;
  ev.key.repeat = 1;
  SDL_PushEvent(&ev);
  ev.key.keysym.sym = SDLK_F13;  // no code: dropped
  SDL_PushEvent(&ev);
  ev = {};
  ev.type = SDL_MOUSEWHEEL;
  ev.wheel.y = -2;
  SDL_PushEvent(&ev);
  ev = {};
  ev.type = SDL_WINDOWEVENT;
  ev.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
  SDL_PushEvent(&ev);
  ev = {};
  ev.type = SDL_QUIT;
  SDL_PushEvent(&ev);

  std::vector<Event> got;
  for (const auto& e : drain(sys))
    if (e.type != EventType::MouseMove) got.push_back(e);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0].type, EventType::KeyDown) << "auto-repeat passes through";
  EXPECT_EQ(got[0].key, 13);
  EXPECT_EQ(got[0].shift, 4u);
  EXPECT_EQ(got[1].type, EventType::Wheel);
  EXPECT_EQ(got[1].wheel_delta, -120) << "one notice per notch, toward the user";
  EXPECT_EQ(got[2].wheel_delta, -120);
  EXPECT_EQ(got[3].type, EventType::Deactivate);
  EXPECT_EQ(got[4].type, EventType::Close);
}

TEST_F(SdlWindow, AltEnterAndF11SwitchToAWindowAndBackAndNeverReachTheGame) {
  SdlDisplay d("test");
  SdlSystem sys(&d);
  const DisplayMode m = desktop(d);
  ASSERT_TRUE(d.set_mode(800, 600, 16, true));
  std::vector<uint16_t> frame(800 * 600, 0x07E0);
  ASSERT_EQ(d.present(frame.data(), 800, 600, 800, 0, 0, 800, 600), DeviceResult::Ok);
  drain(sys);
  auto key = [](Uint32 type, SDL_Keycode sym, Uint16 mod, Uint8 repeat = 0) {
    SDL_Event ev{};
    ev.type = type;
    ev.key.keysym.sym = sym;
    ev.key.keysym.mod = mod;
    ev.key.repeat = repeat;
    SDL_PushEvent(&ev);
  };
  key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT);
  key(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT, 1);  // held: no second switch
  key(SDL_KEYUP, SDLK_RETURN, KMOD_NONE);       // Alt already let go
  EXPECT_TRUE(drain(sys).empty());
  EXPECT_FALSE(d.fullscreen());
  int w = 0, h = 0;
  SDL_GetWindowSize(d.window(), &w, &h);
  EXPECT_LE(w, 800);
  EXPECT_EQ(w * 3, h * 4) << "the mode's shape";
  EXPECT_EQ(d.client_width(), 800) << "the mode stays";
  EXPECT_EQ(d.present(frame.data(), 800, 600, 800, 0, 0, 800, 600), DeviceResult::Ok);

  key(SDL_KEYDOWN, SDLK_F11, KMOD_NONE);
  key(SDL_KEYUP, SDLK_F11, KMOD_NONE);
  EXPECT_TRUE(drain(sys).empty());
  EXPECT_TRUE(d.fullscreen());
  SDL_GetWindowSize(d.window(), &w, &h);
  EXPECT_EQ(w, m.width);
  // Enter alone is the game's.
  key(SDL_KEYDOWN, SDLK_RETURN, KMOD_NONE);
  key(SDL_KEYUP, SDLK_RETURN, KMOD_NONE);
  const auto got = drain(sys);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].key, 13);
  EXPECT_EQ(got[1].type, EventType::KeyUp);
}

// The shell's open service hands the address to the desktop's opener
// (xdg-open) as one argument: a stand-in opener first on PATH writes down
// what it was given.
TEST_F(SdlWindow, TheShellOpenGivesXdgOpenTheFileUrlOfTheHelpPage) {
  const std::string dir = testing::TempDir() + "zarnik-opener-" + std::to_string(::getpid());
  std::filesystem::create_directories(dir + "/Hry/Žárník #1");
  const std::string page = dir + "/Hry/Žárník #1/napoveda.html";
  std::ofstream(page) << "<p>nápověda</p>";
  const std::string log = dir + "/opened.txt";
  {
    std::ofstream opener(dir + "/xdg-open");
    opener << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '" << log << ".tmp'\nmv '" << log
           << ".tmp' '" << log << "'\n";
  }
  std::filesystem::permissions(dir + "/xdg-open", std::filesystem::perms::owner_all);
  const char* old_path = std::getenv("PATH");
  const std::string saved = old_path ? old_path : "";
  setenv("PATH", (dir + ":" + saved).c_str(), 1);

  SdlDisplay d("test");
  SdlSystem sys(&d);
  const std::string url = document_address(page);
  EXPECT_TRUE(sys.shell_open(url));
  setenv("PATH", saved.c_str(), 1);

  // The opener runs on its own; wait for what it wrote.
  std::string count, given;
  for (int i = 0; i < 500 && given.empty(); ++i) {
    std::ifstream in(log);
    std::getline(in, count);
    std::getline(in, given);
    if (given.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(count, "1");
  EXPECT_EQ(given, url);
  EXPECT_EQ(given.rfind("file:///", 0), 0u) << given;
  EXPECT_EQ(given.find(' '), std::string::npos) << given;
  EXPECT_EQ(given.find('#'), std::string::npos) << "the folder's # is no fragment: " << given;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace platform::sdl
