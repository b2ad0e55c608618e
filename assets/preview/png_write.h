#pragma once
// PNG output of the asset tools: sheets for a look at the pictures, and the
// game's icons.
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

// 0x00RRGGBB pixels as an RGB file, magnified by `zoom`; pixels that fall
// into the black colour key show as dark blue when `mark_key` is set.
bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& px, int zoom,
               bool mark_key = true);

// 0xAARRGGBB pixels (straight alpha) as an RGBA file.
bool write_png_argb(const std::string& path, int w, int h, const std::vector<uint32_t>& px);

}  // namespace assets
