#pragma once
// Shortcut files (".lnk" in the Shell Link binary format) and the shell
// folders the installer places its shortcuts in.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/desktop_entry.h"

namespace shell {

// The folder part of a path, with its trailing separator; empty when the path
// has no separator at all.
std::string folder_part(const std::string& path);

// The bytes of a shortcut file whose target is `target` (stored as a local
// base path) and whose working directory is `working_directory` (left out
// when empty). Paths are UTF-8; the file carries them as UTF-16 and, for the
// base path, also as 8-bit Windows-1250 text.
std::vector<uint8_t> encode_shell_link(const std::string& target,
                                       const std::string& working_directory);

// The target of a shortcut file's bytes: the local base path of its link
// information (the UTF-16 form when it has one, else the 8-bit form followed
// by its common path suffix: on Windows in the system's code page, elsewhere
// Windows-1250), as UTF-8. Empty when the bytes
// are not a shortcut file with a local target. Reads only inside `bytes`.
std::string read_shell_link_target(const std::vector<uint8_t>& bytes);

// Writes a shortcut file at `link_path` whole, replacing any earlier file.
// Returns false when it cannot be written (nothing is then left behind).
// Where the platform has a shell of its own (platform::Shell, on Windows the
// shell's shortcut object), it writes the file.
bool save_shell_link(const std::string& link_path, const std::string& target,
                     const std::string& working_directory);

// How make_shortcut joins the directory and the link name.
enum class LinkPath {
  Joined,         // directory + link name: the directory already ends in a separator
  WithSeparator,  // directory + separator + link name (a doubled separator is harmless)
};

// The path make_shortcut writes to.
std::string link_path(const std::string& directory, const std::string& link_name, LinkPath rule);

// Writes a shortcut to `target` whose working directory is the target's
// folder (with its trailing separator). The game refreshes its own shortcut
// with the Joined rule, the installer uses WithSeparator. Returns false when
// the file could not be written; the game ignores that.
bool make_shortcut(const std::string& target, const std::string& directory,
                   const std::string& link_name, LinkPath rule = LinkPath::Joined);

// The folder that holds the installer's shortcuts: the folder name and a
// separator after the path of the shell folder "Programs" (shell_folders.h:
// on Windows the Start menu's own folder of programs, which the Start menu
// lists; elsewhere "Programy" in the Start menu).
std::string program_folder(const std::string& programs, const std::string& folder_name);

// Where earlier installations on Windows put that folder: "Programy" and the
// folder name under the Start menu, each with a separator after it. The
// Start menu of Windows lists nothing there; the uninstaller still looks.
std::string old_program_folder(const std::string& start_menu, const std::string& folder_name);

// What the installer's shortcut routine lets its caller decide around each
// folder and file it makes, so that an installer can record what it makes
// before it makes it and refuse to touch what is not its own.
class IkonaGuard {
 public:
  virtual ~IkonaGuard() = default;
  // Readies `folder`, which is the shell folder `shell_folder` or lies below
  // it, making what is missing of it; false when nothing may go into it.
  // For the program folder `shell_folder` is the Start menu where the folder
  // of programs lies in it, else the folder of programs.
  virtual bool ready_folder(const std::string& shell_folder, const std::string& folder) = 0;
  // Just before the shortcut to `target` is written at `path`; false leaves
  // it unwritten.
  virtual bool before_shortcut(const std::string& path, const std::string& target) = 0;
  // Just before a desktop entry of the text `text` is written at `path`;
  // false leaves it unwritten.
  virtual bool before_entry(const std::string& path, const std::string& text) = 0;
  // After the shortcut or entry at `path` was written, or was not.
  virtual void after_write(const std::string& path) { (void)path; }
};

// The installer's shortcut routine: one shortcut to `target` (working
// directory as in make_shortcut) saved on the desktop when `on_desktop`, and
// always in the program folder `folder_name`. Every path it saves to is
// appended to `written`, also when the save fails. Returns the paths that
// could not be written, in the order tried.
//
// The desktop and the Start menu's folder of programs are created when they
// do not exist yet (a fresh account has neither), and so is the program
// folder in it. A shell folder that cannot be found or made writes
// nothing: its path would otherwise land in the file system's root.
//
// Where desktops read desktop entries (kDesktopEntries), `entry`, when
// given, is also saved beside each shortcut under desktop_entry_name(
// link_name): on the desktop executable and marked trusted. These files are
// not appended to `written`; one that cannot be saved is among the returned
// paths.
//
// With a `guard`, the folders are readied by it instead (a folder it
// refuses gets nothing, and its shortcut is among the returned paths), and
// it sees every file before it is written.
std::vector<std::string> ikona(const std::string& target, const std::string& folder_name,
                               const std::string& link_name, bool on_desktop,
                               std::vector<std::string>& written,
                               const DesktopEntry* entry = nullptr, IkonaGuard* guard = nullptr);

}  // namespace shell
