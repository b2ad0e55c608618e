// The in-game display: gauges, digit rows, missile pips and the in-game
// mouse cursor, all drawn as sprites over the world.
#include "game/form.h"
#include "platform/services.h"
#include "platform/system.h"

namespace game {

void TForm1::cisla(uint16_t number, uint16_t x, uint16_t y) {
  // Decimal digits without leading zeros, the first at x + 10.
  char digits[5];
  int len = 0;
  uint16_t rest = number;
  do {
    digits[len++] = static_cast<char>(rest % 10);
    rest = static_cast<uint16_t>(rest / 10);
  } while (rest != 0);
  for (int k = 1; k <= len; ++k) picture(6).DrawPattern(back(), x + 10 * k, y, digits[len - k]);
}

void TForm1::ingame_display() {
  picture(16).DrawPattern(back(), 50, 0, ship.speed - 1);
  picture(23).DrawPattern(back(), 0, H() - 92, ship.shield / 10);
  cisla(level, static_cast<uint16_t>(W() - 60), 2);
  cisla(game.score, static_cast<uint16_t>(W() - 60), 27);
  picture(25).DrawPattern(back(), W() - 102, 0, 0);
  for (int k = 1; k <= ship.missiles; ++k)
    picture(4).DrawPattern(back(), div(W(), 2) - 35 + 6 * k, H() - 8, 0);
  picture(40).DrawPattern(back(), div(W(), 2) - 55, H() - 20, 0);
  int in_flight = 0;
  for (int j = 1; j <= 10; ++j)
    if (player_rockets[j].active == 1) ++in_flight;
  picture(18).DrawPattern(back(), W() - 97, H() - 92, (10 - in_flight) / 2);

  // The cursor points along the ship's heading while no button is held, and
  // shows only after a mouse move, fading by 1 a frame down to 2.
  cursor.cursor_angle = cursor.pressed == 0 ? ship.heading : 0;
  if (cursor.cursor_fade > 2) {
    cursor.cursor_fade = static_cast<uint8_t>(cursor.cursor_fade - 1);
    const platform::Point pos = cursor_position();
    picture(15).DrawPatternRotatedBlended(back(), pos.x, pos.y, 20, 20, cursor.pressed, 0.5, 0.5,
                                          cursor.cursor_angle, cursor.cursor_fade);
  }
}

}  // namespace game
