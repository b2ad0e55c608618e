// The standard MIDI file reader and the music device that plays what it
// read: due events after a reset, late notes dropped, bounded work a call.
#include "platform/midi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/sequenced_music.h"
#include "tests/platform/midi_files.h"

using namespace platform;
using namespace test_midi;

TEST(MidiParse, Format0WithRunningStatusAndTempoChange) {
  midi::Song song;
  std::string err;
  ASSERT_TRUE(midi::parse(Format0(), song, err)) << err;
  const std::vector<midi::Event> events = midi::all_events(song);
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(song.event_count, 5u);
  EXPECT_EQ(events[0].ms, 0u);
  EXPECT_EQ(events[1].ms, 500u);  // default tempo: half a second a quarter
  EXPECT_EQ(events[1].status, 0x90);
  EXPECT_EQ(events[1].data1, 62);
  EXPECT_EQ(events[2].ms, 750u);
  EXPECT_EQ(events[3].status, 0xC0);
  EXPECT_EQ(events[3].data1, 5);
  EXPECT_EQ(events[4].ms, 875u);
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
  for (const auto& e : midi::all_events(song)) got.emplace_back(e.ms, e.status);
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

// A synthesiser that notes what it is sent.
struct Recorder : MidiOutput {
  std::vector<midi::Event> sent;
  int resets = 0;
  void reset() override { ++resets; }
  void send(const midi::Event& e) override { sent.push_back(e); }
};

std::vector<uint32_t> times(const std::vector<midi::Event>& events) {
  std::vector<uint32_t> out;
  for (const auto& e : events) out.push_back(e.ms);
  return out;
}

}  // namespace

TEST_F(SequencerTest, TheDeviceSendsDueEventsAfterAResetAndDropsLateNotes) {
  std::string err;
  ASSERT_TRUE(hb.music.open(path, err));
  Recorder out;
  hb.music.play(0);
  EXPECT_EQ(hb.music.pump(out), 1u);  // the note at 0
  EXPECT_EQ(out.resets, 1);
  hb.clock.advance(520);
  hb.music.pump(out);
  hb.clock.advance(240);
  hb.music.pump(out);
  EXPECT_EQ(times(out.sent), (std::vector<uint32_t>{0, 500, 750, 750}));
  hb.music.play(800);  // a jump skips what lies before it, after a reset
  hb.clock.advance(100);
  hb.music.pump(out);
  EXPECT_EQ(out.resets, 2);
  EXPECT_EQ(times(out.sent).back(), 875u);
  EXPECT_EQ(out.sent.size(), 5u);

  // Pumped only long after they fell due (the synthesiser was busy), the
  // note-ons stay silent; what ends or changes a note still goes out.
  out = Recorder{};
  hb.music.play(0);
  hb.clock.advance(760);
  hb.music.pump(out);
  std::vector<uint8_t> statuses;
  for (const auto& e : out.sent) statuses.push_back(e.status);
  EXPECT_EQ(statuses, (std::vector<uint8_t>{0x80, 0xC0})) << "only the note-off and the program";
}

namespace {

Bytes Vlq(uint32_t v) {
  Bytes out{uint8_t(v & 0x7F)};
  while (v >>= 7) out.insert(out.begin(), uint8_t(0x80 | (v & 0x7F)));
  return out;
}

// A format-1 file: a tempo track, and a track of `notes` note-ons at time 0
// (running status: three bytes each) that ends after `end_ticks` ticks of
// 480 a quarter (2 s for 1920; 0 gives a piece of zero length), with one
// more note (72) half way.
Bytes CrowdAtOneInstant(size_t notes, uint32_t end_ticks) {
  Bytes track;
  track.reserve(notes * 3 + 16);
  track.insert(track.end(), {0x00, 0x90, 60, 100});
  for (size_t i = 1; i < notes; ++i) track.insert(track.end(), {0x00, uint8_t(i % 72), 100});
  if (end_ticks > 0) {
    track = Cat({track, Vlq(end_ticks / 2), {72, 100}, Vlq(end_ticks - end_ticks / 2)});
  } else {
    track.push_back(0x00);
  }
  track.insert(track.end(), {0xFF, 0x2F, 0x00});
  return File(1, 480, {Cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, kEnd}), track});
}

}  // namespace

