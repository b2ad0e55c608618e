#include "media/sound.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "media/errors.h"
#include "platform/headless/headless.h"
#include "platform/mixer.h"
#include "tests/platform/pcm_samples.h"

using namespace media;
using platform::BufferResult;
using platform::Mixer;
using platform::PcmFormat;

namespace {

using test_pcm::Out;
using test_pcm::Pcm16;

// A constant 16-bit mono wave of n frames at the output rate.
TWave Constant(int16_t value, size_t n, uint32_t rate = 44100) {
  return TWave::FromPCM(1, rate, 16, Pcm16(std::vector<int16_t>(n, value)));
}

struct SoundTest : ::testing::Test {
  platform::headless::Backend hb;
  TDXSound sound;
  TDXWaveList list;
  void SetUp() override {
    hb.install();
    list.SetDXSound(&sound);
  }
  TWaveCollectionItem& AddItem(TWave w, bool looped = false, int max_playing = 0) {
    auto& it = list.Items.Add();
    it.Wave = std::move(w);
    it.Looped = looped;
    it.SetMaxPlayingCount(max_playing);
    return it;
  }
  int Playing() {
    int n = 0;
    for (auto& b : list.Items.ItemAt(0).Duplicates()) n += hb.sound.status(b).playing ? 1 : 0;
    return n;
  }
};

}  // namespace

TEST_F(SoundTest, QuickPlaysDuplicateOrRestartTheOldestCopy) {
  auto& unlimited = AddItem(Constant(1000, 44100));
  auto& limited = AddItem(Constant(1000, 44100), false, 2);
  sound.Loaded();
  ASSERT_TRUE(unlimited.Initialized());
  for (int i = 0; i < 3; ++i) unlimited.PlayWave();
  EXPECT_EQ(unlimited.DuplicateCount(), 3u);
  EXPECT_EQ(Playing(), 3);

  for (int i = 0; i < 2; ++i) limited.PlayWave();
  hb.mix_ms(100);
  auto first = limited.Duplicates()[0];
  auto second = limited.Duplicates()[1];
  limited.PlayWave();  // third play: the oldest copy starts over and moves last
  EXPECT_EQ(limited.DuplicateCount(), 2u);
  EXPECT_EQ(limited.Duplicates()[0], second);
  EXPECT_EQ(limited.Duplicates()[1], first);
  EXPECT_EQ(hb.sound.position(first), 0u);
  EXPECT_GT(hb.sound.position(second), 0u);

  // Finished copies are reused rather than duplicated again.
  hb.mix_ms(1100);
  unlimited.PlayWave();
  EXPECT_EQ(unlimited.DuplicateCount(), 3u);
}

TEST_F(SoundTest, LoopedItemKeepsOneInstanceRestarted) {
  auto& it = AddItem(Constant(500, 441), true);
  sound.Loaded();
  it.PlayWave();
  hb.mix_ms(25);  // more than two rounds of the 10 ms loop
  EXPECT_TRUE(hb.sound.status(it.MasterBuffer()).looping);
  EXPECT_GT(hb.sound.position(it.MasterBuffer()), 0u);
  it.PlayWave();
  EXPECT_EQ(hb.sound.position(it.MasterBuffer()), 0u);
  EXPECT_EQ(it.DuplicateCount(), 0u);
  auto out = hb.mix_ms(50);
  EXPECT_EQ(out[0], Out(500));
  EXPECT_EQ(out.back(), Out(500));
}

TEST_F(SoundTest, NoSoundDeviceRunsSilent) {
  hb.install(/*with_sound=*/false);
  auto& it = AddItem(Constant(1000, 100));
  sound.Loaded();  // the missing device is swallowed
  EXPECT_FALSE(sound.Initialized());
  it.SetPan(-4000);
  it.PlayWave();
  EXPECT_FALSE(it.Initialized());
  EXPECT_EQ(it.Pan(), -4000);
  list.Items.ItemAt(7).PlayWave();  // out of range: an empty item
  EXPECT_FALSE(list.Items.ItemAt(-1).Initialized());
  // Asked for directly, the failure is raised with its message.
  try {
    sound.Initialize();
    FAIL();
  } catch (const EDXSoundError& e) {
    EXPECT_STREQ(e.what(), "DirectSound cannot be initialized");
  }
  sound.HasParentForm = false;
  EXPECT_THROW(sound.Loaded(), EDXSoundError);  // "Form not found" is not swallowed
}

