// The real game program under a virtual X display: it starts, shows frames,
// takes a typed name, plays, and writes its files on the way out; it starts
// at 800 x 600 on desktops of one size and repairs a size saved on a larger
// one; it covers the desktop, names itself and switches to a window and
// back; with no data files it reports the error (fitting the screen) and
// writes nothing; an error box at close ends it normally, and the backend's
// waits send no X wake-up that could outlive a window; music of a million
// notes at one instant never keeps it from answering. Input is injected with
// the X test extension, frames are read back from the display.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "harness/game_driver.h"
#include "harness/x_session.h"
// After the game's headers: the X headers' macros clash with them.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/sdl/message_box.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace xsession;

// A stuck X server or program must not hang the test run: after this long
// the test program ends (its children die with it).
constexpr unsigned kWatchdogSeconds = 90;

extern "C" void watchdog_fired(int) {
  const char msg[] = "end-to-end test: watchdog expired, giving up\n";
  [[maybe_unused]] auto n = write(2, msg, sizeof msg - 1);
  _exit(3);
}

class GameProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    signal(SIGALRM, watchdog_fired);
    alarm(kWatchdogSeconds);
    program_ = std::string(ZARNIK_RUN_DIR) + "/zarnik";
    if (access(program_.c_str(), X_OK) != 0) GTEST_SKIP() << "the game program is not built";
    std::string why;
    if (!display_.start(why)) GTEST_SKIP() << why;
    dir_ = fs::temp_directory_path() /
           ("zarnik-e2e-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    alarm(0);
    if (!dir_.empty() && !HasFailure()) fs::remove_all(dir_);
  }

  // Copies the built data files into the game's folder; the name of one
  // that is not built, if any.
  std::string copy_data_files() {
    for (const char* f : kDataFiles) {
      const fs::path src = fs::path(ZARNIK_RUN_DIR) / f;
      if (!fs::exists(src)) return f;
      fs::copy_file(src, dir_ / f);
    }
    return {};
  }

  VirtualDisplay display_;
  std::string program_;
  fs::path dir_;
};

TEST_F(GameProgram, PlaysARoundAndKeepsNameAndScore) {
  if (const std::string missing = copy_data_files(); !missing.empty())
    GTEST_SKIP() << "data file " << missing << " is not built";
  Game game(program_, dir_, display_.name());
  ASSERT_TRUE(wait_until([&] { return display_.any_window_viewable() || !game.running(); }, 15s))
      << "no window appeared";
  ASSERT_TRUE(game.running()) << game.log();

  // The splash, then the menu: both draw something.
  std::this_thread::sleep_for(1500ms);
  EXPECT_GT(display_.lit_share(), 0.01) << "the splash frame is black";
  std::this_thread::sleep_for(5500ms);
  EXPECT_GT(display_.lit_share(), 0.01) << "the menu frame is black";

  // Edit the name: a click on the name field at the bottom right, clear it,
  // type, end the editing with Enter.
  const int w = VirtualDisplay::kWidth, h = VirtualDisplay::kHeight;
  display_.click(w - 100, h - 72);
  std::this_thread::sleep_for(200ms);
  for (int i = 0; i < 12; ++i) display_.tap(XK_BackSpace);
  for (KeySym k : {XK_t, XK_e, XK_s, XK_t, XK_e, XK_r}) display_.tap(k);
  display_.tap(XK_Return);

  // Highlight the first item with the keyboard and start a game.
  display_.tap(XK_Down);
  display_.tap(XK_Return);
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(game.running()) << game.log();
  EXPECT_GT(display_.lit_share(), 0.005) << "the play frame is black";

  // Fire for a while, then leave the game with Esc (the score is entered).
  display_.key_down(XK_space);
  std::this_thread::sleep_for(800ms);
  display_.key_up(XK_space);
  display_.tap(XK_Control_L);
  std::this_thread::sleep_for(300ms);
  display_.tap(XK_Escape);
  std::this_thread::sleep_for(800ms);
  ASSERT_TRUE(game.running()) << "Esc in play must go back to the menu\n" << game.log();

  // Esc in the menu closes the game (a shown score list takes one Esc more).
  for (int i = 0; i < 3 && game.running(); ++i) {
    display_.tap(XK_Escape);
    game.wait_exit(1500ms);
  }
  ASSERT_TRUE(game.wait_exit(5s)) << "the game did not close";
  ASSERT_TRUE(WIFEXITED(game.status())) << "ended by signal " << WTERMSIG(game.status());
  EXPECT_EQ(WEXITSTATUS(game.status()), 0) << game.log();

  const auto ini = lines_of(read_bytes(dir_ / "config" / "zarnik.ini"));
  ASSERT_GE(ini.size(), 3u) << "zarnik.ini was not written";
  EXPECT_EQ(ini[0], "800");
  EXPECT_EQ(ini[1], "600");
  EXPECT_EQ(ini[2], "TESTER");

  ASSERT_TRUE(fs::exists(dir_ / "data.dat")) << "no score file";
  const auto table = lines_of(read_bytes(dir_ / "data.dat"));
  bool found = false;
  for (size_t i = 0; i + 1 < table.size(); i += 2) {
    const std::string score = unshift(table[i]);
    const std::string name = unshift(table[i + 1]);
    if (name == "TESTER") {
      found = true;
      EXPECT_FALSE(score.empty());
      EXPECT_EQ(score.find_first_not_of("0123456789"), std::string::npos) << score;
    }
  }
  EXPECT_TRUE(found) << "the round's score is not in data.dat";
}

