// Feeds arbitrary bytes to the user-dirs parser (the desktop folder of
// ~/.config/user-dirs.dirs): the answer is empty or an absolute path, one
// line of the text, with $HOME replaced.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/shell_folders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string home = "/home/hráč";
  const std::string desktop = shell::desktop_in_user_dirs(text, home);
  if (desktop.empty()) return 0;
  if (desktop.front() != '/' || desktop.find('\n') != std::string::npos) std::abort();
  if (desktop.size() > size + home.size()) std::abort();
  return 0;
}
