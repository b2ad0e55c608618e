#include "installer/core/ownership.h"

#include <filesystem>
#include <system_error>

#include "installer/core/install.h"
#include "platform/files.h"
#include "shell/shell_folders.h"
#include "shell/shortcut.h"

namespace installer {

namespace fs = std::filesystem;

const std::vector<OwnedFile>& owned_files() {
  static const std::vector<OwnedFile> files = [] {
    std::vector<OwnedFile> f;
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
    return f;
  }();
  return files;
}

const OwnedFile* owned_file(Place place, const std::string& name) {
  for (const auto& f : owned_files())
    if (f.place == place && f.name == name) return &f;
  return nullptr;
}

InstallPlaces InstallPlaces::current() {
  InstallPlaces places;
  places.desktop = shell::shell_folder("Desktop");
  const std::string start_menu = shell::shell_folder("Start Menu");
  if (!start_menu.empty()) {
    std::string folder = shell::program_folder(start_menu, kProgramFolderName);
    while (folder.size() > 1 && folder.back() == platform::kPathSeparator) folder.pop_back();
    places.program_folder = folder;
  }
  return places;
}

bool proof_reads_content(Proof proof) { return proof != Proof::Name; }

std::string resolved_path(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::path(path), ec);
  if (ec) return {};
  std::string s = p.string();
  while (s.size() > 1 && s.back() == platform::kPathSeparator) s.pop_back();
  return s;
}

bool proves_ours(const OwnedFile& rule, const std::vector<uint8_t>& content,
                 const std::string& resolved_game_folder) {
  switch (rule.proof) {
    case Proof::Name: return true;
    case Proof::ShellLink: {
      // The installer points its shortcuts at D as it was given; the game
      // refreshes its own with its resolved program path. Both resolve to the
      // program in the game folder.
      const std::string target = shell::read_shell_link_target(content);
      const std::string folder = shell::folder_part(target);
      if (folder.empty() || folder.front() != platform::kPathSeparator ||
          target.substr(folder.size()) != rule.program)
        return false;
      return !resolved_game_folder.empty() && resolved_path(folder) == resolved_game_folder;
    }
  }
  return false;
}

}  // namespace installer
