#pragma once
// Desktop entries (freedesktop ".desktop" files): what Linux desktops show
// in their menus and on the desktop, and start when clicked. The installer
// writes one beside each shortcut file it makes there, since no Linux
// desktop opens shortcut files.
#include <string>
#include <string_view>

namespace shell {

// Whether this system's desktops read desktop entries: the installer writes
// them only then.
#if defined(__linux__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__NetBSD__)
inline constexpr bool kDesktopEntries = true;
#else
inline constexpr bool kDesktopEntries = false;
#endif

// A launcher of one program, started without arguments in a given folder.
struct DesktopEntry {
  std::string name;        // Name
  std::string name_cs;     // Name[cs]; empty: none
  std::string comment;     // Comment
  std::string comment_cs;  // Comment[cs]; empty: none
  std::string program;     // the absolute path that Exec starts
  std::string folder;      // Path: the folder it starts in
  std::string icon;        // Icon: an absolute path or a theme's icon name
  std::string categories;  // Categories, e.g. "Game;ArcadeGame;"
  std::string wm_class;    // StartupWMClass: the class of the program's window; empty: none
};

// The file name of the entry that goes beside the shortcut file `link_name`:
// its ".lnk" replaced by ".desktop".
std::string desktop_entry_name(const std::string& link_name);

// The entry's text (UTF-8, LF line ends), or an empty string when one of its
// paths or texts cannot be written into an entry: a byte that is not UTF-8,
// a control character, or (in the program path) a '%', which desktops built
// on GLib would read as part of the program's name and then hide the entry.
std::string desktop_entry_text(const DesktopEntry& entry);

// What an entry's text starts: the program of its Exec line and the folder
// of its Path key, with the entry's escapes and quoting undone as a desktop
// reads them. Only the [Desktop Entry] group counts; what is missing or
// cannot be read is left empty.
struct DesktopEntryLaunch {
  std::string program;
  std::string folder;
};
DesktopEntryLaunch read_desktop_entry_launch(std::string_view text);

// Writes the entry at `path` whole, replacing an earlier file (see
// platform::write_file_atomic). `executable` gives the file the executable
// bits (less the umask), which desktops want of a launcher on the desktop
// before they start it. False when it cannot be written or its text cannot
// be made; nothing is then left behind.
bool save_desktop_entry(const std::string& path, const DesktopEntry& entry, bool executable);

// Marks the entry at `path` as trusted for desktops that keep that in the
// file's metadata (GNOME's desktop icons ask for metadata::trusted): runs
// "gio set PATH metadata::trusted true" when gio is on PATH and a session bus
// is known (DBUS_SESSION_BUS_ADDRESS, or a bus in XDG_RUNTIME_DIR), and gives
// it a few seconds. Returns whether gio reported success; without gio or a
// session there is no such metadata to set, and nothing is started.
bool mark_trusted(const std::string& path);

}  // namespace shell
