#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "media/errors.h"
#include "media/mediaplayer.h"
#include "platform/headless/headless.h"
#include "platform/midi.h"

using namespace platform;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Chunk(const char* id, const Bytes& body) {
  Bytes b(id, id + 4);
  uint32_t n = static_cast<uint32_t>(body.size());
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(n >> s));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes File(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks) {
  uint16_t n = static_cast<uint16_t>(tracks.size());
  Bytes b = Chunk("MThd", {uint8_t(format >> 8), uint8_t(format), uint8_t(n >> 8), uint8_t(n),
                           uint8_t(division >> 8), uint8_t(division)});
  for (const auto& t : tracks) {
    Bytes c = Chunk("MTrk", t);
    b.insert(b.end(), c.begin(), c.end());
  }
  return b;
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

// Format 0 at 96 ticks per quarter: a note with running status, a tempo
// change to twice as fast half way, a system-exclusive and a text event.
Bytes Format0() {
  return File(0, 96,
              {Cat({{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7},        // sysex, skipped
                    {0x00, 0x90, 60, 100},                       // note on at 0
                    {0x60, 62, 100},                             // running status, 1 quarter
                    {0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90},  // 250000 us/quarter
                    {0x00, 0xFF, 0x01, 0x02, 'h', 'i'},          // text, skipped
                    {0x60, 0x80, 60, 0},                         // quarter at double speed
                    {0x00, 0xC0, 5},                             // one data byte
                    {0x30, 0xE0, 0x00, 0x40},                    // eighth later
                    kEnd})});
}

}  // namespace

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

struct MusicTest : ::testing::Test {
  headless::Backend hb;
  std::string path;
  void SetUp() override {
    hb.install();
    path = ::testing::TempDir() + "zarnik_music_test.mid";
    Bytes f = Format0();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
  }
  void TearDown() override { std::remove(path.c_str()); }
};

}  // namespace

TEST_F(MusicTest, PositionLengthAndRestartAtTheEnd) {
  media::TMediaPlayer player;
  player.FileName = path;
  player.OpenMedia();
  EXPECT_EQ(player.MediaLength(), 875);
  EXPECT_EQ(player.MediaPosition(), 0);
  player.PlayMedia();
  hb.clock.advance(300);
  EXPECT_EQ(player.MediaPosition(), 300);
  hb.clock.advance(1000);
  EXPECT_EQ(player.MediaPosition(), 875) << "rests at its end";
  // The frame's check: at the end, play again from the start.
  ASSERT_TRUE(player.MediaPosition() + 1 > player.MediaLength());
  player.PlayMedia();
  hb.clock.advance(16);
  EXPECT_EQ(player.MediaPosition(), 16);
  // Without AutoRewind the piece stays at its end.
  player.AutoRewind = false;
  hb.clock.advance(2000);
  player.PlayMedia();
  EXPECT_EQ(player.MediaPosition(), 875);

  // Reopening closes first and starts at the beginning.
  player.OpenMedia();
  EXPECT_EQ(player.MediaPosition(), 0);
  EXPECT_EQ(hb.music.path(), path);
}

TEST_F(MusicTest, ErrorsOfTheClosedAndTheFailedPlayer) {
  media::TMediaPlayer player;
  EXPECT_EQ(player.MediaPosition(), 0);  // not checked
  try {
    player.PlayMedia();
    FAIL();
  } catch (const media::EMCIDeviceError& e) {
    EXPECT_STREQ(e.what(), "No MCI device open");
  }
  EXPECT_THROW(player.MediaLength(), media::EMCIDeviceError);
  player.FileName = path + ".missing";
  EXPECT_THROW(player.OpenMedia(), media::EMCIDeviceError);
  EXPECT_FALSE(player.IsOpen());

  // A device that gives no text: the generic one.
  struct Mute : MusicDevice {
    bool open(const std::string&, std::string&) override { return false; }
    void close() override {}
    bool is_open() override { return false; }
    bool play(uint32_t) override { return false; }
    void stop() override {}
    uint32_t position_ms() override { return 0; }
    uint32_t length_ms() override { return 0; }
  } mute;
  player.Device = &mute;
  try {
    player.OpenMedia();
    FAIL();
  } catch (const media::EMCIDeviceError& e) {
    EXPECT_STREQ(e.what(), "Unknown error code");
  }
}

TEST_F(MusicTest, SequencerDeliversEventsAsTimeGoesOn) {
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
