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

using namespace media;
using platform::BufferResult;
using platform::Mixer;
using platform::PcmFormat;

namespace {

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& s) {
  std::vector<uint8_t> b;
  for (int16_t v : s) {
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return b;
}

// What a sample of a sound played at its own level becomes at the output:
// the mix keeps a fixed headroom.
int16_t Out(double sample) { return int16_t(std::lround(sample * platform::Limiter::kHeadroom)); }

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

// ---- the mixer on its own --------------------------------------------------

TEST(MixerTest, PanLawAttenuatesTheOtherSideOnly) {
  Mixer m;
  PcmFormat f{1, 44100, 16};
  auto b = m.create_buffer(f, 200);
  ASSERT_NE(b, 0u);
  ASSERT_EQ(m.write(b, 0, Pcm16(std::vector<int16_t>(100, 20000))), BufferResult::Ok);
  int16_t out[2];
  struct {
    int32_t pan;
    int left, right;
  } cases[] = {{0, 20000, 20000},  {-600, 20000, 10024}, {600, 10024, 20000},
               {-10000, 20000, 0}, {10000, 0, 20000},    {-20000, 20000, 0}};
  for (auto c : cases) {
    ASSERT_EQ(m.set_pan(b, c.pan), BufferResult::Ok);
    m.set_position(b, 0);
    m.play(b, false);
    m.mix(out, 1);
    EXPECT_NEAR(out[0], Out(c.left), 1) << c.pan;
    EXPECT_NEAR(out[1], Out(c.right), 1) << c.pan;
  }
}

TEST(MixerTest, DuplicatesShareSamplesAndSumWithoutClipping) {
  Mixer m;
  auto b = m.create_buffer({1, 44100, 16}, 20);
  m.write(b, 0, Pcm16(std::vector<int16_t>(10, 20000)));
  auto d = m.duplicate(b);
  ASSERT_NE(d, 0u);
  m.write(b, 0, Pcm16(std::vector<int16_t>(10, 30000)));  // seen through the duplicate too
  m.play(b, false);
  m.play(d, false);
  int16_t out[20];
  m.mix(out, 10);
  // 60000 together: over the old full scale, so the limiter bends it under
  // the ceiling instead of clipping it.
  EXPECT_GT(out[0], Out(30000));
  EXPECT_LT(out[0], 32767);
  EXPECT_EQ(out[19], out[1]);
  EXPECT_FALSE(m.status(b).playing) << "a one-shot stops at its end";
  m.release(b);  // the duplicate keeps the samples alive
  m.play(d, false);
  m.mix(out, 1);
  EXPECT_LT(out[0], Out(30000)) << "the limiter is still releasing";
  EXPECT_GT(out[0], Out(30000) * 0.8);
  EXPECT_EQ(m.write(b, 0, Pcm16({1})), BufferResult::Failed);
  EXPECT_EQ(m.write(d, 18, Pcm16({1, 2})), BufferResult::Failed) << "past the end";
}

TEST(MixerTest, FrequencyChangesTheLengthAndAtTheOutputRateCopies) {
  Mixer m(44100);
  // 8-bit stereo: left ramps, right is constant.
  std::vector<uint8_t> s;
  for (int i = 0; i < 4; ++i) {
    s.push_back(static_cast<uint8_t>(128 + 10 * i));
    s.push_back(64);
  }
  auto b = m.create_buffer({2, 22050, 8}, static_cast<uint32_t>(s.size()));
  m.write(b, 0, s);
  m.play(b, false);
  int16_t out[20] = {};
  m.mix(out, 10);
  EXPECT_EQ(out[16], 0) << "four frames at half the rate last eight";
  EXPECT_FALSE(m.status(b).playing);
  // At the output's rate the samples are copied as they are.
  m.set_frequency(b, 44100);
  m.set_position(b, 0);
  m.play(b, false);
  m.mix(out, 5);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], Out(2560));
  EXPECT_EQ(out[6], Out(7680));
  EXPECT_EQ(out[1], Out(-16384));
  EXPECT_EQ(out[7], Out(-16384));
  EXPECT_EQ(out[8], 0) << "finished after four frames";
  EXPECT_EQ(m.position(b), 8u);
}

TEST(MixerTest, LoopingWrapsAndStopHolds) {
  Mixer m;
  auto b = m.create_buffer({1, 44100, 16}, 6);
  m.write(b, 0, Pcm16({100, 200, 300}));
  m.play(b, true);
  int16_t out[14];
  m.mix(out, 7);
  std::vector<int16_t> left;
  for (int i = 0; i < 7; ++i) left.push_back(out[2 * i]);
  EXPECT_EQ(left, (std::vector<int16_t>{Out(100), Out(200), Out(300), Out(100), Out(200), Out(300),
                                        Out(100)}));
  EXPECT_TRUE(m.status(b).looping);
  m.stop(b);
  EXPECT_EQ(m.position(b), 2u);
  m.mix(out, 1);
  EXPECT_EQ(out[0], 0);
  m.play(b, false);  // resumes where it stopped
  m.mix(out, 1);
  EXPECT_EQ(out[0], Out(200));
}

TEST(MixerTest, RejectsFormatsItCannotPlay) {
  Mixer m;
  EXPECT_EQ(m.create_buffer({3, 44100, 16}, 12), 0u);
  EXPECT_EQ(m.create_buffer({1, 44100, 12}, 12), 0u);
  EXPECT_EQ(m.create_buffer({1, 0, 16}, 12), 0u);
  EXPECT_EQ(m.create_buffer({1, 44100, 16}, 0), 0u);
  EXPECT_EQ(m.duplicate(12345), 0u);
  EXPECT_EQ(m.play(0, false), BufferResult::Failed);
}

TEST_F(SoundTest, WaitingPlayEndsEvenWhenNothingDrainsTheDevice) {
  auto& it = AddItem(Constant(1, 4410));  // 100 ms
  sound.Loaded();
  uint32_t start = hb.clock.now_ms();
  it.PlayWave(/*wait=*/true);
  EXPECT_GE(hb.clock.now_ms() - start, 100u);
  EXPECT_LE(hb.clock.now_ms() - start, 220u);
}

TEST(MixerTest, AudioThreadMixesWhileTheGameChangesBuffers) {
  Mixer m;
  std::atomic<bool> done{false};
  std::atomic<long> mixed{0};
  std::thread audio([&] {
    std::vector<int16_t> out(2 * 512);
    while (!done) {
      m.mix(out.data(), 512);
      ++mixed;
    }
  });
  auto master = m.create_buffer({1, 22050, 16}, 4000);
  m.write(master, 0, Pcm16(std::vector<int16_t>(2000, 1234)));
  std::vector<platform::SoundDevice::Buffer> live;
  for (int i = 0; i < 3000; ++i) {
    auto d = m.duplicate(master);
    if (d == 0) break;  // checked below, after the audio thread is joined
    m.set_pan(d, (i % 21) * 1000 - 10000);
    m.play(d, i % 3 == 0);
    live.push_back(d);
    if (live.size() > 16) {
      m.release(live.front());
      live.erase(live.begin());
    }
    if (i % 500 == 0) {
      // The master goes; a duplicate holding the same samples takes its place.
      m.release(master);
      master = live.back();
      live.pop_back();
    }
  }
  while (mixed < 10) std::this_thread::yield();
  done = true;
  audio.join();
  EXPECT_EQ(m.buffer_count(), live.size() + 1);
  EXPECT_EQ(live.size(), 16u);
}
