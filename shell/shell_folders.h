#pragma once
// The desktop and Start-menu folders the installer puts shortcuts in.
#include <string>

namespace shell {

// The full path, without a trailing separator, of the shell folder "Desktop"
// (the XDG desktop folder named in user-dirs.dirs, else ~/Desktop) or
// "Start Menu" (the applications folder under the XDG data home). A folder
// that does not exist, or any other name, reads as the empty string.
std::string shell_folder(const std::string& name);

}  // namespace shell
