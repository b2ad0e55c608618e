#pragma once
#include <string>

namespace platform {

// The system's own shortcut files and shell folders, where it has them. A
// backend that installs none leaves shell/ to write shortcut files itself
// and to find the folders the desktop's way.
class Shell {
 public:
  virtual ~Shell() = default;
  // Saves a shortcut at link_path (replacing any earlier file) whose target
  // is `target` and whose working directory is `working_directory`. False
  // when it cannot be saved.
  virtual bool save_shortcut(const std::string& link_path, const std::string& target,
                             const std::string& working_directory) = 0;
  // The shell folder of that name (below): a full path without a trailing
  // separator, empty when the system names none.
  virtual std::string folder(const std::string& name) = 0;
};

// The shell folders the programs ask for: the desktop, the Start menu, and
// the Start menu's folder of programs, which the Start menu lists (on
// Windows "Programs" on the disk whatever the system's language).
inline constexpr char kDesktop[] = "Desktop";
inline constexpr char kStartMenu[] = "Start Menu";
inline constexpr char kPrograms[] = "Programs";

}  // namespace platform
