#pragma once
// The one PNG writer of the tools: the generator's icons, the asset
// previews and zarnik-shot's frames. Each call writes one 8-bit file and
// returns false when it cannot (the file cannot be made or written, or the
// pixels do not cover w x h).
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

// RGB565 pixels (a frame of the game) as an RGB file, magnified by `zoom`;
// each channel is widened to 8 bits by repeating its top bits, so black
// stays 0 and full scale becomes 255.
bool write_png_565(const std::string& path, int w, int h, const std::vector<uint16_t>& px,
                   int zoom = 1);

}  // namespace assets
