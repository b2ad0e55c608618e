# The test programs under Wine: zarnik_add_windows_test(NAME) registers the
# program as one CTest test, run through the cross-compiling emulator (wine),
# with the tests named in ZARNIK_WINDOWS_SKIP_<NAME> left out. Each name left
# out says why it cannot mean anything on Windows.
function(zarnik_add_windows_test name)
  target_compile_options(${name} PRIVATE -include ${CMAKE_SOURCE_DIR}/tests/win32/posix_compat.h)
  set(args)
  if(ZARNIK_WINDOWS_SKIP_${name})
    list(JOIN ZARNIK_WINDOWS_SKIP_${name} ":" skipped)
    set(args "--gtest_filter=-${skipped}")
  endif()
  add_test(NAME ${name} COMMAND ${name} ${args})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900)
endfunction()

# Where the Linux build keeps the settings file: the XDG variables. On
# Windows it is the Windows directory (tests/win32/shell_test.cpp checks it).
set(ZARNIK_WINDOWS_SKIP_platform_tests Files.SettingsDirectoryFollowsXdgConfigHome)

# The shortcut and shell-folder rules written with POSIX paths ("/opt/zarnik/")
# and the XDG desktop and applications folders. On Windows the separator is
# a backslash and the folders come from the registry; tests/win32/shell_test.cpp
# checks the same rules there with Windows paths, the shell's own shortcuts
# and the registry's folders.
set(ZARNIK_WINDOWS_SKIP_shell_tests
    FolderPart.KeepsTheTrailingSeparatorAndIsEmptyWithoutOne
    LinkPath.GameJoinsAndInstallerAddsASeparator
    ShellLink.SecondSaveOverwritesAndFailedSaveLeavesNothing
    ShellFolders.DesktopComesFromUserDirsElseHomeDesktop
    Ikona.ListsDesktopThenProgramFolderAndCreatesTheProgramFolder
    Ikona.ShellFoldersThatCannotBeFoundAreListedAndReportedButWriteNothing)

# The installation procedure's tests install into a home folder laid out the
# XDG way and compare the paths written with "/" joined by hand; the Windows
# installer brings tests of its own with Windows folders. Those that do not
# depend on that run here (missing parents, a target that cannot be made, a
# reinstall, failures named and undone, a refusal, the record's own
# checks). The tests that plant symbolic links cannot run under Wine, which
# makes none (CreateSymbolicLinkW reports success and writes nothing, a
# junction is refused as not supported), and the record's parser is given
# POSIX paths; tests/win32/uninstaller_test.cpp checks the same rules with
# Windows paths, the shell's shortcuts, planted files and the decoys Wine
# can make, and tries a junction where the system can make one.
set(ZARNIK_WINDOWS_SKIP_installer_core_tests
    UninstallTest.RemovesEverythingItMadeAndTheFoldersItMadeButNothingElse
    UninstallTest.TheScoresAreKeptByDefaultAndNamedAndALaterRoundTakesThemUp
    UninstallTest.FilesChangedSinceTheInstallationAndTheUsersOwnStay
    UninstallTest.TheSixDecoysLoseNothing
    UninstallTest.AnInstallationThroughALinkedParentIsRemovedWhole
    UninstallTest.AFileOrFolderChangedAfterThePlanIsNotRemoved
    Record.ReadsBackWhatItWritesAndSetsAsideWhatBreaksItsRules
    InstallTest.SettingsFileListsEverythingWithDesktopShortcut
    InstallTest.AnsweringNoLeavesTheDesktopAloneAndSixteenLines
    InstallTest.AFolderWithALineBreakRefusesTheInstallationAndWritesNothing
    ChosenFolder.RootGetsTheNameDirectlyAnyOtherFolderASeparator
    DefaultTarget.IsTheUsersProgramFolder)

# A folder name with a line break cannot exist on Windows, and Wine makes no
# symbolic links to plant beside the files (tests/platform/files_test.cpp
# covers the exclusive temporary files there).
set(ZARNIK_WINDOWS_SKIP_game_front_tests
    Lifecycle.AGameFolderWithLineBreaksAddsNoLinesToTheSettings
    Lifecycle.WhatIsPlantedBesideTheFilesIsNeitherInTheWayNorWrittenThrough)
