#pragma once
// A virtual X display (Xvfb) with input injection and screen reading, and
// the game program started on it in a folder of its own. Shared by the
// end-to-end test and the benchmarks of the game program.
// gtest or benchmark first where used: the X headers define macros (None,
// Bool) that clash with them.
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

namespace xsession {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline const char* const kDataFiles[] = {"obrazky.xxx", "menu.xxx", "zvuk.xxx", "menu.mid",
                                         "hra.mid"};

inline std::string find_in_path(const std::string& name) {
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

inline std::vector<uint8_t> read_bytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> lines_of(const std::vector<uint8_t>& b) {
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
inline std::string unshift(const std::string& s) {
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

// Windows of the program come and go while they are looked at; an error
// about a window that has just gone is expected, not fatal.
inline int ignore_x_error(Display*, XErrorEvent*) { return 0; }

class VirtualDisplay {
 public:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;

  // Starts a server with one screen of the given size.
  bool start(std::string& why, int width = kWidth, int height = kHeight) {
    width_ = width;
    height_ = height;
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
      const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
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
    XSetErrorHandler(ignore_x_error);
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
  Display* display() const { return dpy_; }

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
  double lit_share() { return lit_share(0, 0, width_, height_); }
  // The same within one rectangle of the screen (cheaper to read).
  double lit_share(int left, int top, int w, int h) {
    XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), left, top, w, h, AllPlanes, ZPixmap);
    if (!img) return 0;
    int lit = 0, total = 0;
    for (int y = 0; y < h; y += 4)
      for (int x = 0; x < w; x += 4) {
        ++total;
        if ((XGetPixel(img, x, y) & 0xFFFFFF) != 0) ++lit;
      }
    XDestroyImage(img);
    return double(lit) / total;
  }

  // The first mapped top-level window: where it is and whether it asks the
  // window manager for full screen.
  struct TopWindow {
    bool found = false;
    int x = 0, y = 0, width = 0, height = 0;
    bool fullscreen_state = false;
  };
  TopWindow top_window() {
    TopWindow out;
    XWindowAttributes a;
    const Window w = first_viewable(&a);
    if (w == 0) return out;
    out = {true, a.x, a.y, a.width, a.height, false};
    const Atom state = XInternAtom(dpy_, "_NET_WM_STATE", False);
    const Atom fullscreen = XInternAtom(dpy_, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, state, 0, 16, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
      if (format == 32)
        for (unsigned long k = 0; k < count; ++k)
          if (reinterpret_cast<unsigned long*>(data)[k] == fullscreen) out.fullscreen_state = true;
      XFree(data);
    }
    return out;
  }

  // How the first mapped top-level window presents itself to a desktop:
  // its class, its title and the size of its icon (0 without one).
  struct WindowLooks {
    bool found = false;
    std::string res_name, res_class, title;
    int icon_width = 0, icon_height = 0;
    bool icon_has_colour = false;
  };
  WindowLooks window_looks() {
    WindowLooks out;
    const Window w = first_viewable();
    if (w == 0) return out;
    out.found = true;
    XClassHint hint{};
    if (XGetClassHint(dpy_, w, &hint)) {
      out.res_name = hint.res_name ? hint.res_name : "";
      out.res_class = hint.res_class ? hint.res_class : "";
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
    }
    Atom type;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, XInternAtom(dpy_, "_NET_WM_NAME", False), 0, 256, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data) {
      out.title.assign(reinterpret_cast<char*>(data), count);
      XFree(data);
    }
    data = nullptr;
    if (XGetWindowProperty(dpy_, w, XInternAtom(dpy_, "_NET_WM_ICON", False), 0, 1 << 16, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data) {
      const auto* v = reinterpret_cast<const unsigned long*>(data);  // 32-bit items as longs
      if (format == 32 && count >= 2) {
        out.icon_width = int(v[0]);
        out.icon_height = int(v[1]);
        for (unsigned long k = 2; k < count; ++k) {
          const unsigned long p = v[k] & 0xFFFFFFFFul;  // Xlib widens the items with sign
          if ((p >> 24) == 0xFF && ((p >> 16) & 0xFF) + 40 < (p & 0xFF)) out.icon_has_colour = true;
        }
      }
      XFree(data);
    }
    return out;
  }

  // True when a window is mapped on the screen.
  bool any_window_viewable() { return first_viewable() != 0; }

 private:
  // The first mapped top-level window (0: none), and its attributes.
  Window first_viewable(XWindowAttributes* attributes = nullptr) {
    Window root_ret, parent;
    Window* children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy_, DefaultRootWindow(dpy_), &root_ret, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && found == 0; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(dpy_, children[i], &a) && a.map_state == IsViewable) {
        found = children[i];
        if (attributes) *attributes = a;
      }
    }
    if (children) XFree(children);
    return found;
  }

  pid_t pid_ = -1;
  int width_ = kWidth;
  int height_ = kHeight;
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
  pid_t pid() const { return pid_; }
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
bool wait_until(Pred p, std::chrono::milliseconds limit,
                std::chrono::milliseconds poll = std::chrono::milliseconds(50)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (p()) return true;
    std::this_thread::sleep_for(poll);
  }
  return p();
}

}  // namespace xsession
