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
  // The shell folder "Desktop" or "Start Menu": a full path without a
  // trailing separator, empty when the system names none.
  virtual std::string folder(const std::string& name) = 0;
};

}  // namespace platform
