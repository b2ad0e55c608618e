#include "platform/headless/headless.h"

#include <algorithm>

#include "platform/fonts.h"

namespace platform::headless {

bool HeadlessDisplay::set_mode(int width, int height, int bits, bool fs) {
  set_mode_calls.push_back({width, height, bits});
  if (width <= 0 || height <= 0) return false;
  if (fs && strict_modes) {
    bool offered = std::any_of(mode_list.begin(), mode_list.end(), [&](const DisplayMode& m) {
      return m.width == width && m.height == height && m.bits == bits;
    });
    if (!offered) return false;
  }
  mode = {width, height, bits};
  fullscreen = fs;
  closed = false;
  return true;
}

bool HeadlessDisplay::restore() {
  ++restores;
  if (refuse_restore) return false;
  lost = false;
  return true;
}

DeviceResult HeadlessDisplay::present(const uint16_t* pixels, int width, int height, int pitch,
                                      int dx, int dy, int dw, int dh) {
  if (lost) return DeviceResult::SurfacesLost;
  if (fail_present) return DeviceResult::Failed;
  ++presents;
  dst_x = dx;
  dst_y = dy;
  dst_w = dw;
  dst_h = dh;
  frame_width = mode.width;
  frame_height = mode.height;
  frame.assign(static_cast<size_t>(frame_width) * frame_height, 0);
  if (dw <= 0 || dh <= 0 || width <= 0 || height <= 0) return DeviceResult::Ok;
  // Unscaled (the usual case): copy the visible part of each row at once.
  if (dw == width && dh == height) {
    const int x0 = std::max(0, -dx), x1 = std::min(dw, frame_width - dx);
    for (int y = std::max(0, -dy); y < std::min(dh, frame_height - dy); ++y) {
      if (x1 <= x0) break;
      std::copy(pixels + static_cast<size_t>(y) * pitch + x0,
                pixels + static_cast<size_t>(y) * pitch + x1,
                frame.begin() +
                    static_cast<ptrdiff_t>(static_cast<size_t>(dy + y) * frame_width + dx + x0));
    }
    return DeviceResult::Ok;
  }
  // Nearest-neighbour scaling of the source into the destination rectangle,
  // clipped to the client area.
  for (int y = 0; y < dh; ++y) {
    int ty = dy + y;
    if (ty < 0 || ty >= frame_height) continue;
    int sy = static_cast<int>(static_cast<int64_t>(y) * height / dh);
    for (int x = 0; x < dw; ++x) {
      int tx = dx + x;
      if (tx < 0 || tx >= frame_width) continue;
      int sx = static_cast<int>(static_cast<int64_t>(x) * width / dw);
      frame[static_cast<size_t>(ty) * frame_width + tx] =
          pixels[static_cast<size_t>(sy) * pitch + sx];
    }
  }
  return DeviceResult::Ok;
}

uint16_t HeadlessDisplay::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= frame_width || y >= frame_height) return 0;
  return frame[static_cast<size_t>(y) * frame_width + x];
}

bool HeadlessSystem::poll_event(Event& e) {
  if (events.empty()) return false;
  e = events.front();
  events.pop_front();
  return true;
}

void HeadlessSystem::wait_event(uint32_t timeout_ms) {
  ++waits;
  if (!events.empty()) return;
  waited_ms += timeout_ms;
  if (clock_ != nullptr) clock_->advance(timeout_ms);
}

Backend::~Backend() {
  Services& s = services();
  if (s.clock == &clock) {
    Services empty;
    empty.fonts = s.fonts;
    platform::install(empty);
  }
}

void Backend::install(bool with_sound) {
  Services s;
  s.display = &display;
  s.sound = with_sound ? &sound : nullptr;
  s.music = &music;
  s.clock = &clock;
  s.system = &system;
  // A rasteriser a test has put in the table stays in force.
  s.fonts = services().fonts ? services().fonts : &default_font_rasterizer();
  platform::install(s);
}

std::vector<int16_t> Backend::mix_ms(uint32_t ms) {
  size_t frames = static_cast<size_t>(sound.output_rate()) * ms / 1000;
  std::vector<int16_t> out(frames * 2);
  sound.mix(out.data(), frames);
  return out;
}

}  // namespace platform::headless
