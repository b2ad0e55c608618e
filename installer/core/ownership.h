#pragma once
// What an installation of the game writes, where, and how the uninstaller
// tells a file found at one of those names from somebody else's.
//
// To teach the uninstaller another file the installer writes, add its row to
// owned_files(). A new way of proving a file ours is a new Proof with its
// case in proves_ours(); a new folder is a new Place with its folder in
// InstallPlaces.
#include <cstdint>
#include <string>
#include <vector>

namespace installer {

// The folders an installation writes into.
enum class Place {
  GameFolder,     // the target folder D
  Desktop,        // the user's desktop
  ProgramFolder,  // the Start menu's program folder "ZARNIK", new or old place
};

// How a file found at an owned name is proved ours.
enum class Proof {
  // By its name and place alone: any regular file (the payload, the score
  // file). Their contents are the game's own data, there is nothing to check.
  Name,
  // A shortcut file whose target is `program` in the game folder.
  ShellLink,
  // A desktop entry that starts `program` in the game folder, in the game
  // folder.
  DesktopEntry,
};

struct OwnedFile {
  Place place;
  std::string name;
  Proof proof;
  std::string program;  // what a shortcut or desktop entry starts, in the game folder
  bool listed = true;   // false: removed even when no line of the settings file lists it
};

// Every file an installation of the game can write, but the settings file.
const std::vector<OwnedFile>& owned_files();

// The rule for the file `name` in `place`, or null when an installation never
// writes such a file there (names compare as the file system compares them).
const OwnedFile* owned_file(Place place, const std::string& name);

// The folders of the places other than the game folder, as found now (no
// trailing separator; empty when there is no such folder).
struct InstallPlaces {
  std::string desktop;
  std::string program_folder;
  // Where earlier installations on Windows made it ("Programy" under the
  // Start menu); empty where it is the same folder.
  std::string old_program_folder;

  // From the shell-folder lookup of the current user.
  static InstallPlaces current();
};

// The most a file is read to prove it ours (a shortcut is a few hundred bytes).
inline constexpr uint64_t kMaxProofBytes = uint64_t(1) << 20;

// Whether a rule's proof needs the file's content.
bool proof_reads_content(Proof proof);

// Whether `content`, read from a regular file found where `rule` allows one,
// is ours for an installation whose game folder resolves to
// `resolved_game_folder`.
bool proves_ours(const OwnedFile& rule, const std::vector<uint8_t>& content,
                 const std::string& resolved_game_folder);

// A path with ".", ".." and symbolic links resolved as far as it exists, the
// rest of it normalised ("" when it cannot be resolved at all); see
// platform::resolved_path.
std::string resolved_path(const std::string& path);

}  // namespace installer