// The backend's waits (its message loop's and the error box's) look for
// events instead of blocking in SDL's wait. That wait has an event queued by
// another thread (or by its own dispatching) wake it with an X event sent to
// a window of ours over a second X connection; a window closed before the X
// server gets to that send (an error box confirmed with Enter) makes Xlib end
// the program at exit with status 1 ("BadWindow ... X_SendEvent"). While
// they wait, no such wake-up is sent.
TEST(SdlWaits, EventsFromAnotherThreadSendNoWakeUpToAWindow) {
  VirtualDisplay display;
  std::string why;
  if (!display.start(why)) GTEST_SKIP() << why;
  setenv("DISPLAY", display.name().c_str(), 1);
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("wait", 0, 0, 64, 64, SDL_WINDOW_SHOWN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);  // every X event, the wake-ups too
  Display* x = XOpenDisplay(display.name().c_str());
  ASSERT_NE(x, nullptr);
  const Atom wakeup = XInternAtom(x, "_SDL_WAKEUP", False);
  XCloseDisplay(x);
  const Uint32 user = SDL_RegisterEvents(1);
  std::atomic<bool> stop{false};
  std::thread pusher([&] {
    while (!stop) {
      SDL_Event e{};
      e.type = user;
      SDL_PushEvent(&e);
      SDL_Delay(7);
    }
  });
  int users = 0, wakeups = 0;
  const Uint32 end = SDL_GetTicks() + 500;
  while (SDL_GetTicks() < end) {
    SDL_Event e;
    if (!platform::sdl::wait_for_event(&e, 50)) continue;
    if (e.type == user) ++users;
    if (e.type == SDL_SYSWMEVENT && e.syswm.msg->subsystem == SDL_SYSWM_X11) {
      const XEvent& x = e.syswm.msg->msg.x11.event;
      if (x.type == ClientMessage && x.xclient.message_type == wakeup) ++wakeups;
    }
  }
  stop = true;
  pusher.join();
  SDL_DestroyWindow(window);
  SDL_Quit();
  EXPECT_GT(users, 20) << "the waits saw the events";
  EXPECT_EQ(wakeups, 0);
}

