// Sound and music on Windows, with or without devices (a build machine under
// Wine has neither): the mixer is pulled at the device's pace either way, so
// a played sound runs its length and ends; music keeps time and ends, so the
// game's loop rule still holds; with a MIDI device the piece's messages go
// out and a stop silences every channel.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/mixer.h"
#include "platform/win32/audio.h"
#include "platform/win32/backend_impl.h"
#include "platform/win32/clock.h"
#include "platform/win32/music.h"

namespace platform::win32 {
namespace {

using namespace std::chrono_literals;

// A format-0 file: piano, middle C held for 300 ms (480 ticks per quarter at
// the default tempo, 500 ms per quarter: 288 ticks), then the end of track.
std::string one_note_file() {
  std::vector<uint8_t> track = {0x00, 0xC0, 0x00,          // program 0
                                0x00, 0x90, 60,   100,     // note on
                                0x82, 0x20, 0x80, 60,  0,  // 288 ticks later: note off
                                0x00, 0xFF, 0x2F, 0x00};   // end of track
  std::vector<uint8_t> f = {'M', 'T',  'h',  'd', 0,   0,   0,   6, 0, 0, 0,
                            1,   0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, uint8_t(track.size())};
  f.insert(f.end(), track.begin(), track.end());
  const auto path = std::filesystem::temp_directory_path() / "zarnik-one-note.mid";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
  return path.string();
}

template <typename Pred>
bool wait_for(Pred pred, std::chrono::milliseconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST(WaveOut, PlayedSoundsRunTheirLengthAndEndWithOrWithoutADevice) {
  Mixer mixer(WaveOutAudio::kRate);
  const PcmFormat fmt{1, 22050, 16};
  const uint32_t bytes = 22050 / 10 * 2;  // 100 ms
  const auto b = mixer.create_buffer(fmt, bytes);
  ASSERT_NE(b, 0u);
  ASSERT_EQ(mixer.write(b, 0, std::vector<uint8_t>(bytes, 0x10)), BufferResult::Ok);
  ASSERT_EQ(mixer.play(b, false), BufferResult::Ok);

  WaveOutAudio audio;
  std::string error;
  const bool device = audio.open(&mixer, error);
  EXPECT_EQ(device, audio.has_device());
  if (!device) {
    EXPECT_FALSE(error.empty()) << "the reason is told";
  }
  EXPECT_TRUE(wait_for([&] { return !mixer.status(b).playing; }, 2s))
      << "a 100 ms sound still plays after 2 s";
  EXPECT_GT(audio.blocks_done(), 5u);

  // A looping sound keeps going, and closing stops the thread.
  ASSERT_EQ(mixer.play(b, true), BufferResult::Ok);
  std::this_thread::sleep_for(250ms);
  EXPECT_TRUE(mixer.status(b).playing);
  audio.close();
  const uint64_t done = audio.blocks_done();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(audio.blocks_done(), done) << "nothing pulls the mixer after close";
  mixer.release(b);
}

TEST(MidiOut, APieceKeepsTimeAndEndsWhetherOrNotTheSystemHasASynthesiser) {
  auto backend = platform::Backend::create();
  MusicDevice* music = backend->services().music;
  ASSERT_NE(music, nullptr) << "without a MIDI device the music is silent, never absent";
  std::string error;
  ASSERT_TRUE(music->open(one_note_file(), error)) << error;
  EXPECT_EQ(music->length_ms(), 300u);
  ASSERT_TRUE(music->play(0));
  std::this_thread::sleep_for(100ms);
  const uint32_t pos = music->position_ms();
  EXPECT_GT(pos, 50u);
  EXPECT_LT(pos, 300u);
  // The game restarts a piece that has reached its end: position + 1 > length.
  EXPECT_TRUE(wait_for([&] { return music->position_ms() + 1 > music->length_ms(); }, 2s));
  ASSERT_TRUE(music->play(0));
  EXPECT_LT(music->position_ms(), 100u);
  music->close();
  EXPECT_FALSE(music->is_open());
  EXPECT_FALSE(music->open("C:\\no such folder\\hra.mid", error));
  EXPECT_FALSE(error.empty());
}

TEST(MidiOut, WithASynthesiserTheNotesGoOutAndAStopSilencesEveryChannel) {
  WinClock clock;
  std::string error;
  auto music = MidiOutMusic::create(&clock, error);
  if (!music) GTEST_SKIP() << "no MIDI output here (" << error << ")";
  ASSERT_TRUE(music->open(one_note_file(), error)) << error;
  const uint64_t before = music->messages_sent();
  ASSERT_TRUE(music->play(0));
  // A reset (3 messages on 16 channels), the program change and the note.
  EXPECT_TRUE(wait_for([&] { return music->messages_sent() >= before + 48 + 2; }, 1s));
  const uint64_t playing = music->messages_sent();
  music->stop();
  EXPECT_TRUE(wait_for([&] { return music->messages_sent() >= playing + 48; }, 1s));
}

}  // namespace
}  // namespace platform::win32
