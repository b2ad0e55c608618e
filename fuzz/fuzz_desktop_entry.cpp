// Feeds arbitrary bytes to the desktop-entry reader (which the uninstaller
// uses to tell our entries from others), and takes them as the game folder
// of an entry: either no entry can hold that folder, or the entry reads back
// with exactly that program and folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/desktop_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  shell::read_desktop_entry_launch(bytes);

  shell::DesktopEntry entry;
  entry.name = "Zarnik";
  entry.folder = std::string(bytes);
  entry.program = entry.folder + "/zarnik.exe";
  entry.icon = entry.folder + "/zarnik.png";
  const std::string text = shell::desktop_entry_text(entry);
  if (text.empty()) return 0;
  const auto launch = shell::read_desktop_entry_launch(text);
  if (launch.program != entry.program || launch.folder != entry.folder) std::abort();
  return 0;
}
