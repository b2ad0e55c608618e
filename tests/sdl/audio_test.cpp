// The audio side without a sound device: the mixer is still pulled at the
// device's pace, so a sound that is played runs its length and ends, and a
// copy of it becomes free for the next play, as with a device.
#include "platform/sdl/audio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/mixer.h"

namespace platform::sdl {
namespace {

using namespace std::chrono_literals;

TEST(SilentAudio, PlayedSoundsRunTheirLengthAndEndWithoutADevice) {
  Mixer mixer(SdlAudio::kRate);
  const PcmFormat fmt{1, 22050, 16};
  const uint32_t bytes = 22050 / 10 * 2;  // 100 ms
  const auto b = mixer.create_buffer(fmt, bytes);
  ASSERT_NE(b, 0u);
  std::vector<uint8_t> tone(bytes, 0x40);
  ASSERT_EQ(mixer.write(b, 0, tone), BufferResult::Ok);

  SdlAudio audio;
  ASSERT_EQ(mixer.play(b, false), BufferResult::Ok);
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(mixer.status(b).playing) << "nothing pulls the mixer yet: the sound must wait";

  audio.run_silent(&mixer);
  const auto give_up = std::chrono::steady_clock::now() + 2s;
  while (mixer.status(b).playing && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(mixer.status(b).playing) << "a 100 ms sound still plays after 2 s";

  // A looping sound keeps going, and closing stops the pulling thread.
  ASSERT_EQ(mixer.play(b, true), BufferResult::Ok);
  std::this_thread::sleep_for(250ms);
  EXPECT_TRUE(mixer.status(b).playing);
  audio.close();
  mixer.release(b);
}

}  // namespace
}  // namespace platform::sdl
