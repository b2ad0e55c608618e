#include "shell/shortcut.h"

#include <filesystem>
#include <stdexcept>

#include "platform/files.h"
#include "platform/folder_entries.h"
#include "platform/little_endian.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "shell/desktop_entry.h"
#include "shell/shell_folders.h"

namespace shell {

namespace {

// Shell Link header fields.
constexpr uint32_t kHeaderSize = 0x4C;
constexpr uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kHasLinkInfo = 0x02;
constexpr uint32_t kHasWorkingDir = 0x10;
constexpr uint32_t kIsUnicode = 0x80;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kShowNormal = 1;
// Link information: a local base path on a fixed volume.
constexpr uint32_t kLinkInfoHeaderSize = 0x24;  // with the UTF-16 path offsets
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr uint32_t kDriveFixed = 3;

using platform::put_le16;
using platform::put_le32;
using platform::set_le32;

std::u16string to_utf16(const std::string& utf8) { return platform::utf8_to_utf16(utf8); }

void put_utf16(std::vector<uint8_t>& b, const std::u16string& s) {
  for (char16_t c : s) put_le16(b, static_cast<uint16_t>(c));
}

std::vector<uint8_t> link_info(const std::string& target) {
  std::vector<uint8_t> b;
  put_le32(b, 0);  // LinkInfoSize, set below
  put_le32(b, kLinkInfoHeaderSize);
  put_le32(b, kVolumeIdAndLocalBasePath);
  const size_t volume_offset_at = b.size();
  put_le32(b, 0);  // VolumeIDOffset
  const size_t base_offset_at = b.size();
  put_le32(b, 0);  // LocalBasePathOffset
  put_le32(b, 0);  // CommonNetworkRelativeLinkOffset: none
  const size_t suffix_offset_at = b.size();
  put_le32(b, 0);  // CommonPathSuffixOffset
  const size_t base_u_offset_at = b.size();
  put_le32(b, 0);  // LocalBasePathOffsetUnicode
  const size_t suffix_u_offset_at = b.size();
  put_le32(b, 0);  // CommonPathSuffixOffsetUnicode

  set_le32(&b[volume_offset_at], static_cast<uint32_t>(b.size()));
  put_le32(b, 17);  // VolumeIDSize: the fields below and an empty label
  put_le32(b, kDriveFixed);
  put_le32(b, 0);     // DriveSerialNumber
  put_le32(b, 0x10);  // VolumeLabelOffset: the label follows
  b.push_back(0);

  set_le32(&b[base_offset_at], static_cast<uint32_t>(b.size()));
  const std::string ansi = platform::utf8_to_cp1250(target);
  b.insert(b.end(), ansi.begin(), ansi.end());
  b.push_back(0);
  set_le32(&b[suffix_offset_at], static_cast<uint32_t>(b.size()));
  b.push_back(0);
  set_le32(&b[base_u_offset_at], static_cast<uint32_t>(b.size()));
  put_utf16(b, to_utf16(target));
  put_le16(b, 0);
  set_le32(&b[suffix_u_offset_at], static_cast<uint32_t>(b.size()));
  put_le16(b, 0);

  set_le32(&b[0], static_cast<uint32_t>(b.size()));
  return b;
}

uint32_t target_size(const std::string& target) {
  std::error_code ec;
  auto size = std::filesystem::file_size(target, ec);
  if (ec) return 0;
  return static_cast<uint32_t>(size);  // the field keeps the low 32 bits
}

uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

uint16_t get16(const std::vector<uint8_t>& b, size_t at) {
  return uint16_t(b[at] | (b[at + 1] << 8));
}

// UTF-16 units up to a zero unit, from `begin` up to `end`, as UTF-8 (the
// programs' paths on every system). False when no zero unit ends the text
// inside that range.
bool utf16_text(const std::vector<uint8_t>& b, size_t begin, size_t end, std::string& out) {
  std::u16string text;
  for (size_t at = begin; at + 2 <= end; at += 2) {
    const char16_t c = get16(b, at);
    if (c != 0) {
      text += c;
      continue;
    }
    out = platform::utf16_to_utf8(text);
    return true;
  }
  return false;
}

// 8-bit text up to a zero byte inside [begin, end).
bool ansi_text(const std::vector<uint8_t>& b, size_t begin, size_t end, std::string& out) {
  for (size_t at = begin; at < end; ++at)
    if (b[at] == 0) {
      out.assign(b.begin() + ptrdiff_t(begin), b.begin() + ptrdiff_t(at));
      return true;
    }
  return false;
}

}  // namespace

std::string read_shell_link_target(const std::vector<uint8_t>& b) {
  constexpr uint32_t kHasIdList = 0x01;
  if (b.size() < kHeaderSize || get32(b, 0) != kHeaderSize ||
      !std::equal(std::begin(kLinkClsid), std::end(kLinkClsid), b.begin() + 4))
    return {};
  const uint32_t flags = get32(b, 0x14);
  if ((flags & kHasLinkInfo) == 0) return {};
  size_t at = kHeaderSize;
  if (flags & kHasIdList) {
    if (at + 2 > b.size()) return {};
    at += 2 + get16(b, at);
  }
  if (at + 28 > b.size()) return {};
  const size_t info_size = get32(b, at), info_header = get32(b, at + 4);
  if (info_size < 28 || info_size > b.size() - at) return {};
  if ((get32(b, at + 8) & kVolumeIdAndLocalBasePath) == 0) return {};
  const size_t info_end = at + info_size;
  std::string target;
  if (info_header >= kLinkInfoHeaderSize && info_size >= kLinkInfoHeaderSize) {
    const size_t base_u = get32(b, at + 28);
    if (base_u != 0 && base_u < info_size && utf16_text(b, at + base_u, info_end, target))
      return target;
  }
  const size_t base = get32(b, at + 16), suffix = get32(b, at + 24);
  std::string tail;
  if (base == 0 || base >= info_size || !ansi_text(b, at + base, info_end, target)) return {};
  if (suffix != 0 && suffix < info_size && ansi_text(b, at + suffix, info_end, tail))
    target += tail;
    // The 8-bit form is in the code page of the system that wrote it: on
    // Windows the system's own (its shell writes only that form), elsewhere
    // the Czech one that encode_shell_link writes.
#ifdef _WIN32
  return platform::from_file_text(target);
#else
  return platform::cp1250_to_utf8(target);
#endif
}

std::string folder_part(const std::string& path) {
  size_t sep = path.rfind(platform::kPathSeparator);
  if (sep == std::string::npos) return {};
  return path.substr(0, sep + 1);
}

std::vector<uint8_t> encode_shell_link(const std::string& target,
                                       const std::string& working_directory) {
  uint32_t flags = kHasLinkInfo | kIsUnicode;
  if (!working_directory.empty()) flags |= kHasWorkingDir;

  std::vector<uint8_t> b;
  put_le32(b, kHeaderSize);
  b.insert(b.end(), std::begin(kLinkClsid), std::end(kLinkClsid));
  put_le32(b, flags);
  put_le32(b, kAttributeArchive);
  for (int i = 0; i < 6; ++i) put_le32(b, 0);  // creation, access and write times
  put_le32(b, target_size(target));
  put_le32(b, 0);  // IconIndex
  put_le32(b, kShowNormal);
  put_le16(b, 0);  // HotKey
  put_le16(b, 0);  // Reserved1
  put_le32(b, 0);  // Reserved2
  put_le32(b, 0);  // Reserved3

  std::vector<uint8_t> info = link_info(target);
  b.insert(b.end(), info.begin(), info.end());

  if (!working_directory.empty()) {
    std::u16string wd = to_utf16(working_directory);
    put_le16(b, static_cast<uint16_t>(wd.size()));
    put_utf16(b, wd);
  }
  put_le32(b, 0);  // terminal block: no extra data
  return b;
}

bool save_shell_link(const std::string& path, const std::string& target,
                     const std::string& working_directory) {
  // Where the system has shortcuts of its own (Windows), it writes them.
  if (platform::Shell* sh = platform::services().shell)
    return sh->save_shortcut(path, target, working_directory);
  try {
    platform::write_file_atomic(path, encode_shell_link(target, working_directory));
    return true;
  } catch (const std::runtime_error&) {
    return false;
  }
}

std::string link_path(const std::string& directory, const std::string& link_name, LinkPath rule) {
  if (rule == LinkPath::WithSeparator) return directory + platform::kPathSeparator + link_name;
  return directory + link_name;
}

bool make_shortcut(const std::string& target, const std::string& directory,
                   const std::string& link_name, LinkPath rule) {
  return save_shell_link(link_path(directory, link_name, rule), target, folder_part(target));
}

std::string program_folder(const std::string& programs, const std::string& folder_name) {
  const char sep = platform::kPathSeparator;
  return programs + sep + folder_name + sep;
}

std::string old_program_folder(const std::string& start_menu, const std::string& folder_name) {
  const char sep = platform::kPathSeparator;
  return start_menu + sep + "Programy" + sep + folder_name + sep;
}

std::vector<std::string> ikona(const std::string& target, const std::string& folder_name,
                               const std::string& link_name, bool on_desktop,
                               std::vector<std::string>& written, const DesktopEntry* entry,
                               IkonaGuard* guard) {
  const std::string working_directory = folder_part(target);
  std::vector<std::string> failed;
  const char sep = platform::kPathSeparator;
  // `folder` is empty when the shell folder was not found; `usable` is false
  // when nothing may be written into it.
  auto save_in = [&](const std::string& folder, bool usable, const std::string& path,
                     bool desktop) {
    written.push_back(path);
    usable = usable && !folder.empty();
    if (!usable || (guard && !guard->before_shortcut(path, target)) ||
        !save_shell_link(path, target, working_directory))
      failed.push_back(path);
    if (guard) guard->after_write(path);
    if (!entry || !kDesktopEntries || !usable) return;
    // On the desktop a launcher must be executable, and GNOME's desktop icons
    // also ask for it to be trusted; the menu reads its folder as it is.
    const std::string entry_path = folder + sep + desktop_entry_name(link_name);
    const std::string text = desktop_entry_text(*entry);
    if (text.empty() || (guard && !guard->before_entry(entry_path, text)) ||
        !save_desktop_entry(entry_path, *entry, desktop))
      failed.push_back(entry_path);
    else if (desktop)
      mark_trusted(entry_path);
    if (guard) guard->after_write(entry_path);
  };
  // The shell folder `name` (empty when it is not found); without a guard it
  // is made when missing, with one `usable` says whether the guard readied
  // the folder that `inside` gives for it. Where the folder lies in the
  // shell folder `within` (the folder of programs in the Start menu), the
  // guard looks at the folders from that one down: a Start menu that is a
  // link leads the shortcuts elsewhere as well as a linked folder of
  // programs would.
  auto shell_folder_for = [&](const char* name,
                              std::string (*inside)(const std::string&, const std::string&),
                              bool& usable, const char* within) {
    usable = true;
    if (!guard) return make_shell_folder(name);
    std::string folder = shell_folder_path(name);
    if (folder.empty() || !platform::is_absolute_path(folder)) return std::string();
    std::string ready = inside(folder, folder_name);
    while (ready.size() > folder.size() && ready.back() == sep) ready.pop_back();
    std::string root = folder;
    if (within != nullptr) {
      const std::string outer = shell_folder_path(within);
      if (!outer.empty() && folder.size() > outer.size() &&
          platform::is_path_separator(folder[outer.size()]) &&
          platform::same_name(folder.substr(0, outer.size()), outer))
        root = outer;
    }
    usable = guard->ready_folder(root, ready);
    return folder;
  };

  if (on_desktop) {
    bool usable = true;
    const std::string desktop = shell_folder_for(
        platform::kDesktop, [](const std::string& f, const std::string&) { return f; }, usable,
        nullptr);
    save_in(desktop, usable, desktop + sep + link_name, true);
  }

  bool usable = true;
  const std::string programs =
      shell_folder_for(platform::kPrograms, program_folder, usable, platform::kStartMenu);
  // Without a folder of programs the list names the path the older rule
  // gives, under an empty Start menu path; nothing is written there.
  const std::string folder = programs.empty() ? old_program_folder("", folder_name)
                                              : program_folder(programs, folder_name);
  if (!programs.empty() && !guard) platform::make_folders(folder);  // a failure shows in the save
  std::string menu_folder = programs.empty() ? std::string() : folder;
  while (menu_folder.size() > 1 && menu_folder.back() == sep) menu_folder.pop_back();
  save_in(menu_folder, usable, folder + link_name, false);
  return failed;
}

}  // namespace shell
