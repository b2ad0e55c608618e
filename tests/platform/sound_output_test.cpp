// The shared sound output over any backend's sink: with a device the sink's
// pulls get the mixer with the music added; without one the mixer is still
// pulled at the device's pace, so a played sound runs its length and ends
// (and a copy of it becomes free again) and the music is not rendered.
#include "platform/sound_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/platform/wait_for.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using test_wait::wait_for;

// A sink whose "device" the test pulls by hand, or one that has none.
class FakeSink : public AudioSink {
 public:
  explicit FakeSink(bool has_device) : has_device_(has_device) {}
  bool open(uint32_t rate, Pull pull, std::string& error) override {
    opened_rate = rate;
    if (!has_device_) {
      error = "no device here";
      return false;
    }
    pull_ = std::move(pull);
    return true;
  }
  void close() override {
    pull_ = nullptr;
    ++closes;
  }
  void device_asks(int16_t* out, size_t frames) { pull_(out, frames); }
  bool open_now() const { return bool(pull_); }

  uint32_t opened_rate = 0;
  int closes = 0;

 private:
  bool has_device_;
  Pull pull_;
};

// A 100 ms sound of a constant level, loaded into the output's mixer.
SoundDevice::Buffer short_sound(Mixer& mixer) {
  const PcmFormat fmt{1, 22050, 16};
  const uint32_t bytes = 22050 / 10 * 2;
  const auto b = mixer.create_buffer(fmt, bytes);
  EXPECT_NE(b, 0u);
  std::vector<uint8_t> tone(bytes, 0x40);
  EXPECT_EQ(mixer.write(b, 0, tone), BufferResult::Ok);
  return b;
}

TEST(SilentPace, CountsWholeFramesByTheClockAndDoesNotMakeUpALongPause) {
  struct Step {
    double now_ms;
    size_t due;
  };
  const struct {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"the first call only starts the count", {{1000, 0}, {1010, 441}}},
      {"parts of a frame carry over", {{0, 0}, {0.01, 0}, {0.02, 0}, {0.03, 1}}},
      {"a long pause gives a quarter second at most", {{0, 0}, {5000, 11025}, {5010, 441}}},
      {"a clock that goes back starts the count again", {{500, 0}, {400, 0}, {410, 441}}},
  };
  for (const auto& c : cases) {
    SilentPace pace(44100);
    for (const Step& s : c.steps)
      EXPECT_EQ(pace.due(s.now_ms), s.due) << c.what << " at " << s.now_ms;
  }
  SilentPace pace(44100);
  pace.due(0);
  pace.restart();
  EXPECT_EQ(pace.due(1000), 0u) << "after restart() the count starts afresh";
}

TEST(SoundOutput, WithoutADevicePlayedSoundsRunTheirLengthAndEnd) {
  SoundOutput output;
  std::atomic<int> music_calls{0};
  output.set_music([&](float*, size_t) { ++music_calls; });
  const auto b = short_sound(output.mixer());
  ASSERT_EQ(output.mixer().play(b, false), BufferResult::Ok);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(output.mixer().status(b).playing) << "nothing pulls the mixer yet: the sound waits";

  FakeSink none(false);
  std::string error;
  EXPECT_FALSE(output.start(none, error));
  EXPECT_EQ(error, "no device here") << "the reason is told";
  EXPECT_FALSE(output.has_device());
  EXPECT_TRUE(wait_for([&] { return !output.mixer().status(b).playing; }, 2s))
      << "a 100 ms sound still plays after 2 s";
  EXPECT_EQ(music_calls.load(), 0) << "the music is not rendered into nothing";

  // A looping sound keeps going; once stopped, nothing pulls any more.
  ASSERT_EQ(output.mixer().play(b, true), BufferResult::Ok);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(output.mixer().status(b).playing);
  output.stop();
  const uint64_t pulled = output.frames_pulled();
  EXPECT_GT(pulled, 4410u);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(output.frames_pulled(), pulled) << "nothing pulls the mixer after stop()";
  output.mixer().release(b);
}

TEST(SoundOutput, ADevicePullsTheMixWithTheMusicAtTheOutputsRate) {
  SoundOutput output(22050);
  output.set_music([](float* bus, size_t frames) {
    for (size_t i = 0; i < 2 * frames; ++i) bus[i] += 0.25f;
  });
  FakeSink sink(true);
  std::string error;
  ASSERT_TRUE(output.start(sink, error));
  EXPECT_TRUE(output.has_device());
  EXPECT_EQ(sink.opened_rate, 22050u);

  std::vector<int16_t> block(2 * 256, 0x7777);
  sink.device_asks(block.data(), 256);
  EXPECT_EQ(output.frames_pulled(), 256u);
  // Music alone at a quarter of full scale, raised by the music bus's gain
  // and lowered by the headroom, on both sides.
  const auto expected = int16_t(std::lround(0.25 * Mixer::kMusicGain * Limiter::kHeadroom * 32767));
  EXPECT_NEAR(block[200], expected, 40);
  EXPECT_NEAR(block[201], expected, 40);

  output.stop();
  EXPECT_EQ(sink.closes, 1);
  EXPECT_FALSE(sink.open_now());
  output.stop();
  EXPECT_EQ(sink.closes, 1) << "a second stop closes nothing";
}

}  // namespace
}  // namespace platform
