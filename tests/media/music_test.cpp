#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "media/errors.h"
#include "media/mediaplayer.h"
#include "platform/headless/headless.h"
#include "platform/midi.h"
#include "tests/platform/midi_files.h"

using namespace platform;
using namespace test_midi;

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

// A backend without a synthesiser installs no music device: the player
// then keeps the piece's time by the installed clock, so the game's rule
// "at the end, play again" runs the same, unheard.
TEST_F(MusicTest, WithoutAMusicDeviceThePieceKeepsTimeSilently) {
  services().music = nullptr;
  media::TMediaPlayer player;
  player.FileName = path;
  player.OpenMedia();
  EXPECT_EQ(player.MediaLength(), 875);
  player.PlayMedia();
  hb.clock.advance(300);
  EXPECT_EQ(player.MediaPosition(), 300);
  hb.clock.advance(1000);
  EXPECT_EQ(player.MediaPosition(), 875);
  player.PlayMedia();
  hb.clock.advance(16);
  EXPECT_EQ(player.MediaPosition(), 16) << "at its end it starts over";
  EXPECT_TRUE(hb.music.path().empty()) << "the backend's device was never used";
}
