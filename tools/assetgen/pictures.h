#pragma once
// The pictures of the game and the menu, drawn by the generator.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/mesh.h"

namespace assets {

// One picture item: `count` patterns of pw x ph laid out row by row, `cols`
// to a row, in a sheet of 0x00RRGGBB pixels, stored at `bits` per pixel.
struct Sheet {
  std::string name;
  int pw = 0, ph = 0, count = 1, cols = 1;
  int bits = 16;
  std::vector<uint32_t> px;
  int width() const { return pw * cols; }
  int height() const { return ph * ((count + cols - 1) / cols); }
};

// Each picture sits in its slot of game/slots.h, the index the game
// draws it by.
std::vector<Sheet> game_pictures();
std::vector<Sheet> menu_pictures();
// The 320 x 240 splash (24 bits).
Sheet splash_picture();
// The player's ship, nose along +y (the ship's sheet, the splash and the
// icon draw it).
Mesh ship_mesh();

}  // namespace assets
