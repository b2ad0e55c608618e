#pragma once
// The desktop and Start-menu folders the installer puts shortcuts in.
#include <string>
#include <string_view>

namespace shell {

// The full path, without a trailing separator, of the shell folder "Desktop"
// (the XDG desktop folder named in user-dirs.dirs, else ~/Desktop), "Start
// Menu" (the applications folder under the XDG data home, which desktops
// scan with its subfolders for their menus) or "Programs" ("Programy" in
// the Start menu), whether it exists or not; empty for any other name or
// without a home. Where the system names its shell folders itself
// (platform/shell.h, Windows), it is asked.
std::string shell_folder_path(const std::string& name);

// The same folder when it exists, else the empty string.
std::string shell_folder(const std::string& name);

// The same folder, created with its parents when it does not exist yet (a
// fresh account has no applications folder, and may have no desktop
// folder). Empty when it cannot be made or its path is not absolute.
std::string make_shell_folder(const std::string& name);

// The desktop folder that the text of a user-dirs.dirs file names
// (XDG_DESKTOP_DIR="$HOME/..." or an absolute path; the first assignment
// counts), with $HOME replaced by `home`; empty when it names none.
std::string desktop_in_user_dirs(std::string_view text, const std::string& home);

}  // namespace shell
