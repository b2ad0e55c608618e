// Sound and music on Windows, with or without devices (a build machine under
// Wine may have neither): the mixer is pulled at the device's pace either
// way, so a played sound runs its length and ends; with a MIDI device music
// keeps time and ends, so the game's loop rule still holds, the piece's
// messages go out and a stop silences every channel.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/sound_output.h"
#include "platform/win32/audio.h"
#include "platform/win32/backend_impl.h"
#include "platform/win32/clock.h"
#include "platform/win32/music.h"
#include "tests/platform/midi_files.h"
#include "tests/platform/wait_for.h"

namespace platform::win32 {
namespace {

using namespace std::chrono_literals;
using test_wait::wait_for;

// Middle C held for 300 ms (288 ticks at 500 ms a quarter of 480 ticks).
std::string one_note_file() {
  const test_midi::Bytes f = test_midi::OneNote(288);
  const auto path = std::filesystem::temp_directory_path() / "zarnik-one-note.mid";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
  return path.string();
}

TEST(WaveOut, PlayedSoundsRunTheirLengthAndEndWithOrWithoutADevice) {
  SoundOutput output;
  Mixer& mixer = output.mixer();
  const PcmFormat fmt{1, 22050, 16};
  const uint32_t bytes = 22050 / 10 * 2;  // 100 ms
  const auto b = mixer.create_buffer(fmt, bytes);
  ASSERT_NE(b, 0u);
  ASSERT_EQ(mixer.write(b, 0, std::vector<uint8_t>(bytes, 0x10)), BufferResult::Ok);
  ASSERT_EQ(mixer.play(b, false), BufferResult::Ok);

  WaveOutAudio audio;
  std::string error;
  const bool device = output.start(audio, error);
  if (!device) {
    EXPECT_FALSE(error.empty()) << "the reason is told";
  }
  EXPECT_TRUE(wait_for([&] { return !mixer.status(b).playing; }, 2s))
      << "a 100 ms sound still plays after 2 s";
  EXPECT_GT(output.frames_pulled(), 5 * WaveOutAudio::kBlockFrames);

  // Closing the device stops its thread.
  output.stop();
  const uint64_t done = output.frames_pulled();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(output.frames_pulled(), done) << "nothing pulls the mixer after close";
  mixer.release(b);
}

TEST(MidiOut, APieceKeepsTimeAndEndsOnTheSystemsSynthesiser) {
  auto backend = platform::Backend::create();
  MusicDevice* music = backend->services().music;
  // Without one the table has no music device, and the music player keeps
  // the pieces' time itself (tests/media).
  if (!music) GTEST_SKIP() << "no MIDI output here";
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
