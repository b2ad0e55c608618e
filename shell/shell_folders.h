#pragma once
// The desktop and Start-menu folders the installer puts shortcuts in.
#include <string>
#include <string_view>

namespace shell {

// The full path, without a trailing separator, of the shell folder "Desktop"
// (the XDG desktop folder named in user-dirs.dirs, else ~/Desktop) or
// "Start Menu" (the applications folder under the XDG data home). A folder
// that does not exist, or any other name, reads as the empty string.
std::string shell_folder(const std::string& name);

// The desktop folder that the text of a user-dirs.dirs file names
// (XDG_DESKTOP_DIR="$HOME/..." or an absolute path; the first assignment
// counts), with $HOME replaced by `home`; empty when it names none.
std::string desktop_in_user_dirs(std::string_view text, const std::string& home);

}  // namespace shell
