#pragma once
// The built-in 320 x 240 splash picture, generated at build time and compiled
// into the game program: the bytes of its picture data (the class name "TDIB"
// as a short string, then the bitmap), as a container's `Picture.Data` holds.
#include <cstdint>
#include <span>

namespace assets {
std::span<const uint8_t> splash_picture_data();
}