TEST_F(SoundTest, PanIsStoredAndAppliedToEveryPlay) {
  auto& it = AddItem(Constant(10000, 4410));
  it.SetPan(-2000);  // before initialisation: only stored
  sound.Loaded();
  it.PlayWave();
  auto out = hb.mix_ms(10);
  EXPECT_EQ(out[0], Out(10000));
  EXPECT_NEAR(out[1], Out(1000), 1);  // right side 20 dB down
  it.SetVolume(-600);
  it.PlayWave();
  out = hb.mix_ms(1);
  EXPECT_NEAR(out[0], Out(10000 + 5012), 2);  // the first copy plus the second at -6 dB
}

TEST_F(SoundTest, LostBuffersAreRestoredOnceAndPlaysResume) {
  auto& it = AddItem(Constant(700, 4410));
  int restores = 0;
  sound.OnRestore = [&] { ++restores; };
  sound.Loaded();
  it.PlayWave();
  hb.sound.lose_all_buffers();
  it.PlayWave();  // finds the lost buffer, restores every list
  EXPECT_EQ(restores, 1);
  EXPECT_TRUE(it.Initialized());
  EXPECT_EQ(it.DuplicateCount(), 0u);
  EXPECT_EQ(hb.sound.buffer_count(), 1u);  // the old buffers were released
  it.PlayWave();
  EXPECT_EQ(hb.mix_ms(1)[0], Out(700));
}

TEST_F(SoundTest, ReplacingTheCollectionReleasesItsBuffers) {
  AddItem(Constant(1, 100));
  AddItem(Constant(1, 100));
  sound.Loaded();
  list.Items.ItemAt(0).PlayWave();
  EXPECT_EQ(hb.sound.buffer_count(), 3u);
  list.Items.Clear();
  EXPECT_EQ(hb.sound.buffer_count(), 0u);
  EXPECT_FALSE(list.Items.Initialized());
  // A new item waits for the collection's initialise, then plays.
  AddItem(Constant(1, 100));
  EXPECT_FALSE(list.Items.ItemAt(0).Initialized());
  list.Items.Initialize();
  EXPECT_TRUE(list.Items.ItemAt(0).Initialized());
  EXPECT_EQ(hb.sound.buffer_count(), 1u);
  // Destroying the collection releases what it still holds.
  {
    TWaveCollection own;
    own.DXSound = &sound;
    own.Add().Wave = Constant(1, 100);
    own.Initialize();
    EXPECT_EQ(hb.sound.buffer_count(), 2u);
  }
  EXPECT_EQ(hb.sound.buffer_count(), 1u);
  list.Items.Clear();
  // A wave the device cannot take is reported at initialisation.
  auto& bad = list.Items.Add();
  bad.Wave = TWave::FromPCM(1, 22050, 12, {1, 2, 3, 4});
  try {
    list.Items.Initialize();
    FAIL();
  } catch (const EDXSoundError& e) {
    EXPECT_STREQ(e.what(), "Sound Buffer cannot be made");
  }
}

TEST_F(SoundTest, WaitingPlayEndsEvenWhenNothingDrainsTheDevice) {
  auto& it = AddItem(Constant(1, 4410));  // 100 ms
  sound.Loaded();
  uint32_t start = hb.clock.now_ms();
  it.PlayWave(/*wait=*/true);
  EXPECT_GE(hb.clock.now_ms() - start, 100u);
  EXPECT_LE(hb.clock.now_ms() - start, 220u);
}
