#pragma once
// Shortcut files through the shell's own shortcut object (IShellLinkA saved
// with IPersistFile), and the desktop and Start-menu folders from the current
// user's "Shell Folders" registry key.
#include <string>

#include "platform/shell.h"

namespace platform::win32 {

class WinShell : public Shell {
 public:
  bool save_shortcut(const std::string& link_path, const std::string& target,
                     const std::string& working_directory) override;
  std::string folder(const std::string& name) override;
};

// The registry key under the current user that names the shell folders.
inline constexpr char kShellFoldersKey[] =
    "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace platform::win32
