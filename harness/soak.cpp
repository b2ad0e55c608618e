#include "harness/soak.h"

#include <execinfo.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "harness/alloc_count.h"
#include "harness/game_driver.h"

namespace {
// With SOAK_TRACE set, the first allocations in quiet play frames print
// their call stacks, to find what allocates.
bool g_trace = false;
int g_traced = 0;

void trace_allocation() {
  if (!g_trace || g_traced >= std::atoi(std::getenv("SOAK_TRACE"))) return;
  g_trace = false;  // backtrace() may allocate
  ++g_traced;
  void* frames[32];
  const int n = backtrace(frames, 32);
  std::fprintf(stderr, "-- allocation in a quiet play frame:\n");
  backtrace_symbols_fd(frames, n, 2);
  g_trace = true;
}
}  // namespace

namespace soak {

namespace {

using game_driver::GameDriver;
namespace vk = game_driver;

int64_t heap_in_use() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<int64_t>(m.uordblks + m.hblkhd);
}

int64_t resident_bytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<int64_t>(resident) * sysconf(_SC_PAGESIZE);
}

// The random player. It keeps to inputs that leave the game running: in the
// menu it never presses Esc with nothing to close and never clicks while the
// quit item or the web link is under the cursor.
class Player {
 public:
  Player(GameDriver& d, uint32_t seed, Result& r) : d_(d), rng_(seed), r_(r) {
    menu_left_ = between(20, 400);
  }

  // Sends this frame's input; returns the number of events sent.
  int64_t act() {
    sent_ = 0;
    if (f().game.in_menu == 1)
      menu();
    else
      play();
    r_.events += sent_;
    return sent_;
  }

 private:
  game::TForm1& f() { return d_.form(); }
  int W() { return f().DXDraw1.Width(); }
  int H() { return f().DXDraw1.Height(); }
  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  void press(int key) {
    d_.press(key);
    sent_ += 2;
  }
  void move(int x, int y) {
    d_.move_to(x, y);
    ++sent_;
  }
  void click(int button = 0) {
    d_.click(button);
    sent_ += 2;
  }

  void menu() {
    auto& g = f().game;
    if (g.scores_shown == 1) {
      if (chance(0.02)) press(vk::kEsc);
      return;
    }
    if (g.name_editing == 1) {
      if (chance(0.08)) {
        const int k = between(0, 27);
        if (k == 26) {
          press(vk::kBackspace);
        } else {
          press(k == 27 ? vk::kSpace : 'A' + k);
          ++r_.names_typed;
        }
      } else if (chance(0.01)) {
        press(chance(0.5) ? vk::kEnter : vk::kEsc);
      }
      return;
    }
    if (--menu_left_ <= 0) {
      start_game();
      return;
    }
    if (chance(0.03)) move(between(0, W() - 1), between(0, H() - 1));
    if (chance(0.01)) press(chance(0.5) ? vk::kUp : vk::kDown);
    if (chance(0.004)) {
      // Into the name field.
      move(W() - 50, H() - 72);
      click();
    }
    if (chance(0.003)) {
      // The score list, by mouse or by keys.
      if (chance(0.5)) {
        move(W() / 2, H() / 2 - 25);
        click();
      } else {
        select_with_keys(&game::Thra::scores_selected);
        press(vk::kEnter);
      }
    }
    // A stray click where nothing that closes the game is highlighted.
    if (chance(0.005) && g.end_selected == 0 && g.link_hover == 0 && g.start_selected == 0) click();
  }

  void select_with_keys(uint8_t game::Thra::*item) {
    for (int i = 0; i < 4 && f().game.*item != 1; ++i) press(vk::kDown);
  }

  void start_game() {
    if (chance(0.5)) {
      move(W() / 2, H() / 2 - 75);
      click();
    } else {
      select_with_keys(&game::Thra::start_selected);
      press(vk::kEnter);
    }
    if (f().game.in_menu == 0) {
      ++r_.games_started;
      play_left_ = chance(0.2) ? between(3000, 30000) : between(200, 3000);
    }
    menu_left_ = between(20, 400);
  }

