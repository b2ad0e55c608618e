#pragma once
// The game's icon: the player's ship flying past a planet on a round patch
// of space. Drawn afresh for every size, so small sizes stay clear.
#include <cstdint>
#include <vector>

#include "assets/icon.h"  // the size compiled into the game

namespace assets {

// size x size pixels, 0xAARRGGBB with straight (not premultiplied) alpha;
// transparent outside the round patch.
std::vector<uint32_t> icon_picture(int size);

// The sizes written as PNG files for the desktop's icon theme.
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

}  // namespace assets
