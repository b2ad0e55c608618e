#pragma once
// Removing an installed game, the same on the POSIX systems and on Windows
// (the folder entries of platform/folder_entries.h; on Windows names compare
// without regard to case and a reparse point counts as a link).
//
// The installations' record (core/record.h) says what goes, one installation
// at a time: the files that installation wrote last, a folder counting only
// while it is the folder recorded (its identity, whatever path leads to it),
// a file only while it is what the installation wrote there (its size and
// digest; a shortcut while it leads to the program in that installation's
// game folder; the score table while it is data.dat in that folder; the
// settings file while it is zarnik.ini beside the record), never a link.
// Folders go only when an installation made them, they are left empty and
// no other installation's files need them. The score table goes only when
// the user asks for it. Of the settings file the game's own four lines (the
// screen size, the player's name, the game's shortcut) stay unless the user
// asks otherwise; the installation's list after them goes. The settings
// file's lines from the fifth on are shown, where the record does not name
// them, as left alone; nothing is ever taken from them, nor from any path's
// name.
#include <optional>
#include <string>
#include <vector>

#include "installer/core/record.h"
#include "platform/folder_entries.h"

namespace installer {

// One file to remove: its recorded folder and that folder's identity when it
// was planned, the name in it, and its entry in the record (for a temporary
// file an interrupted write left beside one of them, `temporary` is set).
struct PlannedFile {
  std::string folder;
  platform::FolderIdentity folder_id;
  std::string name;
  RecordedFile recorded;
  bool temporary = false;
  // Removed only while it is empty (the first record's file, made before
  // anything was written into it).
  bool empty_only = false;

  std::string path() const;
};

// A line (of the record or the settings file) or a recorded file that is not
// removed, with the reason (Czech, UTF-8).
struct LeftAlone {
  std::string line;
  std::string reason;
};

// A folder an installation made, removed when it is then empty.
struct PlannedFolder {
  std::string path;
  bool known = false;
  platform::FolderIdentity id;
};

struct UninstallPlan {
  // The record and its file; the record file goes last (or keeps what stays).
  std::string record_file;
  Record record;
  // The game folder of the installation that goes.
  std::string game;
  // Files to remove, each once, in the order recorded.
  std::vector<PlannedFile> files;
  // The game's score table, removed only when the user asks for it.
  std::optional<PlannedFile> scores;
  // The settings file, when this installation wrote it last: its first four
  // lines are kept unless the user asks otherwise, the rest goes.
  std::optional<PlannedFile> settings;
  // The system's entry for the installed game (core/registration.h).
  std::optional<RecordedFile> registration;
  // What is not removed.
  std::vector<LeftAlone> left_alone;
  // Folders the installations made, deepest first.
  std::vector<PlannedFolder> folders;
  // Why nothing can be removed (Czech, UTF-8): no record, most often.
  std::string refusal;

  bool empty() const { return !refusal.empty(); }
};

// The plan for the installation in the game folder `game` (as the record
// names it) of `record`, read from `record_file` (nothing when there is no
// record), with the settings file's lines `settings_lines` read from
// `settings_path` for what to show as left alone. An empty `game` plans for
// a record that holds no installation (one cut off before its game folder
// was made): its folders and its temporary files.
UninstallPlan plan_uninstall(const std::optional<Record>& record, const std::string& record_file,
                             const std::vector<std::string>& settings_lines,
                             const std::string& settings_path, const std::string& game);

// The same for the record's only installation, or for none when it holds
// none; with several the plan is refused, naming them (plan each one with
// the call above).
UninstallPlan plan_uninstall(const std::optional<Record>& record, const std::string& record_file,
                             const std::vector<std::string>& settings_lines,
                             const std::string& settings_path);

struct UninstallResult {
  // What could not be removed or was found changed (Czech, UTF-8).
  std::vector<std::string> failures;
  // What stays on purpose: the score table kept, the settings kept, folders
  // the installation made that hold other files, recorded files that are no
  // longer its own.
  std::vector<std::string> kept;
};

// Carries the plan out; the score table goes too unless `keep_scores`, the
// settings file's first four lines stay unless `keep_settings` is false.
// Each file is checked again just before it goes: it must still be the
// installation's, in the same folder. Files that are already gone are not
// failures. What could not be removed, and a score table kept, stay in the
// record (so that a later uninstallation or installation knows them), as
// does every other installation; the record goes when nothing is left in
// it. The record is changed under its lock, read again first.
UninstallResult perform_uninstall(const UninstallPlan& plan, bool keep_scores,
                                  bool keep_settings = true);

// The lines of the settings file that stay when its installation goes: the
// four the game writes (fewer when there are fewer).
std::vector<std::string> settings_kept(const std::vector<std::string>& lines);

}  // namespace installer
