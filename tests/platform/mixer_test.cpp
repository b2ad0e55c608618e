// The software mixer: pan, duplicates, frequency, loops, what it refuses,
// its thread, the resampling filter and the limiter.
#include "platform/mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/pcm_samples.h"

using platform::BufferResult;
using platform::Mixer;
using platform::PcmFormat;

namespace {

using test_pcm::Out;
using test_pcm::Pcm16;

}  // namespace

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

// Samples written in pieces that split frames and 16-bit samples play as
// when written at once, for 8 and 16 bits, mono and stereo.
TEST(MixerTest, SamplesWrittenInPiecesPlayAsWrittenAtOnce) {
  for (const uint16_t bits : {8, 16}) {
    for (const uint16_t channels : {1, 2}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " channels");
      PcmFormat f;
      f.channels = channels;
      f.samples_per_sec = 22050;
      f.bits_per_sample = bits;
      std::vector<uint8_t> data(1001);
      for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 37 + (i >> 3));
      Mixer whole(22050), pieces(22050);
      const auto a = whole.create_buffer(f, uint32_t(data.size()));
      ASSERT_EQ(whole.write(a, 0, data), BufferResult::Ok);
      const auto b = pieces.create_buffer(f, uint32_t(data.size()));
      for (size_t at = 0; at < data.size(); at += 3) {
        const size_t n = std::min<size_t>(3, data.size() - at);
        ASSERT_EQ(pieces.write(b, uint32_t(at), std::span<const uint8_t>(data.data() + at, n)),
                  BufferResult::Ok);
      }
      EXPECT_EQ(pieces.write(b, 1000, std::vector<uint8_t>(2, 0)), BufferResult::Failed);
      whole.play(a, false);
      pieces.play(b, false);
      std::vector<int16_t> x(2 * 600), y(2 * 600);
      whole.mix(x.data(), 600);
      pieces.mix(y.data(), 600);
      EXPECT_EQ(x, y);
      EXPECT_NE(std::count(x.begin(), x.end(), int16_t(0)), std::ptrdiff_t(x.size()));
    }
  }
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

// ---- resampling and the limiter -------------------------------------------

namespace {

constexpr double kPi = 3.14159265358979323846;

// A 16-bit mono sine of n frames at rate, amplitude in full scale.
std::vector<uint8_t> Sine(double hz, double amplitude, uint32_t rate, size_t n) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i)
    s[i] = int16_t(std::lround(amplitude * 32767 * std::sin(2 * kPi * hz * double(i) / rate)));
  return Pcm16(s);
}

// Amplitude (of full scale) of the component at hz in the left channel of
// frames [from, from + n) of an interleaved stereo block.
double Amplitude(const std::vector<int16_t>& out, size_t from, size_t n, double hz, uint32_t rate) {
  double re = 0, im = 0;
  for (size_t i = 0; i < n; ++i) {
    const double a = 2 * kPi * hz * double(i) / rate;
    re += out[2 * (from + i)] * std::cos(a);
    im -= out[2 * (from + i)] * std::sin(a);
  }
  return 2 * std::hypot(re, im) / double(n) / 32768.0;
}

double Db(double ratio) { return 20 * std::log10(ratio); }

std::vector<int16_t> Mix(Mixer& m, size_t frames, const Mixer::BusSource& extra = {}) {
  std::vector<int16_t> out(2 * frames);
  m.mix(out.data(), frames, extra);
  return out;
}

}  // namespace

TEST(ResamplingTest, ImagesAboveTheSoundsNyquistAreFilteredOut) {
  // A tone at 22050 Hz played at 44100 or 48000 Hz has mirror images at
  // 22050 - f and 22050 + f (the latter below 24 kHz at 48000 Hz). Linear
  // interpolation leaves the image of 1 kHz at -53 dB and that of 5 kHz at
  // -23 dB; the filter's stop band is 85 dB down, and the output's 16-bit
  // rounding limits a single-bin measurement to about -100 dB, so -80 dB
  // separates the two plainly. The tone itself keeps its level.
  for (uint32_t rate : {44100u, 48000u}) {
    for (double hz : {1000.0, 5000.0}) {
      Mixer m(rate);
      auto b = m.create_buffer({1, 22050, 16}, 2 * 22050);
      m.write(b, 0, Sine(hz, 0.5, 22050, 22050));
      m.play(b, false);
      const auto out = Mix(m, rate / 2);
      const size_t n = rate / 10;  // 100 ms: whole periods of every frequency here
      const double tone = Amplitude(out, rate / 10, n, hz, rate);
      EXPECT_NEAR(Db(tone / (0.5 * platform::Limiter::kHeadroom)), 0.0, 0.05) << hz << " " << rate;
      for (double image : {22050 - hz, 22050 + hz}) {
        if (image >= rate / 2.0) continue;
        EXPECT_LT(Db(Amplitude(out, rate / 10, n, image, rate) / tone), -80)
            << "image at " << image << " Hz of " << hz << " Hz at " << rate;
      }
    }
  }
}

