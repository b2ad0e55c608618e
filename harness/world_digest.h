#pragma once
// One digest of the whole game state: every record, pool and counter (the
// menu's fields and the input flags too), the player name, the score table
// and the generator's state. Two runs that agree on it are in the same
// state. It reads the game window only, whatever backend runs it (the
// headless one here, the browser's in the page's tests).
#include <cstdint>

#include "game/form.h"

namespace game_driver {

uint64_t world_digest(const game::TForm1& form);

}  // namespace game_driver
