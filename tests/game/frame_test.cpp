// The frame driver and the in-game display: phases, pause, won and lost
// frames, the music loop, and the display's patterns and positions.
#include "fixture.h"
#include "platform/music_device.h"

namespace game_test {
namespace {

// A music device whose piece stands wherever the test puts it.
class FakeMusic : public platform::MusicDevice {
 public:
  uint32_t position = 0;
  uint32_t length = 1000;
  int plays = 0;
  bool open(const std::string&, std::string&) override { return true; }
  void close() override {}
  bool is_open() override { return true; }
  bool play(uint32_t from_ms) override {
    ++plays;
    position = from_ms >= length ? 0 : from_ms;
    return true;
  }
  void stop() override {}
  uint32_t position_ms() override { return position; }
  uint32_t length_ms() override { return length; }
};

class FrameTest : public GameFixture {
 protected:
  std::vector<uint16_t> back_pixels() {
    auto* s = form->DXDraw1.Surface();
    return std::vector<uint16_t>(s->Pixels(), s->Pixels() + size_t(s->Width()) * s->Height());
  }
};

TEST_F(FrameTest, PauseDrawsOnlyTheBannerOverTheLastFrame) {
  open_game();
  for (int i = 0; i < 20; ++i) form->cas(&form->DXTimer1, 0);
  const auto before = back_pixels();
  form->game.paused = 1;
  ASSERT_EQ(form->game.game_lost, 0);
  ASSERT_EQ(form->game.game_won, 0);
  const uint64_t world = digest();
  for (int i = 0; i < 5; ++i) form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(digest(), world);
  EXPECT_EQ(mark_at(350, 275), (Mark{26, 0}));
  const auto after = back_pixels();
  int changed_outside_banner = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const bool banner = x >= 350 && x < 350 + kProbe && y >= 275 && y < 275 + kProbe;
      if (!banner && before[size_t(y) * 800 + x] != after[size_t(y) * 800 + x])
        ++changed_outside_banner;
    }
  EXPECT_EQ(changed_outside_banner, 0);
  // Unpaused, the world moves on.
  form->game.paused = 0;
  form->cas(&form->DXTimer1, 0);
  EXPECT_NE(digest(), world);
}

TEST_F(FrameTest, WonAndLostFramesKeepTheWorldMovingBehindTheBanner) {
  open_game();
  form->ship.alive = 0;
  form->game.game_won = 1;
  form->game.paused = 1;  // no effect while a banner flag is set
  const uint64_t world = digest();
  form->cas(&form->DXTimer1, 0);
  EXPECT_NE(digest(), world);
  EXPECT_EQ(mark_at(200, 275), (Mark{27, 0}));
  EXPECT_EQ(mark_at(350, 275), Mark{});
  // No in-game display without the ship.
  EXPECT_EQ(mark_at(50, 0), Mark{});
  EXPECT_EQ(mark_at(0, 508), Mark{});

  form->game.game_won = 0;
  form->game.game_lost = 1;
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(mark_at(321, 275), (Mark{28, 0}));
  EXPECT_EQ(mark_at(200, 275), Mark{});
}

TEST_F(FrameTest, ShipIsFlownAndTheDisplayDrawnWhileAlive) {
  open_game();
  form->ship.heading = 64;
  form->ship.speed = 3;
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(form->ship.x, 403);
  EXPECT_EQ(mark_at(50, 0), (Mark{16, 2}));
}

TEST_F(FrameTest, MusicLoopsInEveryPhase) {
  FakeMusic music;
  form->MediaPlayer1.Device = &music;
  form->MediaPlayer1.FileName = "x.mid";
  form->MediaPlayer1.OpenMedia();
  const int base = music.plays;
  open_game();
  music.position = 999;  // 999 + 1 > 1000 is false: still playing
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(music.plays, base);
  music.position = 1000;
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(music.plays, base + 1);
  form->game.paused = 1;
  music.position = 1000;
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(music.plays, base + 2);
  form->game.in_menu = 1;
  music.position = 1000;
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(music.plays, base + 3);
  form->game.splash_frames = 10;
  music.position = 1000;
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(music.plays, base + 4);
  form->MediaPlayer1.Close();
  form->MediaPlayer1.Device = nullptr;
}

TEST_F(FrameTest, SplashRunsExactly250FramesThenTheMenu) {
  quiet_world();
  form->game.splash_frames = 0;
  form->game.in_menu = 1;
  for (int i = 1; i <= 249; ++i) form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(form->game.splash_frames, 249);
  EXPECT_NE(form->DXImageList2, nullptr);
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(form->game.splash_frames, 250);
  EXPECT_EQ(form->DXImageList2, nullptr);
  form->cas(&form->DXTimer1, 0);
  EXPECT_EQ(form->game.splash_frames, 250);
}

using DisplayTest = GameFixture;

TEST_F(DisplayTest, DigitRowsStartTenPixelsRightOfTheirPoint) {
  quiet_world();
  auto& f = *form;
  f.level = 10;
  f.game.score = 0;
  clear_back();
  f.ingame_display();
  EXPECT_EQ(mark_at(750, 2), (Mark{6, 1}));
  EXPECT_EQ(mark_at(760, 2), (Mark{6, 0}));
  EXPECT_EQ(mark_at(750, 27), (Mark{6, 0}));
  EXPECT_EQ(mark_at(760, 27), Mark{});
  EXPECT_EQ(mark_at(698, 0), (Mark{25, 0}));

  f.game.score = 65535;
  clear_back();
  f.ingame_display();
  const int digits[] = {6, 5, 5, 3, 5};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(mark_at(750 + 10 * k, 27), (Mark{6, digits[k]})) << k;
  EXPECT_EQ(mark_at(790, 27), (Mark{6, 5}));  // ends at W - 10
}

TEST_F(DisplayTest, GaugesFollowSpeedShieldAndRocketsInFlight) {
  quiet_world();
  auto& f = *form;
  struct Case {
    int shield, shield_pattern, in_flight, rocket_pattern, speed;
  };
  for (auto c : {Case{100, 10, 0, 5, 1}, Case{9, 0, 1, 4, 6}, Case{55, 5, 2, 4, 3},
                 Case{10, 1, 10, 0, 2}, Case{99, 9, 9, 0, 4}}) {
    f.ship.shield = int16_t(c.shield);
    f.ship.speed = uint8_t(c.speed);
    for (int j = 1; j <= 10; ++j) f.player_rockets[j].active = j <= c.in_flight;
    clear_back();
    f.ingame_display();
    EXPECT_EQ(mark_at(0, 508), (Mark{23, c.shield_pattern})) << c.shield;
    EXPECT_EQ(mark_at(703, 508), (Mark{18, c.rocket_pattern})) << c.in_flight;
    EXPECT_EQ(mark_at(50, 0), (Mark{16, c.speed - 1}));
  }
}

TEST_F(DisplayTest, MissilePipsAndTheirPanel) {
  quiet_world();
  auto& f = *form;
  f.ship.missiles = 20;
  clear_back();
  f.ingame_display();
  EXPECT_EQ(mark_at(371, 592), (Mark{4, 0}));
  EXPECT_EQ(mark_at(485, 592), (Mark{4, 0}));
  EXPECT_EQ(mark_at(491, 592), Mark{});
  EXPECT_EQ(mark_at(345, 580), (Mark{40, 0}));
  f.ship.missiles = 0;
  clear_back();
  f.ingame_display();
  EXPECT_EQ(mark_at(371, 592), Mark{});
  EXPECT_EQ(mark_at(345, 580), (Mark{40, 0}));
}

TEST_F(DisplayTest, CursorShowsAfterAMoveAndFadesToTwo) {
  quiet_world();
  auto& f = *form;
  f.ship.heading = 77;
  f.cursor.cursor_fade = 4;
  f.ingame_display();
  EXPECT_EQ(f.cursor.cursor_fade, 3);
  EXPECT_EQ(f.cursor.cursor_angle, 77);
  f.cursor.pressed = 1;
  f.ingame_display();
  EXPECT_EQ(f.cursor.cursor_angle, 0);
  EXPECT_EQ(f.cursor.cursor_fade, 2);
  f.ingame_display();
  EXPECT_EQ(f.cursor.cursor_fade, 2);
}

}  // namespace
}  // namespace game_test
