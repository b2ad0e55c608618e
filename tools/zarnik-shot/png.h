#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace shot {

// Writes an RGB565 image as an 8-bit RGB PNG file. Throws std::runtime_error
// naming the file on failure.
void write_png_565(const std::string& path, const std::vector<uint16_t>& pixels, int width,
                   int height);

}  // namespace shot
