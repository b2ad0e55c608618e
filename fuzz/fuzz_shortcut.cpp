// Feeds arbitrary paths to the shortcut writer: the target and the folder it
// is written to (split at the first zero byte). The file must be well formed
// whatever the bytes: every size and offset must point inside it, the path
// texts must end where their offsets say, and the last block must end the
// file exactly. The shortcut reader (which the uninstaller uses to tell our
// shortcuts from others) must read an ASCII target back as written, and
// take the raw input bytes as a shortcut file without reading outside them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/shortcut.h"

namespace {

uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) std::abort();
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

uint16_t get16(const std::vector<uint8_t>& b, size_t at) {
  if (at + 2 > b.size()) std::abort();
  return uint16_t(b[at] | (b[at + 1] << 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t split = zero ? size_t(zero - data) : size;
  const std::string target(reinterpret_cast<const char*>(data), split);
  const std::string directory =
      zero ? std::string(reinterpret_cast<const char*>(zero + 1), size - split - 1) : "";

  const std::string folder = shell::folder_part(target);
  if (folder.size() > target.size() || target.compare(0, folder.size(), folder) != 0) std::abort();
  if (!folder.empty() && folder.back() != '/') std::abort();
  const std::string joined = shell::link_path(directory, "zarnik.lnk", shell::LinkPath::Joined);
  if (joined != directory + "zarnik.lnk") std::abort();

  const std::vector<uint8_t> b = shell::encode_shell_link(target, folder);
  if (get32(b, 0) != 0x4C) std::abort();
  const uint32_t flags = get32(b, 0x14);
  size_t at = 0x4C;
  const uint32_t info_size = get32(b, at);
  if (info_size < 0x24 || at + info_size > b.size()) std::abort();
  // Offsets in the link information, each inside it; the 8-bit path ends in
  // a zero byte and the UTF-16 path in a zero unit, both inside the block.
  const uint32_t base = get32(b, at + 16), base_u = get32(b, at + 28);
  if (base >= info_size || base_u + 2 > info_size) std::abort();
  if (!std::memchr(b.data() + at + base, 0, info_size - base)) std::abort();
  bool ended = false;
  for (size_t p = at + base_u; p + 2 <= at + info_size; p += 2)
    if (get16(b, p) == 0) {
      ended = true;
      break;
    }
  if (!ended) std::abort();
  at += info_size;
  if (flags & 0x10) {  // working directory: a count of UTF-16 units, then the units
    const size_t units = get16(b, at);
    at += 2 + 2 * units;
  }
  if (at + 4 != b.size() || get32(b, at) != 0) std::abort();

  bool ascii = true;
  for (char c : target) ascii &= c > 0 && static_cast<unsigned char>(c) < 0x80;
  if (ascii && shell::read_shell_link_target(b) != target) std::abort();
  const std::string read = shell::read_shell_link_target(std::vector<uint8_t>(data, data + size));
  if (read.find('\0') != std::string::npos) std::abort();
  return 0;
}
