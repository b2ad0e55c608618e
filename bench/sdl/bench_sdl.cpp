// Run: bench_sdl --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Each benchmark starts its own Xvfb. Present: wall time of one present of a
// changing frame (the X server's own share of the work is in its process,
// not in cpu_ms), one to one and 800 x 600 shrunk onto 640 x 480. StartUp: process start to the
// first frame on screen, on a desktop of the mode's size and on a larger one. CpuMenu / CpuPlay:
// the game's processor use over 10 s, in per cent of one core, in the menu and in a game.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "media/application.h"
#include "media/timer.h"
#include "platform/backend.h"
#include "platform/sdl/display.h"
#include "platform/sdl/events.h"

// Last: the X headers define macros (None, Bool) that clash with others.
#include "harness/x_session.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace xsession;

double process_cpu_ms() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// utime + stime of another process, in milliseconds.
double child_cpu_ms(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const size_t close = s.rfind(')');
  if (close == std::string::npos) return 0;
  std::vector<std::string> fields;
  std::string cur;
  for (size_t i = close + 2; i < s.size(); ++i) {
    if (s[i] == ' ') {
      fields.push_back(cur);
      cur.clear();
    } else {
      cur += s[i];
    }
  }
  // Fields after the name start at state (3rd field): utime is 14th, stime 15th.
  if (fields.size() < 13) return 0;
  const double ticks = double(sysconf(_SC_CLK_TCK));
  return (std::stod(fields[11]) + std::stod(fields[12])) * 1000.0 / ticks;
}

void BM_Present(benchmark::State& state) {
  // The desktop's size, and the mode's where it differs (shrunk onto the
  // desktop).
  const int dw = int(state.range(0)), dh = int(state.range(1));
  const int w = state.range(2) > 0 ? int(state.range(2)) : dw;
  const int h = state.range(3) > 0 ? int(state.range(3)) : dh;
  VirtualDisplay x;
  std::string why;
  if (!x.start(why, dw, dh)) {
    state.SkipWithError(why.c_str());
    return;
  }
  setenv("DISPLAY", x.name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    state.SkipWithError(SDL_GetError());
    return;
  }
  {
    platform::sdl::SdlDisplay d("bench");
    if (!d.set_mode(w, h, 16, true)) {
      state.SkipWithError("mode refused");
    } else {
      std::vector<uint16_t> frame(size_t(w) * h);
      uint16_t v = 0;
      const double cpu0 = process_cpu_ms();
      for (auto _ : state) {
        std::fill(frame.begin(), frame.begin() + w, ++v);  // a changed row per frame
        d.present(frame.data(), w, h, w, 0, 0, w, h);
      }
      SDL_RendererInfo info;
      if (d.uses_framebuffer())
        state.SetLabel("window buffer");
      else if (SDL_GetRendererInfo(SDL_GetRenderer(d.window()), &info) == 0)
        state.SetLabel(info.name);
      state.counters["cpu_ms"] =
          benchmark::Counter((process_cpu_ms() - cpu0) / double(state.iterations()));
    }
  }
  SDL_Quit();
}
BENCHMARK(BM_Present)
    ->Args({800, 600, 0, 0})
    ->Args({1920, 1080, 0, 0})
    ->Args({640, 480, 800, 600})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The frame timer on the real backend's clock and event wait, over 10 s of