TEST(ResamplingTest, FasterSoundsAreFilteredAtTheOutputsNyquist) {
  // 96 kHz sound: 10 kHz passes, 30 kHz would alias to 14.1 kHz at 44.1 kHz.
  Mixer m(44100);
  const size_t n = 96000 / 2;
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i)
    s[i] = int16_t(std::lround(0.3 * 32767 *
                               (std::sin(2 * kPi * 10000 * double(i) / 96000) +
                                std::sin(2 * kPi * 30000 * double(i) / 96000))));
  auto b = m.create_buffer({1, 96000, 16}, uint32_t(2 * n));
  m.write(b, 0, Pcm16(s));
  m.play(b, false);
  const auto out = Mix(m, 22050);
  const double tone = Amplitude(out, 4410, 4410, 10000, 44100);
  EXPECT_NEAR(Db(tone / (0.3 * platform::Limiter::kHeadroom)), 0.0, 0.1);
  EXPECT_LT(Db(Amplitude(out, 4410, 4410, 44100 - 30000, 44100) / tone), -60);

  // A frequency change moves the pitch: the sound at 22050 Hz played at
  // 11025 Hz sounds an octave lower, at 88200 Hz two octaves higher.
  auto t = m.create_buffer({1, 22050, 16}, 2 * 22050);
  m.write(t, 0, Sine(1000, 0.5, 22050, 22050));
  for (auto [hz, expected] : {std::pair{11025u, 500.0}, std::pair{88200u, 4000.0}}) {
    m.set_frequency(t, hz);
    m.set_position(t, 0);
    m.play(t, true);
    const auto o = Mix(m, 13230);
    EXPECT_NEAR(
        Db(Amplitude(o, 4410, 4410, expected, 44100) / (0.5 * platform::Limiter::kHeadroom)), 0.0,
        0.1)
        << hz;
    EXPECT_LT(Amplitude(o, 4410, 4410, 1000, 44100), 1e-3) << hz;
    m.stop(t);
  }
}

TEST(ResamplingTest, LoopsJoinWithoutAClickAndOneShotsEndOnTime) {
  // 441 frames at 22050 Hz hold exactly 20 periods of 1 kHz: the loop point
  // falls inside the wave, so the filtered output must run on as one sine.
  Mixer m(44100);
  auto b = m.create_buffer({1, 22050, 16}, 2 * 441);
  m.write(b, 0, Sine(1000, 0.5, 22050, 441));
  m.play(b, true);
  const auto out = Mix(m, 4 * 882);
  double worst = 0;
  for (size_t i = 64; i < 4 * 882; ++i) {  // past the filter's start-up
    const double ideal =
        0.5 * platform::Limiter::kHeadroom * std::sin(2 * kPi * 1000 * double(i) / 44100);
    worst = std::max(worst, std::fabs(out[2 * i] / 32768.0 - ideal));
  }
  EXPECT_LT(worst, 2e-3) << "the wave jumps somewhere, e.g. where the loop closes";
  EXPECT_TRUE(m.status(b).looping);

  // A one-shot of 441 frames lasts 882 output frames and then is silent.
  m.stop(b);
  m.set_position(b, 0);
  m.play(b, false);
  const auto once = Mix(m, 1000);
  EXPECT_FALSE(m.status(b).playing);
  EXPECT_EQ(m.position(b), 2u * 441);
  EXPECT_NE(once[2 * 880], 0);
  for (size_t i = 882; i < 1000; ++i) ASSERT_EQ(once[2 * i], 0) << i;
}

