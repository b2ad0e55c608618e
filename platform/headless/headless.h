#pragma once
// The headless backend: every platform service kept in memory and driven by
// the test (or tool) that owns it. Time moves only when the test advances the
// clock (or when the program sleeps or waits for events).
#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/display_device.h"
#include "platform/mixer.h"
#include "platform/sequenced_music.h"
#include "platform/services.h"
#include "platform/system.h"

namespace platform::headless {

// Atomic: a test's synthesiser thread reads the song's time while the test
// moves it on.
class HeadlessClock : public Clock {
 public:
  uint32_t now_ms() override { return now_.load(); }
  void sleep_ms(uint32_t ms) override { now_ += ms; }
  void advance(uint32_t ms) { now_ += ms; }
  void set(uint32_t ms) { now_ = ms; }

 private:
  std::atomic<uint32_t> now_{0};
};

// A display that keeps the last presented frame. The test gives the mode
// list and may declare the surfaces lost.
class HeadlessDisplay : public DisplayDevice {
 public:
  std::vector<DisplayMode> mode_list = {{640, 480, 16}, {800, 600, 16}, {1024, 768, 16},
                                        {640, 480, 32}, {800, 600, 32}, {1024, 768, 32}};
  // Full-screen modes not in mode_list are refused.
  bool strict_modes = true;
  // While true the surfaces are lost; restore() clears it unless
  // refuse_restore is set.
  bool lost = false;
  bool refuse_restore = false;
  // Makes present() fail (recorded by the caller).
  bool fail_present = false;

  // The mode in force (fullscreen false: a window of that size).
  DisplayMode mode{640, 480, 16};
  bool fullscreen = false;
  bool closed = true;

  // The last presented frame, the size of the client area.
  std::vector<uint16_t> frame;
  int frame_width = 0;
  int frame_height = 0;
  // Where the last present put the image.
  int dst_x = 0, dst_y = 0, dst_w = 0, dst_h = 0;
  int presents = 0;
  int vblank_waits = 0;
  int restores = 0;
  std::vector<DisplayMode> set_mode_calls;

  std::vector<DisplayMode> modes() override { return mode_list; }
  bool set_mode(int width, int height, int bits, bool fs) override;
  int client_width() override { return mode.width; }
  int client_height() override { return mode.height; }
  bool surfaces_lost() override { return lost; }
  bool restore() override;
  DeviceResult present(const uint16_t* pixels, int width, int height, int pitch, int dx, int dy,
                       int dw, int dh) override;
  void wait_vblank() override { ++vblank_waits; }
  void close() override {
    closed = true;
    fullscreen = false;
  }

  // Pixel of the last frame (0 outside it).
  uint16_t pixel(int x, int y) const;
};

class HeadlessSystem : public System {
 public:
  explicit HeadlessSystem(HeadlessClock* clock) : clock_(clock) {}
  std::deque<Event> events;
  Point cursor;
  bool cursor_visible = true;
  std::vector<std::string> shell_opens;
  bool shell_open_result = true;
  struct Box {
    std::string title, text;
  };
  std::vector<Box> error_boxes;
  std::vector<Box> confirm_boxes;
  bool confirm_answer = true;
  int waits = 0;
  uint32_t waited_ms = 0;

  void push(const Event& e) { events.push_back(e); }
  void push(EventType t) {
    Event e;
    e.type = t;
    events.push_back(e);
  }

  bool poll_event(Event& e) override;
  // Returns at once when events are queued; otherwise the clock moves on by
  // the timeout, as if nothing happened meanwhile.
  void wait_event(uint32_t timeout_ms) override;
  Point cursor_pos() override { return cursor; }
  void show_cursor(bool visible) override { cursor_visible = visible; }
  bool shell_open(const std::string& url) override {
    shell_opens.push_back(url);
    return shell_open_result;
  }
  void error_box(const std::string& title, const std::string& text) override {
    error_boxes.push_back({title, text});
  }
  bool confirm_box(const std::string& title, const std::string& text) override {
    confirm_boxes.push_back({title, text});
    return confirm_answer;
  }

 private:
  HeadlessClock* clock_;
};

// Owns one of each device. install() puts them into platform::services();
// the destructor takes them out again if they are still installed.
struct Backend {
  HeadlessClock clock;
  HeadlessDisplay display;
  Mixer sound;
  SilentMusicDevice music{&clock};
  HeadlessSystem system{&clock};

  Backend() = default;
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;
  ~Backend();

  // Installs every device; with_sound false leaves the sound device out (the
  // program then runs silent).
  void install(bool with_sound = true);
  // Output samples (interleaved stereo) mixed for ms of time.
  std::vector<int16_t> mix_ms(uint32_t ms);
};

}  // namespace platform::headless