// A million notes at one instant: every call of the synthesiser's side does a
// bounded part of the work, the first notes sound, the rest (late by then)
// are passed over, and the song goes on to its end.
TEST_F(SequencerTest, AMillionNotesAtOneInstantArePumpedInBoundedParts) {
  Bytes f = CrowdAtOneInstant(1000000, 1920);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
  std::string err;
  ASSERT_TRUE(hb.music.open(path, err)) << err;
  EXPECT_EQ(hb.music.length_ms(), 2000u);
  struct Counter : MidiOutput {
    size_t sent = 0;
    std::vector<midi::Event> after_crowd;
    void reset() override {}
    void send(const midi::Event& e) override {
      ++sent;
      if (e.ms > 0) after_crowd.push_back(e);
    }
  } out;
  hb.music.play(0);
  size_t most = 0;
  // An audio callback every 5 ms of song time, to the end of the piece.
  for (int pump = 0; pump <= 400; ++pump) {
    const size_t before = out.sent;
    hb.music.pump(out);
    most = std::max(most, out.sent - before);
    hb.clock.advance(5);
  }
  EXPECT_EQ(most, SequencedMusic::kMaxEventsPerPump);
  // The notes sent of the crowd are those of the first 100 ms (21 calls);
  // the rest, late by then, is read through a bounded part a call, so the
  // note half way comes on time.
  EXPECT_EQ(out.sent, 21 * SequencedMusic::kMaxEventsPerPump + 1);
  ASSERT_EQ(out.after_crowd.size(), 1u);
  EXPECT_EQ(out.after_crowd[0].ms, 1000u);
  EXPECT_EQ(out.after_crowd[0].data1, 72);
  EXPECT_EQ(hb.music.position_ms(), 2000u);

  // A piece of zero length starts over in every frame: each start costs
  // one bounded call again, never the whole crowd.
  f = CrowdAtOneInstant(1000000, 0);
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
  ASSERT_TRUE(hb.music.open(path, err)) << err;
  EXPECT_EQ(hb.music.length_ms(), 0u);
  Recorder rec;
  for (int frame = 0; frame < 10; ++frame) {
    hb.music.play(0);
    EXPECT_EQ(hb.music.pump(rec), SequencedMusic::kMaxEventsPerPump);
    hb.clock.advance(16);
  }
  EXPECT_EQ(rec.resets, 10);
}

// A pull never takes more steps than it is given, also when the items read
// on the way to an event (meta events here) use the bound up: the event then
// waits for the next pull, and every event still comes, once and in order.
TEST_F(SequencerTest, APullStaysWithinItsStepsWhenMetaEventsComeFirst) {
  const Bytes f = File(0, 96,
                       {Cat({{0x00, 0xFF, 0x01, 0x01, 'a'},
                             {0x00, 0xFF, 0x01, 0x01, 'b'},
                             {0x00, 0x90, 60, 100},
                             {0x60, 0x80, 60, 0},
                             kEnd})});
  midi::Song song;
  std::string err;
  ASSERT_TRUE(midi::parse(f, song, err)) << err;
  midi::Sequencer seq(&hb.clock);
  seq.load(std::move(song));
  seq.play(0);
  std::vector<uint8_t> statuses;
  for (int call = 0; call < 10; ++call) {
    const size_t taken = seq.pull(0xFFFFFFFFu, 2, [&](const midi::Event& e) {
      statuses.push_back(e.status);
      return true;
    });
    EXPECT_LE(taken, 2u);
  }
  EXPECT_EQ(statuses, (std::vector<uint8_t>{0x90, 0x80}));
}