  void end_game() {
    ++r_.games_ended;
    for (int key : {vk::kLeft, vk::kRight, vk::kSpace, vk::kCtrl}) d_.key_up(key);
    sent_ += 4;
  }

  void play() {
    auto& g = f().game;
    if (--play_left_ <= 0) {
      press(vk::kEsc);
      end_game();
      return;
    }
    if (g.game_lost == 1 && chance(0.01)) {
      click();
      end_game();
      return;
    }
    static constexpr int kHeld[] = {vk::kLeft, vk::kRight, vk::kSpace, vk::kCtrl};
    if (chance(0.05)) {
      d_.key_down(kHeld[between(0, 3)]);
      ++sent_;
    }
    if (chance(0.05)) {
      d_.key_up(kHeld[between(0, 3)]);
      ++sent_;
    }
    if (chance(0.01)) press(chance(0.5) ? vk::kUp : vk::kDown);
    if (chance(0.002)) press(chance(0.5) ? 'A' : 'Y');
    if (chance(0.03)) move(between(0, W() - 1), between(0, H() - 1));
    if (chance(0.01) && g.game_lost == 0) {
      const int button = between(0, 1);
      if (chance(0.5)) {
        d_.mouse_down(button);
      } else {
        d_.mouse_up(button);
      }
      ++sent_;
    }
    if (chance(0.005)) {
      d_.wheel(chance(0.5) ? 1 : -1);
      ++sent_;
    }
    // Pauses are short: the player comes back.
    if (g.paused == 1 ? chance(0.05) : chance(0.0005)) press(vk::kPause);
  }

  GameDriver& d_;
  std::mt19937 rng_;
  Result& r_;
  int64_t sent_ = 0;
  int menu_left_ = 0;
  int play_left_ = 0;
};

}  // namespace

Result run(const Options& options) {
  Result r;
  game_driver::Options o;
  o.data_from = options.data_from;
  GameDriver d(o);
  if (!d.create()) throw std::runtime_error("the game did not start");
  // The splash first, without input.
  d.tick(250);
  Player player(d, options.seed, r);
  const bool trace = std::getenv("SOAK_TRACE") != nullptr;
  if (trace) alloc_count::set_observer(&trace_allocation);

  const auto t0 = std::chrono::steady_clock::now();
  for (int64_t i = 0; i < options.frames; ++i) {
    const bool was_play = d.form().game.in_menu == 0;
    const int64_t sent = player.act();
    if (d.terminated()) {
      r.terminated = true;
      break;
    }
    const bool in_play = d.form().game.in_menu == 0;
    const int64_t before = alloc_count::allocations();
    g_trace = trace && was_play && in_play && sent == 0;
    d.tick(1);
    g_trace = false;
    const int64_t made = alloc_count::allocations() - before;
    if (in_play) ++r.play_frames;
    if (was_play && in_play && sent == 0 && d.form().game.in_menu == 0) {
      ++r.quiet_play_frames;
      r.quiet_allocations += made;
    }
    ++r.frames;
    if (d.terminated()) {
      r.terminated = true;
      break;
    }
    if (i + 1 == options.warmup) {
      r.heap_after_warmup = heap_in_use();
      r.rss_after_warmup = resident_bytes();
    }
    if (i + 1 >= options.warmup && (i + 1) % 1000 == 0)
      r.peak_heap = std::max(r.peak_heap, heap_in_use());
    if (options.report_every > 0 && (i + 1) % options.report_every == 0 && options.report)
      options.report(i + 1);
  }
  alloc_count::set_observer(nullptr);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.heap_at_end = heap_in_use();
  r.rss_at_end = resident_bytes();
  return r;
}

}  // namespace soak
