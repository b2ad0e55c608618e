// The standard MIDI file reader and the sequencer that plays what it read.
#include "platform/midi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/platform/midi_files.h"

using namespace platform;
using namespace test_midi;

TEST(MidiParse, Format0WithRunningStatusAndTempoChange) {
  midi::Song song;
  std::string err;
  ASSERT_TRUE(midi::parse(Format0(), song, err)) << err;
  ASSERT_EQ(song.events.size(), 5u);
  EXPECT_EQ(song.events[0].ms, 0u);
  EXPECT_EQ(song.events[1].ms, 500u);  // default tempo: half a second a quarter
  EXPECT_EQ(song.events[1].status, 0x90);
  EXPECT_EQ(song.events[1].data1, 62);
  EXPECT_EQ(song.events[2].ms, 750u);
  EXPECT_EQ(song.events[3].status, 0xC0);
  EXPECT_EQ(song.events[3].data1, 5);
  EXPECT_EQ(song.events[4].ms, 875u);
  EXPECT_EQ(song.length_ms, 875u);
}

TEST(MidiParse, Format1MergesTracksInTimeOrder) {
  // The tempo track makes everything twice as fast from tick 0.
  Bytes tempo = Cat({{0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90}, {0x83, 0x00}, {0xFF, 0x2F, 0x00}});
  Bytes a = Cat({{0x40, 0x91, 64, 90}, {0x40, 0x81, 64, 0}, kEnd});
  // Running status carries over a meta event (note-off as velocity 0).
  Bytes b = Cat({{0x20, 0x92, 40, 90}, {0x00, 0xFF, 0x01, 0x00}, {0x40, 40, 0}, kEnd});
  midi::Song song;
  std::string err;
  ASSERT_TRUE(midi::parse(File(1, 192, {tempo, a, b}), song, err)) << err;
  std::vector<std::pair<uint32_t, uint8_t>> got;
  for (const auto& e : song.events) got.emplace_back(e.ms, e.status);
  std::vector<std::pair<uint32_t, uint8_t>> want = {
      {41, 0x92}, {83, 0x91}, {125, 0x92}, {166, 0x81}};
  EXPECT_EQ(got, want);
  EXPECT_EQ(song.length_ms, 500u);  // the tempo track ends last (384 ticks)
}

TEST(MidiParse, DamagedFilesGiveAnErrorText) {
  Bytes good = Format0();
  std::vector<std::pair<Bytes, std::string>> cases;
  cases.push_back({Bytes(good.begin(), good.end() - 6), "damaged"});  // cut short
  cases.push_back({Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}, "Not a MIDI file"});
  cases.push_back({File(2, 96, {kEnd}), "format 2"});
  cases.push_back({File(0, 96, {{0x00, 60, 100}}), "without a status"});
  cases.push_back({File(0, 96, {{0x00, 0xF2, 1, 2}}), "invalid status"});
  cases.push_back({File(0, 96, {{0xFF, 0xFF, 0xFF, 0xFF, 0x7F}}), "delta"});
  cases.push_back({File(0, 0, {kEnd}), "division"});
  Bytes two = File(1, 96, {kEnd, kEnd});
  cases.push_back({Bytes(two.begin(), two.end() - 12), "missing"});  // second track gone
  for (const auto& [data, part] : cases) {
    midi::Song song;
    std::string err;
    EXPECT_FALSE(midi::parse(data, song, err)) << part;
    EXPECT_NE(err.find(part), std::string::npos) << err;
  }
}

namespace {

// The headless backend's music device with Format0() in a file.
struct SequencerTest : ::testing::Test {
  headless::Backend hb;
  std::string path;
  void SetUp() override {
    hb.install();
    path = ::testing::TempDir() + "zarnik_midi_test.mid";
    Bytes f = Format0();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
  }
  void TearDown() override { std::remove(path.c_str()); }
};

}  // namespace

TEST_F(SequencerTest, DeliversEventsAsTimeGoesOn) {
  std::string err;
  ASSERT_TRUE(hb.music.open(path, err));
  midi::Sequencer& seq = hb.music.sequencer();
  std::vector<uint32_t> got;
  auto take = [&](const midi::Event& e) { got.push_back(e.ms); };
  hb.music.play(0);
  EXPECT_TRUE(seq.take_reset());
  EXPECT_EQ(seq.pump(take), 1u);
  hb.clock.advance(760);
  seq.pump(take);
  EXPECT_EQ(got, (std::vector<uint32_t>{0, 500, 750, 750}));
  hb.music.play(800);  // a jump skips what lies before it
  hb.clock.advance(100);
  seq.pump(take);
  EXPECT_EQ(got.back(), 875u);
  EXPECT_EQ(got.size(), 5u);
  EXPECT_FALSE(seq.playing());
}
