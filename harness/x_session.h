#pragma once
// A virtual X display (Xvfb) with input injection and screen reading, and
// the game program started on it in a folder of its own. Shared by the
// end-to-end tests and the benchmarks of the game program. The X calls stay
// in x_session.cpp: the X headers define macros (None, Bool, Status) that
// clash with the test and benchmark frameworks. Keys are named by the X
// key symbols of <X11/keysym.h> (XK_Return, ...), which define nothing else.
#include <X11/keysym.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game/game_files.h"

struct _XDisplay;

namespace xsession {

namespace fs = std::filesystem;

using KeySym = unsigned long;  // an X key symbol, as Xlib's own

using game::kDataFiles;

// The executable `name` on $PATH (empty when there is none).
std::string find_in_path(const std::string& name);
// A whole file (empty when it cannot be read).
std::vector<uint8_t> read_bytes(const fs::path& p);
// Lines ended by CR LF, LF or CR; a final line without its end counts.
std::vector<std::string> lines_of(const std::vector<uint8_t>& b);
// The score file stores position p (from 1) of each line as c + p: the text
// back.
std::string unshift(const std::string& s);

class VirtualDisplay {
 public:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;

  VirtualDisplay();
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // Starts a server with one screen of the given size; false with the reason
  // in `why` when there is no server or no X test extension.
  bool start(std::string& why, int width = kWidth, int height = kHeight);

  const std::string& name() const { return name_; }

  void move(int x, int y);
  void click(int x, int y);
  void key_down(KeySym sym);
  void key_up(KeySym sym);
  void tap(KeySym sym);

  // Share of screen pixels (sampled on a grid) that are not black.
  double lit_share() { return lit_share(0, 0, width_, height_); }
  // The same within one rectangle of the screen (cheaper to read).
  double lit_share(int left, int top, int w, int h);
  // The whole screen, row by row, as 0xRRGGBB; empty when it cannot be read.
  std::vector<uint32_t> screen_pixels();
  int width() const { return width_; }
  int height() const { return height_; }

  // The first mapped top-level window: where it is and whether it asks the
  // window manager for full screen.
  struct TopWindow {
    bool found = false;
    int x = 0, y = 0, width = 0, height = 0;
    bool fullscreen_state = false;
  };
  TopWindow top_window();

  // How the first mapped top-level window presents itself to a desktop:
  // its class, its title and the size of its icon (0 without one).
  struct WindowLooks {
    bool found = false;
    std::string res_name, res_class, title;
    int icon_width = 0, icon_height = 0;
    bool icon_has_colour = false;
  };
  WindowLooks window_looks();

  // True when a window is mapped on the screen.
  bool any_window_viewable();

 private:
  struct XTest;
  pid_t pid_ = -1;
  int width_ = kWidth;
  int height_ = kHeight;
  std::string name_;
  _XDisplay* dpy_ = nullptr;
  std::unique_ptr<XTest> xtest_;
};

// A program the test started (pid_ set by the derived class): whether it
// still runs, waiting for its end, and its wait status.
class ChildProcess {
 public:
  bool running();
  bool wait_exit(std::chrono::milliseconds limit);
  int status() const { return status_; }
  pid_t pid() const { return pid_; }

 protected:
  pid_t pid_ = -1;

 private:
  bool exited_ = false;
  int status_ = 0;
};

// The game program started in a folder of its own on a display, with its
// settings folder in dir/config and its standard error in dir/stderr.txt;
// killed if it still runs when this goes. `env` adds to (or overrides) the
// variables set for it.
class Game : public ChildProcess {
 public:
  Game(const std::string& program, const fs::path& dir, const std::string& display,
       const std::vector<std::pair<std::string, std::string>>& env = {});
  ~Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  std::string log() const;

 private:
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