// Both pieces hold a million notes at one instant (the menu's of zero length,
// so it starts over in every frame), played by the synthesiser on the audio
// thread: Esc still leaves a game at once, and Esc in the menu ends the
// program within a second.
TEST_F(GameProgram, AMillionNotesAtOneInstantNeverKeepEscWaiting) {
  if (const std::string missing = copy_data_files(); !missing.empty())
    GTEST_SKIP() << "data file " << missing << " is not built";
  auto put = [&](const char* name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir_ / name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  };
  put("hra.mid", game_driver::crowd_midi(1000000, 2000));
  put("menu.mid", game_driver::crowd_midi(1000000, 0));
  // An audio device that takes the output as fast as a sound card would,
  // so the synthesiser runs.
  Game game(program_, dir_, display_.name(),
            {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", "/dev/null"}});
  ASSERT_TRUE(wait_until([&] { return display_.any_window_viewable() || !game.running(); }, 15s));
  ASSERT_TRUE(game.running()) << game.log();
  if (game.log().find("no music") != std::string::npos) GTEST_SKIP() << game.log();
  std::this_thread::sleep_for(5500ms);  // the splash, then the menu
  display_.tap(XK_Down);
  display_.tap(XK_Return);
  std::this_thread::sleep_for(1500ms);
  display_.tap(XK_Escape);
  std::this_thread::sleep_for(1000ms);
  ASSERT_TRUE(game.running()) << "Esc in play must go back to the menu\n" << game.log();
  const auto t0 = std::chrono::steady_clock::now();
  display_.tap(XK_Escape);
  ASSERT_TRUE(game.wait_exit(10s)) << "the game did not close";
  const auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_LT(took, 1s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                      << " ms from Esc to the end";
  ASSERT_TRUE(WIFEXITED(game.status()));
  EXPECT_EQ(WEXITSTATUS(game.status()), 0) << game.log();
}

// The settings file cannot be written when the game closes (a folder has
// taken its name): the error box comes up, Enter confirms it, and the
// program ends normally. The box used to be waited for
// in SDL's blocking wait, whose wake-up event, sent to the box over a second
// X connection, could reach the X server after the box was gone: Xlib then
// ended the program at exit with status 1 and "BadWindow ... X_SendEvent"
// (about one close in three).
TEST_F(GameProgram, AnErrorBoxAtCloseEndsTheProgramNormally) {
  if (const std::string missing = copy_data_files(); !missing.empty())
    GTEST_SKIP() << "data file " << missing << " is not built";
  fs::create_directories(dir_ / "config" / "zarnik.ini");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Game game(program_, dir_, display_.name());
    ASSERT_TRUE(wait_until([&] { return display_.any_window_viewable() || !game.running(); }, 15s));
    std::this_thread::sleep_for(800ms);
    display_.tap(XK_Escape);  // in the splash: the game closes
    std::this_thread::sleep_for(1000ms);
    ASSERT_TRUE(game.running()) << "no error box waited for the user\n" << game.log();
    for (int i = 0; i < 10 && game.running(); ++i) {
      display_.move(VirtualDisplay::kWidth / 2, VirtualDisplay::kHeight / 2);
      display_.tap(XK_Return);
      game.wait_exit(500ms);
    }
    ASSERT_TRUE(game.wait_exit(5s)) << "the error box did not end the game";
    ASSERT_TRUE(WIFEXITED(game.status())) << "ended by signal " << WTERMSIG(game.status());
    const std::string log = game.log();
    EXPECT_NE(log.find("zarnik.ini"), std::string::npos) << log;
    EXPECT_EQ(log.find("X Error"), std::string::npos) << log;
    EXPECT_EQ(WEXITSTATUS(game.status()), 0) << log;
  }
}

TEST_F(GameProgram, MissingDataFilesEndWithAnErrorThatFitsTheScreenAndWriteNothing) {
  // Deep down, so that the message naming the file with its folder is long.
  fs::path deep = dir_;
  for (int i = 0; i < 6; ++i)
    deep /= "a-folder-with-a-rather-long-name-number-" + std::to_string(i);
  Game game(program_, deep, display_.name());
  // The error box comes up (the game window itself never shows).
  ASSERT_TRUE(wait_until([&] { return display_.any_window_viewable() || !game.running(); }, 15s));
  ASSERT_TRUE(game.running()) << "no error box waited for the user\n" << game.log();
  // A loaded machine may take a while to paint the box once it is mapped.
  EXPECT_TRUE(wait_until([&] { return display_.lit_share() > 0.01; }, 10s))
      << "the error box is not drawn";
  const auto box = display_.top_window();
  ASSERT_TRUE(box.found);
  EXPECT_GE(box.x, 0);
  EXPECT_GE(box.y, 0);
  EXPECT_LE(box.x + box.width, VirtualDisplay::kWidth);
  EXPECT_LE(box.y + box.height, VirtualDisplay::kHeight);
  EXPECT_GT(box.height, 100) << "the path wraps onto several lines";
  // Confirm the box: it sits in the middle of the screen and takes Enter
  // while the pointer is over it (no window manager gives focus).
  for (int i = 0; i < 10 && game.running(); ++i) {
    display_.move(VirtualDisplay::kWidth / 2, VirtualDisplay::kHeight / 2);
    std::this_thread::sleep_for(200ms);
    display_.tap(XK_Return);
    game.wait_exit(800ms);
  }
  ASSERT_TRUE(game.wait_exit(5s)) << "the error box did not end the game";
  ASSERT_TRUE(WIFEXITED(game.status())) << "ended by signal " << WTERMSIG(game.status());
  EXPECT_NE(WEXITSTATUS(game.status()), 0);
  const std::string log = game.log();
  EXPECT_NE(log.find("xxx"), std::string::npos) << "stderr does not name the missing file: " << log;
  EXPECT_FALSE(fs::exists(deep / "config" / "zarnik.ini"));
  EXPECT_FALSE(fs::exists(deep / "data.dat"));
  EXPECT_FALSE(fs::exists(deep / "zarnik.lnk"));
}

TEST_F(GameProgram, CoversTheDesktopAndSwitchesToAWindowAndBack) {
  if (const std::string missing = copy_data_files(); !missing.empty())
    GTEST_SKIP() << "data file " << missing << " is not built";
  // A virtual display offers only its own size, so the game takes that mode.
  VirtualDisplay wide;
  std::string why;
  if (!wide.start(why, 1280, 720)) GTEST_SKIP() << why;
  Game game(program_, dir_, wide.name());
  ASSERT_TRUE(wait_until([&] { return wide.any_window_viewable() || !game.running(); }, 15s));
  ASSERT_TRUE(game.running()) << game.log();
  // The splash in the middle (how soon it shows is measured by bench_sdl).
  EXPECT_TRUE(wait_until([&] { return wide.lit_share(480, 240, 320, 240) > 0.01; }, 2s))
      << "the window stays black";

  const auto w = wide.top_window();
  ASSERT_TRUE(w.found);
  EXPECT_EQ(w.x, 0);
  EXPECT_EQ(w.y, 0);
  EXPECT_EQ(w.width, 1280);
  EXPECT_EQ(w.height, 720);
  EXPECT_TRUE(w.fullscreen_state) << "the window does not ask the window manager for full screen";

  // How it shows to a desktop, and Alt+Enter and F11 switching to a window
  // with the frame scaled into it and back.
  std::this_thread::sleep_for(6s);  // into the menu

  const auto looks = wide.window_looks();
  EXPECT_EQ(looks.res_name, "zarnik");
  EXPECT_EQ(looks.res_class, "zarnik");
  EXPECT_EQ(looks.title, "Zarnik");
  EXPECT_EQ(looks.icon_width, 64);
  EXPECT_EQ(looks.icon_height, 64);
  EXPECT_TRUE(looks.icon_has_colour);

  auto geometry_is = [&](int left, int top, int width, int height) {
    return wait_until(
        [&] {
          const auto t = wide.top_window();
          return t.found && t.x == left && t.y == top && t.width == width && t.height == height;
        },
        3s);
  };
  ASSERT_TRUE(geometry_is(0, 0, 1280, 720));
  wide.key_down(XK_Alt_L);
  wide.tap(XK_Return);
  wide.key_up(XK_Alt_L);
  // The mode's size, in the middle (no window manager adds a frame here).
  EXPECT_TRUE(geometry_is(240, 60, 800, 600)) << "not switched to a window";
  std::this_thread::sleep_for(300ms);
  EXPECT_GT(wide.lit_share(240, 60, 800, 600), 0.003) << "the menu is not drawn in the window";
  EXPECT_LT(wide.lit_share(0, 0, 240, 720), 0.001) << "drawn outside the window";
  ASSERT_TRUE(game.running()) << "Alt+Enter reached the game\n" << game.log();

  wide.tap(XK_F11);
  EXPECT_TRUE(geometry_is(0, 0, 1280, 720)) << "not back to full screen";
  std::this_thread::sleep_for(300ms);
  EXPECT_GT(wide.lit_share(), 0.003);

  for (int i = 0; i < 3 && game.running(); ++i) {
    wide.tap(XK_Escape);
    game.wait_exit(1500ms);
  }
  ASSERT_TRUE(game.wait_exit(5s));
  const auto ini = lines_of(read_bytes(dir_ / "config" / "zarnik.ini"));
  ASSERT_GE(ini.size(), 2u);
  EXPECT_EQ(ini[0], "800") << "the mode is the same in a window";
  EXPECT_EQ(ini[1], "600");
}

// The settings file of a run, and a run that starts, shows its first frame
// and is closed with Esc during the splash.
void write_settings(const fs::path& dir, const std::vector<std::string>& lines) {
  fs::create_directories(dir / "config");
  std::ofstream f(dir / "config" / "zarnik.ini", std::ios::binary);
  for (const auto& l : lines) f << l << "\r\n";
}

void start_and_close(VirtualDisplay& x, const std::string& program, const fs::path& dir) {
  Game game(program, dir, x.name());
  ASSERT_TRUE(wait_until([&] { return x.any_window_viewable() || !game.running(); }, 15s));
  ASSERT_TRUE(game.running()) << game.log();
  std::this_thread::sleep_for(500ms);
  for (int i = 0; i < 3 && game.running(); ++i) {
    x.tap(XK_Escape);
    game.wait_exit(1500ms);
  }
  ASSERT_TRUE(game.wait_exit(5s)) << "Esc during the splash did not close the game";
  ASSERT_TRUE(WIFEXITED(game.status()));
  EXPECT_EQ(WEXITSTATUS(game.status()), 0) << game.log();
}

// Desktops that offer nothing but their own size (Xvfb, like many virtual
// machines and Wayland sessions): the default start is 800 x 600, scaled.
TEST_F(GameProgram, TheDefaultModeIsExactOnDesktopsOfOneSizeAndASizeFromALargerOneIsRepaired) {
  if (const std::string missing = copy_data_files(); !missing.empty())
    GTEST_SKIP() << "data file " << missing << " is not built";
  struct Case {
    int width, height;
    std::vector<std::string> saved;  // empty: no settings file
    std::vector<std::string> later;  // the lines after the fourth, kept
  };
  const Case cases[] = {
      {1024, 768, {}, {}},
      {1920, 1080, {}, {}},
      {1024, 768, {"1920", "1080", "EVA", "/x/zarnik.lnk", "installer line"}, {"installer line"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) +
                 (c.saved.empty() ? "" : " with 1920x1080 saved"));
    fs::remove_all(dir_ / "config");
    if (!c.saved.empty()) write_settings(dir_, c.saved);
    VirtualDisplay x;
    std::string why;
    if (!x.start(why, c.width, c.height)) GTEST_SKIP() << why;
    start_and_close(x, program_, dir_);
    const auto ini = lines_of(read_bytes(dir_ / "config" / "zarnik.ini"));
    ASSERT_GE(ini.size(), 4u);
    EXPECT_EQ(ini[0], "800");
    EXPECT_EQ(ini[1], "600");
    EXPECT_EQ(std::vector<std::string>(ini.begin() + 4, ini.end()), c.later);
  }
}

TEST(GameProgramWithoutDisplay, EndsWithAClearMessage) {
  const std::string program = std::string(ZARNIK_RUN_DIR) + "/zarnik";
  if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "the game program is not built";
  // No display variable at all, and an empty one (where SDL would otherwise
  // fall back to a driver that draws nowhere).
  for (bool empty_display : {false, true}) {
    SCOPED_TRACE(empty_display ? "DISPLAY empty" : "DISPLAY unset");
    const fs::path dir =
        fs::temp_directory_path() / ("zarnik-nodisplay-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path log = dir / "stderr.txt";
    pid_t pid = fork();
    if (pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (chdir(dir.c_str()) != 0) _exit(126);
      int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 2);
      if (empty_display)
        setenv("DISPLAY", "", 1);
      else
        unsetenv("DISPLAY");
      unsetenv("WAYLAND_DISPLAY");
      unsetenv("SDL_VIDEODRIVER");
      setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
      execl(program.c_str(), "zarnik", static_cast<char*>(nullptr));
      _exit(127);
    }
    int st = 0;
    for (int i = 0; i < 200 && waitpid(pid, &st, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(50ms);
    if (waitpid(pid, &st, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
      ADD_FAILURE() << "the program kept running without a display";
      fs::remove_all(dir);
      continue;
    }
    EXPECT_TRUE(WIFEXITED(st)) << "ended by signal " << WTERMSIG(st);
    EXPECT_EQ(WEXITSTATUS(st), 1);
    const auto bytes = read_bytes(log);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("Obrazovku nelze otevřít"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir / "zarnik.ini"));
    fs::remove_all(dir);
  }
}

}  // namespace
