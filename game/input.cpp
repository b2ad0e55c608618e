// Keyboard and mouse. The handlers never draw: in play they set the input
// flags and a few ship fields for the next frame; in the front end they move
// the highlight, edit the name and change the phase.
#include <cstdlib>
#include <exception>
#include <string>

#include "game/form.h"
#include "game/game_files.h"
#include "media/errors.h"
#include "platform/file_names.h"
#include "platform/services.h"
#include "platform/system.h"

namespace game {

namespace {

using namespace platform::vk;

constexpr size_t kMaxTypedName = 10;

bool near(int a, int b, int n) { return std::abs(a - b) < n; }

// Thrust steps stay within 1..6.
uint8_t speed_up(uint8_t speed) { return static_cast<uint8_t>(speed + 1 >= 6 ? 6 : speed + 1); }
uint8_t speed_down(uint8_t speed) { return static_cast<uint8_t>(speed - 1 <= 0 ? 1 : speed - 1); }

}  // namespace

std::string help_page_unopened(const std::string& page) {
  return "Stránku nápovědy nemá čím otevřít: není nastaven žádný program, který by ji "
         "otevřel.\nOtevřete ji v prohlížeči sami, je v souboru\n" +
         page;
}

void TForm1::FormKeyDown(uint16_t Key, uint32_t /*Shift*/) {
  if (game.in_menu == 1)
    key_down_front(Key);
  else
    key_down_play(Key);
}

void TForm1::key_down_front(uint16_t key) {
  const bool enter = key == kEnter;
  const bool esc = key == kEsc;
  // Each step sees the state the steps before it left; closing ends the
  // handler.
  if (enter && game.name_editing == 0 && game.start_selected != 0) start();
  if (enter && game.name_editing == 0 && game.scores_selected != 0) game.scores_shown = 1;
  if (enter && game.name_editing == 0 && game.end_selected != 0) {
    Close();
    return;
  }
  if (esc && game.name_editing == 0 && game.scores_shown == 0) {
    Close();
    return;
  }
  if (esc && game.scores_shown == 1) game.scores_shown = 0;
  if (game.name_editing == 1 && (enter || esc)) {
    play_wave(slots::wave::kMenuClick);
    game.name_editing = 0;
  }
  if (game.name_editing == 1 && key == kBackspace) {
    if (!game.player_name.empty()) {
      play_wave(slots::wave::kMenuClick);
      game.player_name.pop_back();
    }
  }
  if (game.name_editing == 1 && ((key >= kA && key <= kZ) || key == kSpace) &&
      game.player_name.size() < kMaxTypedName) {
    play_wave(slots::wave::kMenuClick);
    // The key code is the capital letter (or the space), whatever Shift or
    // Caps Lock say.
    game.player_name += static_cast<char>(key);
  }
  // The highlight cycles none, start, high scores, quit, none; the arrows act
  // also while a name is typed or the list is shown.
  if (key == kUp) {
    if (game.start_selected == 1) {
      game.start_selected = 0;
    } else if (game.scores_selected == 1) {
      game.scores_selected = 0;
      game.start_selected = 1;
    } else if (game.end_selected == 1) {
      game.end_selected = 0;
      game.scores_selected = 1;
    } else {
      game.end_selected = 1;
    }
  } else if (key == kDown) {
    if (game.start_selected == 1) {
      game.start_selected = 0;
      game.scores_selected = 1;
    } else if (game.scores_selected == 1) {
      game.scores_selected = 0;
      game.end_selected = 1;
    } else if (game.end_selected == 1) {
      game.end_selected = 0;
    } else {
      game.start_selected = 1;
    }
  }
}

void TForm1::key_down_play(uint16_t key) {
  if (game.paused == 0) {
    switch (key) {
      case kCtrl: key_missile = 1; break;
      case kSpace: key_fire = 1; break;
      case kLeft: key_left = 1; break;
      case kRight: key_right = 1; break;
      case kUp: ship.speed = speed_up(ship.speed); break;
      case kDown: ship.speed = speed_down(ship.speed); break;
      // The frame recomputes the scale from the ship's height every frame.
      case kA: ship.scale += 0.1; break;
      case kY: ship.scale -= 0.1; break;
      default: break;
    }
  }
  // Paused or not (and also in a won or lost game).
  if (key == kPause) game.paused ^= 1;
  if (key == kEsc) {
    game_ower();
    add_score(game.player_name, game.score);
  }
}

void TForm1::FormKeyUp(uint16_t Key, uint32_t /*Shift*/) {
  switch (Key) {
    case kCtrl: key_missile = 0; break;
    case kSpace: key_fire = 0; break;
    case kLeft: key_left = 0; break;
    case kRight: key_right = 0; break;
    default: break;
  }
}

void TForm1::DXDraw1MouseMove(uint32_t /*Shift*/, int /*X*/, int /*Y*/) {
  const platform::Point p = cursor_position();
  if (game.in_menu == 1) {
    game.start_selected = 0;
    game.end_selected = 0;
    game.scores_selected = 0;
    game.link_hover = 0;
    if (p.x > 60 && p.x < 190 && near(p.y, H() - 18, 8)) game.link_hover = 1;
    if (game.scores_shown != 0) return;
    if (near(p.x, W() / 2, 40) && near(p.y, H() / 2 - 75, 13)) game.start_selected = 1;
    if (near(p.x, W() / 2, 40) && near(p.y, H() / 2 + 75, 13)) game.end_selected = 1;
    if (near(p.x, W() / 2, 40) && near(p.y, H() / 2 - 25, 13)) game.scores_selected = 1;
  } else {
    // Whatever the pause, won or lost state.
    ship.heading = static_cast<uint8_t>(heading_towards(ship.x, ship.y, p.x, p.y));
    cursor.cursor_fade = 255;
  }
}

void TForm1::DXDraw1MouseDown(int Button, uint32_t /*Shift*/, int /*X*/, int /*Y*/) {
  const platform::Point p = cursor_position();
  if (game.in_menu == 1) {
    cursor.pressed = 1;
    game.name_editing = 0;
    if (near(p.x, W(), 200) && near(p.y, H() - 72, 14)) {
      game.name_editing = 1;
      play_wave(slots::wave::kMenuClick);
    }
    if (game.scores_shown == 1) game.scores_shown = 0;
    if (game.start_selected == 1) start();
    if (game.link_hover == 1) {
      auto* sys = platform::services().system;
      const std::string page = game_dir + kHelpPage;
      const platform::OpenResult result =
          sys ? sys->shell_open(platform::document_address(page)) : platform::OpenResult::Opened;
      // A local page that nothing opens is no connection error: the player
      // is told where it lies.
      if (result == platform::OpenResult::NoProgram)
        show_error(help_page_unopened(page));
      else if (result == platform::OpenResult::Failed)
        show_error("Chyba ve spojení");
      Close();
      return;
    }
    if (game.end_selected == 1) {
      Close();
      return;
    }
    if (game.scores_selected == 1) game.scores_shown = 1;
  } else if (game.game_lost == 1) {
    game_ower();
    add_score(game.player_name, game.score);
  } else {
    if (Button == 0) mouse_left = 1;
    if (Button == 1) mouse_right = 1;
    cursor.pressed = 1;
  }
}

void TForm1::DXDraw1MouseUp(int Button, uint32_t /*Shift*/, int /*X*/, int /*Y*/) {
  if (game.in_menu != 1) {
    if (Button == 0) mouse_left = 0;
    if (Button == 1) mouse_right = 0;
  }
  cursor.pressed = 0;
}

void TForm1::DXDraw1DblClick() {
  if (game.in_menu != 1) return;
  const platform::Point p = cursor_position();
  game.name_editing = 0;
  if (near(p.x, W(), 127) && near(p.y, H() - 72, 14)) {
    game.player_name.clear();
    game.name_editing = 1;
  }
}

void TForm1::FormMouseWheelDown() { ship.speed = speed_down(ship.speed); }

void TForm1::FormMouseWheelUp() { ship.speed = speed_up(ship.speed); }

void TForm1::FormClick() { Close(); }

void TForm1::HandleEvent(const platform::Event& e) {
  if (closed_) return;
  const uint8_t was_editing = game.name_editing;
  try {
    switch (e.type) {
      case platform::EventType::KeyDown: FormKeyDown(static_cast<uint16_t>(e.key), e.shift); break;
      case platform::EventType::KeyUp: FormKeyUp(static_cast<uint16_t>(e.key), e.shift); break;
      case platform::EventType::MouseDown: DXDraw1MouseDown(e.button, e.shift, e.x, e.y); break;
      case platform::EventType::MouseUp: DXDraw1MouseUp(e.button, e.shift, e.x, e.y); break;
      case platform::EventType::MouseMove: DXDraw1MouseMove(e.shift, e.x, e.y); break;
      case platform::EventType::DoubleClick: DXDraw1DblClick(); break;
      case platform::EventType::Click:
        // Only a click on the window beside the drawing surface closes the
        // game; the surface normally fills the whole window.
        if (e.x < 0 || e.y < 0 || e.x >= W() || e.y >= H()) FormClick();
        break;
      case platform::EventType::Wheel:
        if (e.wheel_delta > 0) FormMouseWheelUp();
        if (e.wheel_delta < 0) FormMouseWheelDown();
        break;
      case platform::EventType::Activate:
        // The application's loop tells the frame timer itself.
        break;
      case platform::EventType::Deactivate: keep_settings(); break;
      case platform::EventType::Close: Close(); break;
      case platform::EventType::SharedFileChanged: reload_scores(); break;
    }
    if (was_editing != game.name_editing && !closed_) {
      if (auto* sys = platform::services().system) sys->text_input(game.name_editing == 1);
      if (game.name_editing == 0) keep_settings();
    }
  } catch (const std::exception& ex) {
    // A data file that vanished while the game runs (a new game or the way
    // back to the menu loads one): say so and close cleanly instead of
    // leaving a stopped frame timer behind.
    show_error(media::ErrorTextForPlayer(ex));
    Close();
  }
}

}  // namespace game
