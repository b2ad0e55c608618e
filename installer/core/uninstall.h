#pragma once
// Removing an installed game, the same on the POSIX systems and on Windows
// (the folder entries of platform/folder_entries.h; on Windows names compare
// without regard to case and a reparse point counts as a link). The settings
// file lists every file and shortcut the installer made from its fifth line
// on, but a line is only a hint: the uninstaller removes nothing but what an
// installation of this game can have written, in the places it writes to (the
// table of owned files in ownership.h), and only when the file found there is
// one of ours. Every other listed line is reported as left alone and never
// touched.
#include <string>
#include <vector>

#include "installer/core/ownership.h"
#include "platform/folder_entries.h"

namespace installer {

// One file to remove: its folder (resolved: no ".", ".." or links in it),
// that folder's identity when it was planned, the name in it, and the rule
// that makes it ours.
struct PlannedFile {
  std::string folder;
  platform::FolderIdentity folder_id;
  std::string name;
  OwnedFile rule;

  std::string path() const;
};

// A listed line that is not removed, with the reason (Czech, UTF-8).
struct LeftAlone {
  std::string line;
  std::string reason;
};

struct UninstallPlan {
  // The game folder D as the settings file names it, and resolved.
  std::string game_folder;
  std::string resolved_game_folder;
  // Files to remove, each once, in the order listed, then the unlisted ones.
  std::vector<PlannedFile> files;
  // Listed lines that are not removed.
  std::vector<LeftAlone> left_alone;
  // Folders to remove afterwards if they are then empty, deepest first: the
  // Start-menu program folder, its "Programy" parent, the game folder.
  std::vector<std::string> folders;
  // The settings file, removed last.
  std::string settings_file;
  // Why the settings file names no installation (Czech, UTF-8); the plan is
  // then empty.
  std::string refusal;

  bool empty() const { return files.empty(); }
};

// The plan for the settings lines `lines` read from `settings_path`, with
// the desktop and Start-menu folders in `places`.
//
// The game folder D is line 4 without its "/zarnik.lnk"; it must be the
// folder of line 5 (the game program the installer listed first) once both
// are resolved, and be named "zarnik" as the installer names it. Otherwise,
// and for a file of fewer than five lines, no installation is listed and the
// plan is empty with a refusal.
//
// A listed line is removed when, after its folder is resolved, it names an
// owned file in that place (the game folder, the desktop or the program
// folder) and the file there proves to be ours (a regular file, never a
// link; a shortcut only when it points at our program in D; a desktop entry
// only when it starts our program in D). The uninstaller, the score file and
// the icon in D, and the desktop entries beside the shortcuts, are removed
// unlisted, and so are temporary files that an interrupted copy or save left
// beside our files.
// Listed files that are already gone are left out silently.
UninstallPlan plan_uninstall(const std::vector<std::string>& lines,
                             const std::string& settings_path, const InstallPlaces& places);

// Carries the plan out. Each file is checked again just before it goes: it
// must still be ours, in the same folder. Files that are already gone are not
// failures; folders that are not empty stay. Returns what could not be
// removed or was found changed (Czech, UTF-8), empty on success.
std::vector<std::string> perform_uninstall(const UninstallPlan& plan);

}  // namespace installer
