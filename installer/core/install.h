#pragma once
// The installation procedure, free of any window: the window supplies the
// progress bar, the desktop question and the error boxes through InstallUi.
#include <array>
#include <string>
#include <vector>

#include "game/game_files.h"

namespace installer {

// One file of the payload: its name in the source folder, its name in the
// target folder, and whether its target path goes into the written-files list.
struct PayloadFile {
  const char* source;
  const char* target;
  bool listed;
};

// In the order they are copied; the uninstaller comes last and is not listed
// (only its Start-menu shortcut is).
inline constexpr std::array<PayloadFile, 9> kPayload{{
    {"hra.xxx", "zarnik.exe", true},
    {game::kGamePicturesFile, game::kGamePicturesFile, true},
    {game::kMenuPicturesFile, game::kMenuPicturesFile, true},
    {game::kMenuMusicFile, game::kMenuMusicFile, true},
    {game::kGameMusicFile, game::kGameMusicFile, true},
    {game::kSoundsFile, game::kSoundsFile, true},
    {game::kHelpPage, game::kHelpPage, true},  // the help page the game's menu opens
    {"setup.xxx", "setup.exe", true},
    {"uninstall.exe", "uninstall.exe", false},
}};

// The Start-menu program folder that holds the installer's shortcuts.
inline constexpr const char* kProgramFolderName = "ZARNIK";

// The name of every folder the game is installed into (the chooser and the
// default both end in it).
inline constexpr const char* kGameFolderName = "zarnik";

// The game program in the target folder, its shortcut beside it (which the
// game also refreshes at every close) and the score file the game writes
// there.
inline constexpr const char* kGameProgram = "zarnik.exe";
inline constexpr const char* kGameLinkName = game::kGameShortcut;
inline constexpr const char* kScoreFileName = game::kScoreFile;

// The shortcuts the installer makes in the Start-menu program folder, in the
// order it makes them: the program in the target folder they point at, their
// name, and whether the same shortcut may also go on the desktop. Where
// desktops read desktop entries (shell/desktop_entry.h), an entry goes
// beside each shortcut file, named as desktop_entry_name(link_name) gives
// it, with the title and comment below in English and Czech (an empty Czech
// text is the English one).
struct MenuShortcut {
  const char* program;
  const char* link_name;
  bool on_desktop_too;
  const char* title;
  const char* title_cs;
  const char* comment;
  const char* comment_cs;
};
inline constexpr std::array<MenuShortcut, 3> kMenuShortcuts{{
    {"uninstall.exe", "uninstall.lnk", false, "Uninstall Zarnik", "Odinstalovat Zarnik",
     "Removes the game Zarnik", "Odebere hru Zarnik"},
    {"zarnik.exe", "Zarnik.lnk", true, "Zarnik", "", "A 2D arcade space shooter",
     "Arkádová vesmírná střílečka"},
    {"setup.exe", "setup.lnk", false, "Zarnik Setup", "Instalace hry Zarnik",
     "Installs the game Zarnik", "Nainstaluje hru Zarnik"},
}};

// The icon the desktop entries show, written into the target folder from the
// icon compiled into the installer (the payload has no icon file). Only
// where desktops read desktop entries.
inline constexpr const char* kIconFileName = "zarnik.png";

// The class of the game's window, which the game's desktop entries name so
// that desktops match the window to them.
inline constexpr const char* kGameWindowClass = "zarnik";

// Each step of the installation moves the progress bar this far, up to its
// end at 100 (thirteen steps with the help page's copy: the last one fills
// the bar).
inline constexpr int kProgressStep = 8;
inline constexpr int kProgressEnd = 100;

// The folder the installer was started in, with a trailing separator.
std::string source_folder();

// The folder offered before the user chooses one: the user's program folder
// ($XDG_DATA_HOME when it is an absolute path, else ~/.local/share) +
// "zarnik".
std::string default_target_folder();

// The target folder for a folder picked in the chooser: a root (ending in a
// separator) gets "zarnik" appended directly, any other folder a separator
// and "zarnik".
std::string target_for_chosen_folder(const std::string& chosen);

// The folder offered on Windows: "C:\Program Files\zarnik" when the
// installer may write there (it runs elevated), else the user's own program
// folder `local_app_data` + "\Programs\zarnik", which needs no rights; with
// neither known, the program folder is offered anyway.
std::string windows_default_target(bool elevated, const std::string& local_app_data);

// What the installation asks of its window.
class InstallUi {
 public:
  virtual ~InstallUi() = default;
  virtual void set_progress(int position) = 0;
  // "Zobrazit ikonu na ploše": true when the user wants a desktop shortcut.
  virtual bool ask_desktop_shortcut() = 0;
  // A modal error box (UTF-8 text); the installation goes on afterwards.
  virtual void show_error(const std::string& text) = 0;
};

// Why nothing can be installed into `target` with the settings file in
// `windows_dir`, or an empty string when it can; checked before anything is
// written, so that the user may choose another folder. The text (Czech,
// UTF-8) names the folder or the files and says why:
//  - a folder the settings file would list (the target, the settings folder,
//    the desktop or the Start menu's folder of programs) holds a line break,
//    which would add lines to it, or a character the system's code page, in
//    which the file lists the paths, cannot spell;
//  - the target or the settings folder is no absolute path without "." and
//    ".." in it, or is too long for the system with the names written in it;
//  - the target is a link (a reparse point) or no folder;
//  - the installations' record is there but cannot be read;
//  - the target holds a file, a folder or a link at a name the installation
//    writes that no recorded installation wrote.
std::string installation_refusal(const std::string& target, const std::string& windows_dir);

// The same for one folder, named `what` in the text ("Cílový adresář"): a
// line break in its path, or characters the settings file's code page
// cannot spell (an "ř" on a Western Windows; the text names them). Empty
// when the game can be installed into or through it.
std::string folder_refusal(const std::string& what, const std::string& path);

// What "Nový adresář" in the folder chooser made of the text typed into its
// field: the folder selected there (`path`, nothing when the text was
// empty), the folders it had to make for it, parents first, and why it
// could not be made (Czech, UTF-8; then nothing more was made).
struct NewFolder {
  std::string path;
  std::vector<std::string> made;
  std::string refusal;
};

// Makes the folder named in the new-folder field: a full path, or a name
// (or several, nested: "Hry a zábava/Žárník") inside the folder `selected`
// in the chooser, never in the folder the installer runs in; every folder
// on the way that is missing is made. A folder the game could not be
// installed into (folder_refusal), an empty, "." or ".." name in the path,
// or a file in the way refuses it, saying why.
NewFolder make_new_folder(const std::string& selected, const std::string& typed);

// The text the new-folder field starts with: the selected folder ending in
// a separator, so that a name typed after it is a folder inside it.
std::string new_folder_field(const std::string& selected);

struct InstallReport {
  // Set when the installation was refused before it began (see
  // installation_refusal); nothing was then written.
  std::string refusal;
  // Set when the installation failed and was undone: the game folder or a
  // payload file could not be made, or the record could not be kept.
  bool failed = false;
  // What failed, one Czech sentence fragment each (UTF-8), in the order met.
  std::vector<std::string> failures;
  // What a failed installation could not take away again (it stays in the
  // record, so the uninstaller removes it).
  std::vector<std::string> left_behind;
  // The lines saved (or meant to be saved) as the settings file.
  std::vector<std::string> settings_lines;
  bool settings_written = false;

