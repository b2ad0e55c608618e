#pragma once
// The files a game folder holds beside the program: the data files the game
// reads or opens (its two picture containers, its sounds, its two pieces of
// music, its help page), the score table it writes, and its own shortcut.
// The game, the installer's payload, the data generator, the harness and the tools take
// the names from here; the build lists the data files once more in
// ZARNIK_DATA_NAMES (CMakeLists.txt), which the data generator's tests hold
// against this list.
namespace game {

inline constexpr const char* kGamePicturesFile = "obrazky.xxx";
inline constexpr const char* kMenuPicturesFile = "menu.xxx";
inline constexpr const char* kSoundsFile = "zvuk.xxx";
inline constexpr const char* kMenuMusicFile = "menu.mid";
inline constexpr const char* kGameMusicFile = "hra.mid";
// The help page the menu's help line opens; written by hand, not generated.
inline constexpr const char* kHelpPage = "napoveda.html";

// Every data file, in the installer's copying order.
inline constexpr const char* kDataFiles[] = {kGamePicturesFile, kMenuPicturesFile, kMenuMusicFile,
                                             kGameMusicFile,    kSoundsFile,       kHelpPage};

inline constexpr const char* kScoreFile = "data.dat";
inline constexpr const char* kGameShortcut = "zarnik.lnk";

}  // namespace game