// 16 ms ticks with nothing else running: how late each tick comes after it is
// due on the millisecond clock the timer reads (late_0ms: in the millisecond
// it fell due, i.e. less than 1 ms late), and the spread of the gaps between
// ticks on a microsecond clock.
void BM_TimerTicks(benchmark::State& state) {
  VirtualDisplay x;
  std::string why;
  if (!x.start(why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  setenv("DISPLAY", x.name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  for (auto _ : state) {
    platform::BackendOptions options;
    options.audio = false;
    auto backend = platform::Backend::create(options);
    platform::install(backend->services());
    std::vector<int> late;
    std::vector<double> gaps;
    {
      media::TApplication app;
      app.SetActive(true);
      media::TDXTimer timer(&app);
      timer.SetInterval(16);
      uint32_t due = 0;
      auto last = std::chrono::steady_clock::now();
      timer.OnTimer = [&](media::TDXTimer*, int) {
        const uint32_t now = SDL_GetTicks();
        const auto t = std::chrono::steady_clock::now();
        if (due != 0) {
          late.push_back(int(now - due));
          gaps.push_back(std::chrono::duration<double, std::milli>(t - last).count());
        }
        last = t;
        due = now + 16;
        if (late.size() >= 625) app.Terminate();
      };
      timer.SetEnabled(true);
      app.Run();
    }
    platform::install({});
    backend.reset();
    std::sort(gaps.begin(), gaps.end());
    const auto share = [&](int ms) {
      return double(std::count(late.begin(), late.end(), ms)) / double(late.size());
    };
    state.counters["late_0ms"] = share(0);
    state.counters["late_1ms"] = share(1);
    state.counters["late_max_ms"] = *std::max_element(late.begin(), late.end());
    state.counters["gap_median_ms"] = gaps[gaps.size() / 2];
    state.counters["gap_p99_ms"] = gaps[gaps.size() * 99 / 100];
    state.counters["gap_max_ms"] = gaps.back();
  }
}
BENCHMARK(BM_TimerTicks)->Iterations(1)->Unit(benchmark::kSecond);

struct GameRun {
  VirtualDisplay x;
  fs::path dir;
  std::unique_ptr<Game> game;
  std::chrono::steady_clock::time_point launched;
  bool start(benchmark::State& state, int width = VirtualDisplay::kWidth,
             int height = VirtualDisplay::kHeight) {
    const std::string program = std::string(ZARNIK_RUN_DIR) + "/zarnik";
    if (access(program.c_str(), X_OK) != 0) {
      state.SkipWithError("the game program is not built");
      return false;
    }
    std::string why;
    if (!x.start(why, width, height)) {
      state.SkipWithError(why.c_str());
      return false;
    }
    dir = fs::temp_directory_path() / ("zarnik-bench-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* f : kDataFiles) fs::copy_file(fs::path(ZARNIK_RUN_DIR) / f, dir / f);
    launched = std::chrono::steady_clock::now();
    game = std::make_unique<Game>(program, dir, x.name());
    return true;
  }
  ~GameRun() {
    game.reset();
    fs::remove_all(dir);
  }
};

// Process start to the first frame visible on the screen: a mapped window
// with the splash picture lit in the middle of the screen. The screen is read
// about every 2 ms plus the time a read takes (under 1 ms for the middle
// ninth read here).
void BM_StartUp(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  for (auto _ : state) {
    GameRun run;
    if (!run.start(state, w, h)) return;
    auto lit = [&] {
      return run.x.any_window_viewable() && run.x.lit_share(w / 3, h / 3, w / 3, h / 3) > 0.01;
    };
    if (!wait_until(lit, 10s, 2ms)) {
      state.SkipWithError("no frame within 10 s");
      return;
    }
    const auto t1 = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(t1 - run.launched).count());
  }
}
BENCHMARK(BM_StartUp)
    ->Args({800, 600})
    ->Args({1920, 1080})
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void measure_cpu(benchmark::State& state, bool play) {
  for (auto _ : state) {
    GameRun run;
    if (!run.start(state)) return;
    if (!wait_until([&] { return run.x.any_window_viewable(); }, 10s)) {
      state.SkipWithError("no frame within 10 s");
      return;
    }
    std::this_thread::sleep_for(6s);  // past the splash
    if (play) {
      run.x.move(400, 300);
      run.x.tap(XK_Down);
      run.x.tap(XK_Return);
      std::this_thread::sleep_for(1s);
    }
    const double c0 = child_cpu_ms(run.game->pid());
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(10s);
    const double c1 = child_cpu_ms(run.game->pid());
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(wall / 1000);
    state.counters["cpu_percent"] = 100.0 * (c1 - c0) / wall;
  }
}
void BM_CpuMenu(benchmark::State& state) { measure_cpu(state, false); }
void BM_CpuPlay(benchmark::State& state) { measure_cpu(state, true); }
BENCHMARK(BM_CpuMenu)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_CpuPlay)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