  // "INSTALACE JE HOTOVA" when nothing failed; the refusal when there is
  // one; "INSTALACE SE NEZDAŘILA" with every failure when it failed;
  // otherwise a message that says the installation is incomplete and names
  // every failure.
  std::string final_message() const;

  // What a window shows once install() has returned: final_message(), or
  // nothing after a refusal, which install() has shown as an error already.
  std::string closing_message() const { return refusal.empty() ? final_message() : std::string(); }
};

// Installs from `source` (ends in a separator) into `target` (no trailing
// separator) and writes the settings file into `windows_dir`, keeping the
// installations' record (core/record.h) beside it from before the first
// folder is made: every folder and file goes into the record just before it
// is made, so an installation cut off at any point can be uninstalled whole.
//  - creates the target folder with its parents;
//  - lists "800", "600", an empty player name and the target's zarnik.lnk;
//  - copies the payload in table order, each file whole, replacing an
//    earlier copy of this game, listing each listed target;
//  - where desktops read desktop entries, writes the game's icon into the
//    target folder (not listed);
//  - makes the uninstaller's Start-menu shortcut, the target's zarnik.lnk,
//    the game's desktop (if the user agrees) and Start-menu shortcuts and
//    the setup shortcut, creating the desktop and Start-menu folders when
//    they do not exist yet, each with its desktop entry beside it where
//    desktops read them (not listed: the list names exactly the shortcut
//    files); a shortcut folder that is a link, or a file at a shortcut's name
//    that no installation of this game wrote, is left alone and named among
//    the failures;
//  - lists the settings file itself and saves the list with CR LF line ends.
// When the target folder or a payload file cannot be made, or the record
// cannot be kept, the installation stops there: no shortcut, no desktop
// question, no settings file; what it made is taken away again and the
// report says it failed. Shortcut and settings-file failures are shown
// through ui.show_error as they happen; every failure ends up in the report.
// A refused installation (see installation_refusal) shows its reason and
// writes nothing.
// Folders that the chooser's "Nový adresář" made on the way to `target`
// (`made_by_chooser`) are recorded as made by the installation, so that the
// uninstallation takes them away when they are left empty. Where the system
// keeps a list of installed programs (core/registration.h), the game is
// entered there after its shortcuts, recorded like every file.
InstallReport install(const std::string& source, const std::string& target,
                      const std::string& windows_dir, InstallUi& ui,
                      const std::vector<std::string>& made_by_chooser = {});

// The folder the installer offers first: the game folder of the latest
// installation the record beside the settings file in `windows_dir` holds
// (re-running setup finds it), else `fallback`.
std::string offered_target(const std::string& windows_dir, const std::string& fallback);

}  // namespace installer
