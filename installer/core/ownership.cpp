#include "installer/core/ownership.h"

#include "installer/core/install.h"
#include "platform/files.h"
#include "platform/folder_entries.h"
#include "platform/shell.h"
#include "shell/desktop_entry.h"
#include "shell/shell_folders.h"
#include "shell/shortcut.h"

namespace installer {

const std::vector<OwnedFile>& owned_files() {
  static const std::vector<OwnedFile> files = [] {
    std::vector<OwnedFile> f;
    f.reserve(std::size(kPayload) + 2 + 2 * std::size(kMenuShortcuts));
    // The payload as it is named in D; the uninstaller is copied but not
    // listed, as is the score file the game writes beside itself.
    for (const auto& p : kPayload)
      f.push_back({Place::GameFolder, p.target, Proof::Name, "", p.listed});
    f.push_back({Place::GameFolder, kScoreFileName, Proof::Name, "", false});
    f.push_back({Place::GameFolder, kGameLinkName, Proof::ShellLink, kGameProgram});
    for (const auto& s : kMenuShortcuts) {
      f.push_back({Place::ProgramFolder, s.link_name, Proof::ShellLink, s.program});
      if (s.on_desktop_too) f.push_back({Place::Desktop, s.link_name, Proof::ShellLink, s.program});
    }
    // The desktop entries beside the shortcuts and their icon are not listed
    // (the list names the shortcut files alone).
    if (shell::kDesktopEntries) {
      f.push_back({Place::GameFolder, kIconFileName, Proof::Name, "", false});
      for (const auto& s : kMenuShortcuts) {
        const std::string entry = shell::desktop_entry_name(s.link_name);
        f.push_back({Place::ProgramFolder, entry, Proof::DesktopEntry, s.program, false});
        if (s.on_desktop_too)
          f.push_back({Place::Desktop, entry, Proof::DesktopEntry, s.program, false});
      }
    }
    return f;
  }();
  return files;
}

const OwnedFile* owned_file(Place place, const std::string& name) {
  for (const auto& f : owned_files())
    if (f.place == place && platform::same_name(f.name, name)) return &f;
  return nullptr;
}

InstallPlaces InstallPlaces::current() {
  InstallPlaces places;
  places.desktop = shell::shell_folder("Desktop");
  auto without_separator = [](std::string folder) {
    while (folder.size() > 1 && folder.back() == platform::kPathSeparator) folder.pop_back();
    return folder;
  };
  const std::string start_menu = shell::shell_folder(platform::kStartMenu);
  const std::string programs = shell::shell_folder_path(platform::kPrograms);
  if (!start_menu.empty() && !programs.empty())
    places.program_folder = without_separator(shell::program_folder(programs, kProgramFolderName));
  if (!start_menu.empty()) {
    const std::string old =
        without_separator(shell::old_program_folder(start_menu, kProgramFolderName));
    if (!platform::same_name(old, places.program_folder)) places.old_program_folder = old;
  }
  return places;
}

bool proof_reads_content(Proof proof) { return proof != Proof::Name; }

std::string resolved_path(const std::string& path) { return platform::resolved_path(path); }

bool proves_ours(const OwnedFile& rule, const std::vector<uint8_t>& content,
                 const std::string& resolved_game_folder) {
  switch (rule.proof) {
    case Proof::Name: return true;
    case Proof::ShellLink: {
      // The installer points its shortcuts at D as it was given; the game
      // refreshes its own with its resolved program path. Both resolve to the
      // program in the game folder.
      const std::string target = platform::path_from_utf8(shell::read_shell_link_target(content));
      const std::string folder = shell::folder_part(target);
      if (!platform::is_absolute_path(folder) ||
          !platform::same_name(target.substr(folder.size()), rule.program))
        return false;
      return !resolved_game_folder.empty() &&
             platform::same_name(resolved_path(folder), resolved_game_folder);
    }
    case Proof::DesktopEntry: {
      // Both what it starts and where: an entry that starts our program
      // elsewhere, or another program here, is somebody else's.
      const auto launch = shell::read_desktop_entry_launch(
          std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
      const std::string folder = shell::folder_part(launch.program);
      if (folder.empty() || folder.front() != platform::kPathSeparator ||
          launch.program.substr(folder.size()) != rule.program || launch.folder.empty() ||
          launch.folder.front() != platform::kPathSeparator || resolved_game_folder.empty())
        return false;
      return resolved_path(folder) == resolved_game_folder &&
             resolved_path(launch.folder) == resolved_game_folder;
    }
  }
  return false;
}

}  // namespace installer