TEST(LimiterTest, FullScaleSumsNeitherWrapNorClip) {
  // Sixteen voices at full scale in either sign, 16-bit and 8-bit, with the
  // music's bus source adding full scale on top.
  for (int sign : {1, -1}) {
    Mixer m;
    const int16_t v16 = sign > 0 ? 32767 : -32768;
    const uint8_t v8 = sign > 0 ? 255 : 0;
    for (int i = 0; i < 16; ++i) {
      platform::SoundDevice::Buffer b;
      if (i % 2 == 0) {
        b = m.create_buffer({1, 22050, 16}, 2 * 4410);
        m.write(b, 0, Pcm16(std::vector<int16_t>(4410, v16)));
      } else {
        b = m.create_buffer({2, 44100, 8}, 2 * 4410);
        m.write(b, 0, std::vector<uint8_t>(2 * 4410, v8));
      }
      m.play(b, true);
    }
    const auto music = [sign](float* bus, size_t n) {
      for (size_t i = 0; i < 2 * n; ++i) bus[i] += float(sign);
    };
    const auto out = Mix(m, 4410, music);
    for (size_t i = 0; i < out.size(); ++i) {
      ASSERT_EQ(out[i] > 0, sign > 0) << "wrapped at " << i;
      ASSERT_LT(std::abs(int(out[i])), 32767) << "at full scale at " << i;
    }
    EXPECT_GT(std::abs(int(out.back())), 31000) << "close to the ceiling";
    EXPECT_EQ(m.limiter_stats().episodes, 1u);
  }
}

// The music renders into a bus of its own, empty at every call, which is
// raised by the music gain and meets the effects before the headroom: a
// quiet tone comes out at its level times both, an effect beside it is
// not touched by the gain.
TEST(MixerTest, TheMusicBusIsRaisedByItsGainAndMeetsTheEffectsUnderTheHeadroom) {
  Mixer m;
  auto effect = m.create_buffer({1, 44100, 16}, 2 * 44100);
  m.write(effect, 0, Sine(1000, 0.25, 44100, 44100));
  m.play(effect, false);
  float dirty = 0;
  double phase = 0;
  const auto music = [&](float* bus, size_t n) {
    for (size_t i = 0; i < 2 * n; ++i) dirty = std::max(dirty, std::abs(bus[i]));
    for (size_t i = 0; i < n; ++i, phase += 2 * kPi * 250 / 44100) {
      bus[2 * i] += float(0.1 * std::sin(phase));
      bus[2 * i + 1] += float(0.1 * std::sin(phase));
    }
  };
  const auto out = Mix(m, 44100 / 2, music);
  EXPECT_EQ(dirty, 0.0f) << "the music bus holds only what the music adds";
  const size_t from = 4410, n = 4410;  // whole periods of both tones
  const double headroom = platform::Limiter::kHeadroom;
  EXPECT_NEAR(Db(Amplitude(out, from, n, 250, 44100)), Db(0.1 * Mixer::kMusicGain * headroom), 0.1);
  EXPECT_NEAR(Db(Amplitude(out, from, n, 1000, 44100)), Db(0.25 * headroom), 0.1);
  EXPECT_EQ(m.limiter_stats().reduced_frames, 0u) << "the two stay under the limiter's knee";
}

TEST(LimiterTest, HoldsItsGainThroughALoudToneAndRecoversSmoothly) {
  // A 100 Hz tone at twice the old full scale for 300 ms, then a quiet one.
  Mixer m;
  auto loud = m.create_buffer({1, 44100, 16}, 2 * 13230);
  auto quiet = m.create_buffer({1, 44100, 16}, 2 * 44100);
  m.write(loud, 0, Sine(100, 1.0, 44100, 13230));
  m.write(quiet, 0, Sine(100, 0.2, 44100, 44100));
  auto dup = m.duplicate(loud);
  m.play(loud, false);
  m.play(dup, false);
  m.play(quiet, true);
  const auto out = Mix(m, 44100);
  // Through the loud part the gain stays put between the peaks: a gain that
  // breathed with the waveform would add its harmonics.
  const double fundamental = Amplitude(out, 4410, 4410, 100, 44100);
  for (double harmonic : {200.0, 300.0, 500.0})
    EXPECT_LT(Db(Amplitude(out, 4410, 4410, harmonic, 44100) / fundamental), -60) << harmonic;
  int peak = 0;
  for (size_t i = 0; i < 13230; ++i) peak = std::max(peak, std::abs(int(out[2 * i])));
  EXPECT_LT(peak, 32767);
  EXPECT_GT(peak, 26000) << "bent down by less than 3 dB";
  // After the hold and the release the quiet tone is back at its own level.
  const double quiet_level = Amplitude(out, 30870, 4410, 100, 44100);
  EXPECT_NEAR(Db(quiet_level / (0.2 * platform::Limiter::kHeadroom)), 0.0, 0.1);
  const auto s = m.limiter_stats();
  EXPECT_EQ(s.episodes, 1u);
  EXPECT_LT(double(s.longest_episode) / 44100, 0.3 + 0.4) << "released within 400 ms";
  EXPECT_LT(Db(s.steepest_rise), 0.01) << "the release rises gently, never in steps";
}
