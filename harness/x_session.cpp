#include "harness/x_session.h"

// clang-format off
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace xsession {

using namespace std::chrono_literals;

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

std::string unshift(const std::string& s) {
  std::string r = s;
  for (size_t i = 0; i < r.size(); ++i) r[i] = char(uint8_t(r[i]) - uint8_t(i + 1));
  return r;
}

// The X test extension, loaded at run time (only its library is installed,
// not its headers).
struct VirtualDisplay::XTest {
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

namespace {

// Windows of the program come and go while they are looked at; an error
// about a window that has just gone is expected, not fatal.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// The first mapped top-level window (0: none), and its attributes.
Window first_viewable(Display* dpy, XWindowAttributes* attributes = nullptr) {
  Window root_ret, parent;
  Window* children = nullptr;
  unsigned n = 0;
  if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root_ret, &parent, &children, &n)) return 0;
  Window found = 0;
  for (unsigned i = 0; i < n && found == 0; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, children[i], &a) && a.map_state == IsViewable) {
      found = children[i];
      if (attributes) *attributes = a;
    }
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

VirtualDisplay::VirtualDisplay() : xtest_(std::make_unique<XTest>()) {}

VirtualDisplay::~VirtualDisplay() {
  if (dpy_) XCloseDisplay(dpy_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

bool VirtualDisplay::start(std::string& why, int width, int height) {
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
  if (!xtest_->load()) {
    why = "the X test extension library is missing";
    return false;
  }
  return true;
}

void VirtualDisplay::move(int x, int y) {
  xtest_->motion(dpy_, 0, x, y, 0);
  XSync(dpy_, False);
}

void VirtualDisplay::click(int x, int y) {
  move(x, y);
  std::this_thread::sleep_for(50ms);
  xtest_->button(dpy_, 1, True, 0);
  XSync(dpy_, False);
  std::this_thread::sleep_for(50ms);
  xtest_->button(dpy_, 1, False, 0);
  XSync(dpy_, False);
}

void VirtualDisplay::key_down(KeySym sym) {
  xtest_->key(dpy_, XKeysymToKeycode(dpy_, sym), True, 0);
  XSync(dpy_, False);
}

void VirtualDisplay::key_up(KeySym sym) {
  xtest_->key(dpy_, XKeysymToKeycode(dpy_, sym), False, 0);
  XSync(dpy_, False);
}

void VirtualDisplay::tap(KeySym sym) {
  key_down(sym);
  std::this_thread::sleep_for(40ms);
  key_up(sym);
  std::this_thread::sleep_for(60ms);
}

double VirtualDisplay::lit_share(int left, int top, int w, int h) {
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

std::vector<uint32_t> VirtualDisplay::screen_pixels() {
  XImage* img = XGetImage(dpy_, DefaultRootWindow(dpy_), 0, 0, width_, height_, AllPlanes, ZPixmap);
  if (!img) return {};
  std::vector<uint32_t> px(size_t(width_) * height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      px[size_t(y) * width_ + x] = uint32_t(XGetPixel(img, x, y) & 0xFFFFFF);
  XDestroyImage(img);
  return px;
}

VirtualDisplay::TopWindow VirtualDisplay::top_window() {
  TopWindow out;
  XWindowAttributes a;
  const Window w = first_viewable(dpy_, &a);
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

VirtualDisplay::WindowLooks VirtualDisplay::window_looks() {
  WindowLooks out;
  const Window w = first_viewable(dpy_);
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

bool VirtualDisplay::any_window_viewable() { return first_viewable(dpy_) != 0; }

Game::Game(const std::string& program, const fs::path& dir, const std::string& display,
           const std::vector<std::pair<std::string, std::string>>& env) {
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
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    execl(program.c_str(), "zarnik", static_cast<char*>(nullptr));
    _exit(127);
  }
}

Game::~Game() {
  if (running()) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::running() {
  if (exited_) return false;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    exited_ = true;
    status_ = st;
    return false;
  }
  return true;
}

bool ChildProcess::wait_exit(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (!running()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return !running();
}

std::string Game::log() const {
  auto b = read_bytes(log_);
  return std::string(b.begin(), b.end());
}

}  // namespace xsession
