// The real game program under a virtual X display: it starts, shows frames,
// takes a typed name, plays, and writes its files on the way out; and with no
// data files it reports the error and writes nothing. Input is injected with
// the X test extension, frames are read back from the display.
// gtest first: the X headers define macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// clang-format on
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char* const kDataFiles[] = {"obrazky.xxx", "menu.xxx", "zvuk.xxx", "menu.mid", "hra.mid"};

std::string find_in_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    fs::path cand = fs::path(p.substr(start, end - start)) / name;
    if (access(cand.c_str(), X_OK) == 0) return cand;
    start = end + 1;
  }
  return {};
}

std::vector<uint8_t> read_bytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::vector<std::string> lines_of(const std::vector<uint8_t>& b) {
  std::vector<std::string> out;
  std::string cur;
  for (size_t i = 0; i < b.size(); ++i) {
    if (b[i] == '\r' || b[i] == '\n') {
      out.push_back(cur);
      cur.clear();
      if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n') ++i;
    } else {
      cur += char(b[i]);
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

// The score file stores position p (from 1) of each line as c + p.
std::string unshift(const std::string& s) {
  std::string r = s;
  for (size_t i = 0; i < r.size(); ++i) r[i] = char(uint8_t(r[i]) - uint8_t(i + 1));
  return r;
}

// The X test extension, loaded at run time (only its library is installed,
// not its headers).
struct XTest {
  using KeyFn = int (*)(Display*, unsigned, int, unsigned long);
  using ButtonFn = int (*)(Display*, unsigned, int, unsigned long);
  using MotionFn = int (*)(Display*, int, int, int, unsigned long);
  void* lib = nullptr;
  KeyFn key = nullptr;
  ButtonFn button = nullptr;
  MotionFn motion = nullptr;
  bool load() {
    lib = dlopen("libXtst.so.6", RTLD_NOW);
    if (!lib) return false;
    key = reinterpret_cast<KeyFn>(dlsym(lib, "XTestFakeKeyEvent"));
    button = reinterpret_cast<ButtonFn>(dlsym(lib, "XTestFakeButtonEvent"));
    motion = reinterpret_cast<MotionFn>(dlsym(lib, "XTestFakeMotionEvent"));
    return key && button && motion;
  }
};

class VirtualDisplay {
 public:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;

  bool start(std::string& why) {
    const std::string xvfb = find_in_path("Xvfb");
    if (xvfb.empty()) {
      why = "Xvfb is not installed";
      return false;
    }
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      close(fds[0]);
      int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1);
      dup2(devnull, 2);
      const std::string fd = std::to_string(fds[1]);
      const std::string screen = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
      execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
            "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number it took once it accepts connections.
    std::string num;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') num += c;
    close(fds[0]);
    if (num.empty()) {
      why = "Xvfb did not start";
      return false;
    }
    name_ = ":" + num;
    dpy_ = XOpenDisplay(name_.c_str());
    if (!dpy_) {
      why = "cannot connect to Xvfb";
      return false;
    }
    if (!xtest_.load()) {
      why = "the X test extension library is missing";
      return false;
    }
    return true;
  }

  ~VirtualDisplay() {
    if (dpy_) XCloseDisplay(dpy_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

  const std::string& name() const { return name_; }

  void move(int x, int y) {
    xtest_.motion(dpy_, 0, x, y, 0);
    XSync(dpy_, False);
  }
  void click(int x, int y) {
    move(x, y);
    std::this_thread::sleep_for(50ms);
    xtest_.button(dpy_, 1, True, 0);
    XSync(dpy_, False);
    std::this_thread::sleep_for(50ms);
    xtest_.button(dpy_, 1, False, 0);
    XSync(dpy_, False);
  }
  void key_down(KeySym sym) {
    xtest_.key(dpy_, XKeysymToKeycode(dpy_, sym), True, 0);
    XSync(dpy_, False);
  }
  void key_up(KeySym sym) {
    xtest_.key(dpy_, XKeysymToKeycode(dpy_, sym), False, 0);
    XSync(dpy_, False);
  }
  void tap(KeySym sym) {
    key_down(sym);
    std::this_thread::sleep_for(40ms);
    key_up(sym);
    std::this_thread::sleep_for(60ms);
  }

  // Share of screen pixels (sampled on a grid) that are not black.
  double lit_share() {
    XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    if (!img) return 0;
    int lit = 0, total = 0;
    for (int y = 0; y < kHeight; y += 4)
      for (int x = 0; x < kWidth; x += 4) {
        ++total;
        if ((XGetPixel(img, x, y) & 0xFFFFFF) != 0) ++lit;
      }
    XDestroyImage(img);
    return double(lit) / total;
  }

  // True when a window is mapped on the screen.
  bool any_window_viewable() {
    Window root_ret, parent;
    Window* children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy_, DefaultRootWindow(dpy_), &root_ret, &parent, &children, &n)) return false;
    bool found = false;
    for (unsigned i = 0; i < n && !found; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(dpy_, children[i], &a) && a.map_state == IsViewable) found = true;
    }
    if (children) XFree(children);
    return found;
  }

 private:
  pid_t pid_ = -1;
  std::string name_;
  Display* dpy_ = nullptr;
  XTest xtest_;
};

class Game {
 public:
  // Starts the program in dir with its settings folder in dir/config.
  Game(const std::string& program, const fs::path& dir, const std::string& display) {
    fs::create_directories(dir / "config");
    log_ = dir / "stderr.txt";
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (chdir(dir.c_str()) != 0) _exit(126);
      int fd = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 2);
      setenv("DISPLAY", display.c_str(), 1);
      setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
      setenv("HOME", dir.c_str(), 1);
      setenv("SDL_VIDEODRIVER", "x11", 1);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      unsetenv("WAYLAND_DISPLAY");
      execl(program.c_str(), "zarnik", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Game() {
    if (running()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool running() {
    if (exited_) return false;
    int st = 0;
    if (waitpid(pid_, &st, WNOHANG) == pid_) {
      exited_ = true;
      status_ = st;
      return false;
    }
    return true;
  }
  bool wait_exit(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (!running()) return true;
      std::this_thread::sleep_for(50ms);
    }
    return !running();
  }
  int status() const { return status_; }
  std::string log() const {
    auto b = read_bytes(log_);
    return std::string(b.begin(), b.end());
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
  fs::path log_;
};

template <class Pred>
bool wait_until(Pred p, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (p()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return p();
}

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
    dir_ = fs::temp_directory_path() / ("zarnik-e2e-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    alarm(0);
    if (!dir_.empty() && !HasFailure()) fs::remove_all(dir_);
  }

  VirtualDisplay display_;
  std::string program_;
  fs::path dir_;
};

TEST_F(GameProgram, PlaysARoundAndKeepsNameAndScore) {
  for (const char* f : kDataFiles) {
    const fs::path src = fs::path(ZARNIK_RUN_DIR) / f;
    if (!fs::exists(src)) GTEST_SKIP() << "data file " << f << " is not built";
    fs::copy_file(src, dir_ / f);
  }
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

TEST_F(GameProgram, MissingDataFilesEndWithAnErrorAndWriteNothing) {
  Game game(program_, dir_, display_.name());
  // The error box comes up (the game window itself never shows).
  ASSERT_TRUE(wait_until([&] { return display_.any_window_viewable() || !game.running(); }, 15s));
  ASSERT_TRUE(game.running()) << "no error box waited for the user\n" << game.log();
  std::this_thread::sleep_for(300ms);
  EXPECT_GT(display_.lit_share(), 0.01) << "the error box is not drawn";
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
  EXPECT_FALSE(fs::exists(dir_ / "config" / "zarnik.ini"));
  EXPECT_FALSE(fs::exists(dir_ / "data.dat"));
  EXPECT_FALSE(fs::exists(dir_ / "zarnik.lnk"));
}

TEST(GameProgramWithoutDisplay, EndsWithAClearMessage) {
  const std::string program = std::string(ZARNIK_RUN_DIR) + "/zarnik";
  if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "the game program is not built";
  const fs::path dir = fs::temp_directory_path() / ("zarnik-nodisplay-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path log = dir / "stderr.txt";
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (chdir(dir.c_str()) != 0) _exit(126);
    int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    execl(program.c_str(), "zarnik", static_cast<char*>(nullptr));
    _exit(127);
  }
  int st = 0;
  for (int i = 0; i < 200 && waitpid(pid, &st, WNOHANG) == 0; ++i) std::this_thread::sleep_for(50ms);
  if (waitpid(pid, &st, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &st, 0);
    FAIL() << "the program kept running without a display";
  }
  ASSERT_TRUE(WIFEXITED(st)) << "ended by signal " << WTERMSIG(st);
  EXPECT_EQ(WEXITSTATUS(st), 1);
  const auto bytes = read_bytes(log);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_NE(text.find("display"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(dir / "zarnik.ini"));
  fs::remove_all(dir);
}

}  // namespace
