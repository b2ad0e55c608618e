// Frame time on Windows (run under Wine): the busy play frame of bench/frame
// at 800 x 600 and 1920 x 1080, and the present of a whole frame into the
// game's window covering the monitor (StretchDIBits). Wall-clock time per
// frame, median and 99th percentile; Google Benchmark is not built for
// Windows, so this is a plain program.
//
//   wine build-win/bench/win32/win32_frame_time.exe [frames]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/frame/busy_game.h"
// After the game's headers: <windows.h> defines macros (RGB) that clash
// with their names.
#include "platform/win32/events.h"

namespace {

double now_us() {
  static const double per_us = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(f.QuadPart) / 1e6;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) / per_us;
}

struct Spread {
  double median, p99;
};

Spread spread(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, size_t(0.99 * double(v.size())))]};
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(100, std::atoi(argv[1])) : 3000;
  for (auto [w, h] : {std::pair{800, 600}, std::pair{1920, 1080}}) {
    const Spread s = spread(busy_game::time_play_frames(w, h, frames, now_us));
    std::printf("busy play frame %dx%d: median %.0f us, p99 %.0f us (%d frames)\n", w, h, s.median,
                s.p99, frames);
  }

  // The present: the monitor's size, as the game takes it by default under
  // a virtual display that offers only that mode.
  platform::win32::WinDisplay display("frame time");
  platform::win32::WinSystem system(&display);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  if (!display.set_mode(w, h, 16, true)) {
    std::printf("cannot open a %dx%d window\n", w, h);
    return 1;
  }
  busy_game::BusyGame busy(w, h);
  game::TForm1& f = busy.form;
  std::vector<double> present;
  const int presents = std::min(frames, 1000);
  for (int i = 0; i < presents; ++i) {
    busy_game::keep_busy(f, busy.backend);
    f.play_frame();
    media::TDirectDrawSurface* back = f.DXDraw1.Surface();
    const double t0 = now_us();
    display.present(back->Pixels(), back->Width(), back->Height(), back->Pitch(), 0, 0,
                    back->Width(), back->Height());
    GdiFlush();
    present.push_back(now_us() - t0);
    platform::Event e;
    while (system.poll_event(e)) {}
  }
  const Spread s = spread(present);
  std::printf("present %dx%d into the window: median %.0f us, p99 %.0f us (%d frames)\n", w, h,
              s.median, s.p99, presents);
  return 0;
}
