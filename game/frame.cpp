// The frame handler: one call per timer tick draws and advances one whole
// frame. Drawing and updating are interleaved group by group, so the order of
// the play frame's steps is also the back-to-front order of the picture.
#include "game/form.h"

namespace game {

void TForm1::cas(media::TDXTimer* /*Sender*/, int /*LagCount*/) {
  // The timer's lag count is ignored: the game runs at the timer's rate.
  if (game.splash_frames < 250) {
    splash_frame();
  } else if (game.in_menu == 1) {
    menu_frame();
  } else {
    play_frame();
  }
  DXDraw1.PresentFrame();
  music_loop();
}

void TForm1::music_loop() {
  // A piece that stands at its end is played again from the start.
  if (!MediaPlayer1.IsOpen()) return;
  if (MediaPlayer1.MediaPosition() + 1 > MediaPlayer1.MediaLength()) MediaPlayer1.PlayMedia();
}

void TForm1::play_frame() {
  // Paused: the banner over the last frame drawn, nothing advances. While a
  // banner flag is set the pause flag has no effect.
  if (game.paused == 1 && game.game_won == 0 && game.game_lost == 0) {
    picture(slots::play::kPauseBanner).DrawPattern(back(), div(W(), 2) - 50, div(H(), 2) - 25, 0);
    return;
  }
  if (auto* s = back()) s->FillSurface(0);
  // Banners first: the world of the frame is drawn over them.
  if (game.game_won == 1)
    picture(slots::play::kWonBanner).DrawPattern(back(), div(W(), 2) - 200, div(H(), 2) - 25, 0);
  if (game.game_lost == 1)
    picture(slots::play::kLostBanner).DrawPattern(back(), div(W(), 2) - 79, div(H(), 2) - 25, 0);

  if (ship.alive == 1) otaceni_a_strelba();
  stars_step();
  planets_step();
  meteor_step();
  rockets_flight();
  if (ship.alive == 1) aim_pass();
  remove_offscreen_enemy_rockets();
  spawn_chance();
  bonus_step();
  hit_pass();
  explosions_step();
  motion_pass();
  enemy_rockets_vs_ship();
  if (ship.alive == 1) ship_step();
}

void TForm1::play_wave(int index, int32_t pan) {
  auto& item = DXWaveList1.Items.ItemAt(index);
  item.SetPan(pan);
  item.PlayWave(false);
}

void TForm1::play_wave(int index) { DXWaveList1.Items.ItemAt(index).PlayWave(false); }

}  // namespace game
