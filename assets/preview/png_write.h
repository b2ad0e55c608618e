#pragma once
// PNG output for the preview tools (0x00RRGGBB pixels, magnified by `zoom`;
// pixels that fall into the black colour key show as dark blue when
// `mark_key` is set).
#include <cstdint>
#include <string>
#include <vector>

namespace assets {
bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& px, int zoom,
               bool mark_key = true);
}
