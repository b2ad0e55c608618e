// Music through FluidSynth: a piece opened, played and rendered gives sound
// in the output, added to what is already there; stopping silences it.
#include "platform/sdl/music.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "tests/platform/midi_files.h"

namespace platform::sdl {
namespace {

// Middle C held for 2 s (1920 ticks at 500 ms a quarter of 480 ticks).
std::vector<uint8_t> one_note_file() { return test_midi::OneNote(1920); }

double energy(const std::vector<float>& b) {
  double e = 0;
  for (float s : b) e += std::fabs(s);
  return e;
}

TEST(FluidMusic, PlaysANoteIntoTheOutputAndStopsIt) {
  std::string error;
  auto music = FluidMusic::create(44100, error);
  if (!music) GTEST_SKIP() << error;
  for (int i = 0; i < 200 && !music->ready(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (!music->ready()) GTEST_SKIP() << "the soundfont did not load";

  const auto path = std::filesystem::temp_directory_path() / "zarnik_sdl_one_note.mid";
  {
    const auto bytes = one_note_file();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  ASSERT_TRUE(music->open(path.string(), error)) << error;
  EXPECT_TRUE(music->is_open());
  EXPECT_EQ(music->length_ms(), 2000u);
  ASSERT_TRUE(music->play(0));

  // What the mixer put in stays, the music is added on top.
  std::vector<float> block(2 * 1024, 0.0f);
  double loudest = 0;
  for (int i = 0; i < 8; ++i) {
    std::fill(block.begin(), block.end(), 0.0f);
    music->render_add(block.data(), 1024);
    loudest = std::max(loudest, energy(block));
  }
  EXPECT_GT(loudest, 0) << "no sound from the note";

  std::fill(block.begin(), block.end(), 0.25f);
  music->render_add(block.data(), 1024);
  EXPECT_TRUE(std::any_of(block.begin(), block.end(), [](float s) { return s != 0.25f; }));
  EXPECT_NEAR(energy(block) / double(block.size()), 0.25, 0.1) << "added, not replaced";

  music->stop();
  // After the stop only the fading reverberation is left.
  for (int i = 0; i < 60; ++i) {
    std::fill(block.begin(), block.end(), 0.0f);
    music->render_add(block.data(), 1024);
  }
  EXPECT_LT(energy(block) * 100, loudest) << "the note goes on after the stop";
  music->close();
  EXPECT_FALSE(music->is_open());
  std::filesystem::remove(path);
}

TEST(FluidMusic, AFileThatIsNoMidiIsRefusedWithAReason) {
  std::string error;
  auto music = FluidMusic::create(44100, error);
  if (!music) GTEST_SKIP() << error;
  const auto path = std::filesystem::temp_directory_path() / "zarnik_sdl_not_midi.mid";
  std::ofstream(path) << "hello";
  EXPECT_FALSE(music->open(path.string(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(music->is_open());
  EXPECT_FALSE(music->play(0));
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace platform::sdl
