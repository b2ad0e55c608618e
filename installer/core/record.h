#pragma once
// The installation's record: what every installation of the game made and
// wrote, kept in a file of its own beside the settings file
// ("zarnik-install.rec"). The settings file's lines stay as the game and
// other programs read them; the record is what the uninstaller trusts.
//
// The installer writes the record before it makes its first folder or file
// and adds every folder and file to it just before making it, so an
// installation cut off at any point is recorded whole. A file is recorded
// with its size and SHA-256 (a shortcut, which the shell writes and the game
// rewrites, with the program it leads to instead), a folder with its identity
// (device and inode; on Windows volume and file index) and whether the
// installation made it. Later installations add to the record; an entry for
// a path recorded already replaces the earlier one.
//
// The file: 8-bit lines ended by CR LF, the header first, then one entry a
// line; a path is always the rest of its line:
//   ZARNIK-INSTALL-RECORD 1
//   folder made 2049:1311234 /home/eva/.local/share/zarnik
//   folder found 2049:1300001 /home/eva/Desktop
//   folder made - /home/eva/.local/share/applications/Programy   (made, not yet seen)
//   game /home/eva/.local/share/zarnik
//   file 13238344 <64 hex digits> /home/eva/.local/share/zarnik/zarnik.exe
//   shortcut zarnik.exe /home/eva/Desktop/Zarnik.lnk
//   scores /home/eva/.local/share/zarnik/data.dat
//   settings /home/eva/.config/zarnik.ini
// Every path is absolute, with no empty, "." or ".." name and no trailing
// separator; every file lies in a recorded folder and every game folder is
// one. Lines that break these rules are kept aside as unreadable, never used.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "installer/core/digest.h"
#include "platform/folder_entries.h"

namespace installer {

inline constexpr const char* kRecordFileName = "zarnik-install.rec";
inline constexpr const char* kRecordHeader = "ZARNIK-INSTALL-RECORD 1";
// Far above what any number of installations writes (about 30 lines each).
inline constexpr uint64_t kMaxRecordBytes = uint64_t(1) << 20;

struct RecordedFolder {
  std::string path;
  bool made = false;   // the installation created it
  bool known = false;  // `id` is known (false: recorded just before it was made)
  platform::FolderIdentity id;
};

enum class RecordedKind {
  File,      // removed while its size and digest are those recorded
  Shortcut,  // removed while it is a shortcut to `program` in a game folder
  Scores,    // the game's score table: absent when the installation took the folder
  Settings,  // the settings file the installation wrote
};

struct RecordedFile {
  RecordedKind kind = RecordedKind::File;
  std::string path;
  ContentId content;    // File
  std::string program;  // Shortcut: a name in the game folder
};

struct Record {
  std::vector<RecordedFolder> folders;  // parents before their children
  std::vector<std::string> game_folders;
  std::vector<RecordedFile> files;
  std::vector<std::string> unreadable;  // lines that are not entries

  const RecordedFolder* folder(const std::string& path) const;
  const RecordedFile* file(const std::string& path) const;
  bool is_game_folder(const std::string& path) const;
  // Adds, or replaces the entry of the same path.
  void set(const RecordedFolder& folder);
  void set(const RecordedFile& file);
  void add_game_folder(const std::string& path);
  void remove_file(const std::string& path);
  void remove_folder(const std::string& path);
  // Nothing that an uninstallation would remove: no file and no folder made.
  bool holds_nothing() const;
};

Record parse_record(const std::vector<std::string>& lines);
std::vector<std::string> record_lines(const Record& record);

// The record beside the settings file in `settings_folder`.
std::string record_path(const std::string& settings_folder);

// The record at `path`; nothing when there is none. Throws
// std::runtime_error (Czech, UTF-8) when it cannot be read, is larger than
// kMaxRecordBytes, or does not begin with the header.
std::optional<Record> read_record(const std::string& path);
// Writes the record whole (platform::write_file_atomic); throws on failure.
void write_record(const std::string& path, const Record& record);

// Whether `path` can stand in the record: absolute, one line, no empty, "."
// or ".." name, no trailing separator, within the system's lengths.
bool is_plain_path(const std::string& path);
// The folder of a plain path and the name in it.
std::string parent_folder(const std::string& path);
std::string file_name(const std::string& path);
// Every folder on the way to a plain path, from the first below the root to
// the path itself.
std::vector<std::string> folders_to(const std::string& path);

// The recorded folder opened, when it is still the folder recorded: the same
// identity, whatever path leads to it now; one recorded without its identity
// (made just after the record was written) only when no link stands at its
// name. Null otherwise, with `why` (Czech).
std::unique_ptr<platform::OpenFolder> open_recorded_folder(const RecordedFolder& folder,
                                                           std::string& why);

// The game folders of `record` that are still the folders recorded, by
// identity.
std::vector<platform::FolderIdentity> game_folder_identities(const Record& record);

// Whether the file found in `entry` is the one `file` records. Never follows
// a link and never reads anything but a regular file; `why` (Czech) says why
// not. A missing file is neither ours nor foreign: `gone` is set.
bool is_recorded_file(const RecordedFile& file, platform::FolderEntry& entry,
                      const std::vector<platform::FolderIdentity>& game_folders, bool& gone,
                      std::string& why);

}  // namespace installer
