#pragma once
// Removing an installed game: the plan is read from the settings file's
// lines (the installer lists every file and shortcut it made from the fifth
// line on), then carried out.
#include <string>
#include <vector>

namespace installer {

struct UninstallPlan {
  // Files and shortcuts to remove, each once, in the order listed.
  std::vector<std::string> files;
  // Folders to remove afterwards if they are then empty, deepest first.
  std::vector<std::string> folders;
  // The settings file, removed last.
  std::string settings_file;

  bool empty() const { return files.empty(); }
};

// The plan for the settings lines `lines` read from `settings_path`. Beyond
// the listed files it removes the uninstaller itself and the game's score
// file from the game folder (the folder of the fifth line), then that folder
// and the Start-menu program folder with its "Programy" parent when they are
// left empty. Lines that are not absolute paths are ignored. A file with
// fewer than five lines lists no installation: the plan is empty.
UninstallPlan plan_uninstall(const std::vector<std::string>& lines,
                             const std::string& settings_path);

// Carries the plan out. Files that are already gone are not failures;
// folders that are not empty stay. Returns what could not be removed (Czech,
// UTF-8), empty on success.
std::vector<std::string> perform_uninstall(const UninstallPlan& plan);

}  // namespace installer
