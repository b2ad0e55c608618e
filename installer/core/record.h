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
// (device and inode; on Windows volume and file index) and whether an
// installation made it. Several installations (each into a game folder of
// its own) share the record: every file belongs to the installation that
// wrote it last, and its uninstaller removes that installation's files only.
// An entry for a path recorded already replaces the earlier one, and with
// it the installation it belongs to. The record is changed only under a lock
// on it, read again just before each write (change_record), so that two
// installers or uninstallers at once keep each other's entries.
//
// The file: 8-bit lines ended by CR LF, the header first, then one entry a
// line; a path is always the rest of its line. The folders come first (they
// are shared); each "game" line then begins the entries of that
// installation:
//   ZARNIK-INSTALL-RECORD 2
//   folder made 2049:1311234 /home/eva/.local/share/zarnik
//   folder found 2049:1300001 /home/eva/Desktop
//   folder made - /home/eva/.local/share/applications/Programy   (made, not yet seen)
//   game /home/eva/.local/share/zarnik
//   file 13238344 <64 hex digits> /home/eva/.local/share/zarnik/zarnik.exe
//   shortcut zarnik.exe /home/eva/Desktop/Zarnik.lnk
//   scores /home/eva/.local/share/zarnik/data.dat
//   settings /home/eva/.config/zarnik.ini
//   registration <64 hex digits> Software\Microsoft\...\Uninstall\Zarnik   (Windows)
// Every path is absolute, with no empty, "." or ".." name and no trailing
// separator; every file lies in a recorded folder and every game folder is
// one; the score table is the file data.dat in its game folder; the
// settings file is zarnik.ini beside the record; a registration names the
// one key the installer writes. Lines that break these rules are kept aside
// as unreadable, never used. A record of the first form ("... 1"), in which
// all game lines came before all files, is read too: a file in a game folder
// belongs to it, any other file to the last game folder listed.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "installer/core/digest.h"
#include "platform/files.h"
#include "platform/folder_entries.h"

namespace installer {

inline constexpr const char* kRecordFileName = "zarnik-install.rec";
inline constexpr const char* kRecordHeader = "ZARNIK-INSTALL-RECORD 2";
inline constexpr const char* kFirstRecordHeader = "ZARNIK-INSTALL-RECORD 1";
// Far above what any number of installations writes (about 30 lines each).
inline constexpr uint64_t kMaxRecordBytes = uint64_t(1) << 20;

struct RecordedFolder {
  std::string path;
  bool made = false;   // the installation created it
  bool known = false;  // `id` is known (false: recorded just before it was made)
  platform::FolderIdentity id;
};

enum class RecordedKind {
  File,          // removed while its size and digest are those recorded
  Shortcut,      // removed while it is a shortcut to `program` in its game folder
  Scores,        // the game's score table: absent when the installation took the folder
  Settings,      // the settings file the installation wrote
  Registration,  // the system's entry for the installed program (Windows), by its digest
};

struct RecordedFile {
  RecordedKind kind = RecordedKind::File;
  std::string path;     // for a registration its key
  ContentId content;    // File, Registration
  std::string program;  // Shortcut: a name in the game folder
  std::string game;     // the game folder of the installation it belongs to
};

struct Record {
  std::vector<RecordedFolder> folders;    // parents before their children
  std::vector<std::string> game_folders;  // one for each installation
  std::vector<RecordedFile> files;        // change them through set and remove_file
  std::vector<std::string> unreadable;    // lines that are not entries

  const RecordedFolder* folder(const std::string& path) const;
  const RecordedFile* file(const std::string& path) const;
  bool is_game_folder(const std::string& path) const;
  // Adds, or replaces the entry of the same path.
  void set(const RecordedFolder& folder);
  void set(const RecordedFile& file);
  void add_game_folder(const std::string& path);
  void remove_file(const std::string& path);
  // Removes every file entry `which` is true for, at once.
  void remove_files(const std::function<bool(const RecordedFile&)>& which);
  // Forgets the folder; a game folder also as an installation.
  void remove_folder(const std::string& path);
  // Nothing that an uninstallation would remove: no file and no folder made.
  bool holds_nothing() const;
  // Whether `file` belongs to the installation in `game`.
  static bool belongs_to(const RecordedFile& file, const std::string& game);

 private:
  // Where each path's entry is in `files`, by path_key: the record may hold
  // thousands of entries, and every one is looked up.
  mutable std::unordered_multimap<std::string, size_t> index_;
  mutable size_t indexed_ = 0;  // how many entries of `files` index_ holds
  size_t find_file(const std::string& path) const;
};

// A text that two paths share whenever the system takes them for the same
// name (platform::same_name): the path itself, on Windows with its letters'
// case set aside.
std::string path_key(const std::string& path);

Record parse_record(const std::vector<std::string>& lines);
std::vector<std::string> record_lines(const Record& record);

// The record beside the settings file in `settings_folder`.
std::string record_path(const std::string& settings_folder);

// The record at `path`; nothing when there is none (or only the empty file
// a lock made before the first record was written). Throws
// std::runtime_error (Czech, UTF-8) when it cannot be read, is larger than
// kMaxRecordBytes, does not begin with the header, or might have been
// written by somebody else: a record owned by another user than the one the
// program runs as, or one that others may change (its permissions, or those
// of its folder), is never followed.
std::optional<Record> read_record(const std::string& path);
// Writes the record whole (platform::write_file_atomic), readable and
// writable by the user alone; throws on failure.
void write_record(const std::string& path, const Record& record);

// The lock under which the record at `record_file` is changed, held until
// the object goes. It is taken on what no write replaces: on the POSIX
// systems the folder that holds the record (flock), on Windows a mutex of
// the session named after the record (platform::FileLock). A process that
// holds it may take it again (while it records a file and writes it, its
// writes of the record take it once more). Without it (the folder cannot be
// opened, or another holder keeps it longer than `wait_ms`) the holder goes
// on as one writer alone would.
class RecordLock {
 public:
  explicit RecordLock(const std::string& record_file, uint32_t wait_ms = 5000);
  ~RecordLock();
  RecordLock(const RecordLock&) = delete;
  RecordLock& operator=(const RecordLock&) = delete;
  bool held() const { return held_; }

 private:
  std::string key_;
  bool held_ = false;
  std::unique_ptr<platform::FileLock> file_lock_;  // Windows
};

// Changes the record at `path` under its lock (RecordLock): the
// record is read again, `change` is applied to what is there now (nothing
// when there is no record yet), and the result is written, or the file
// removed when `change` returns false. Returns the record as written (empty
// when it was removed); throws std::runtime_error (Czech) when it cannot be
// read or written.
Record change_record(const std::string& path, const std::function<bool(Record&)>& change);

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

// Whether nothing is at the plain path `path` any more (its folder gone
// too, maybe).
bool is_gone(const std::string& path);

// The game folder of the record that the folder `folder` is (by identity),
// or an empty text when it is none.
std::string game_folder_at(const Record& record, const std::string& folder);

// Whether the file found in `entry` is the one `file` records. Never follows
// a link and never reads anything but a regular file; `why` (Czech) says why
// not. A shortcut counts only while it leads to its program in one of
// `game_folders`. A missing file is neither ours nor foreign: `gone` is set.
// (A registration is no file: see core/registration.h.)
bool is_recorded_file(const RecordedFile& file, platform::FolderEntry& entry,
                      const std::vector<platform::FolderIdentity>& game_folders, bool& gone,
                      std::string& why);

}  // namespace installer
