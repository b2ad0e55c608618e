# The libraries' tests in WebAssembly (scripts/test-wasm.sh): which folders
# of tests/ build there, and for each program the tests it leaves out, each
# with the reason it cannot mean anything there. Everything else runs as it
# does on Linux: Node gives the programs the host's file system.
#
# Not built there at all (their folders say so): the game's POSIX faults
# (bombs_test.cpp, faults_test.cpp: pipes, devices, a file size limit, a
# killed process) and the memory budget's resident sizes (budget_test.cpp).
set(ZARNIK_WASM_TEST_FOLDERS platform media shell game)

# WebAssembly here runs one thread and starts no processes; Node's file
# system (Emscripten's NODERAWFS) makes no named pipes or devices and
# neither sets nor reports a file's permission bits and owner.
set(WASM_SKIP_platform_tests
    # a named pipe and a device to refuse
    Files.ReadRefusesPipesDevicesFoldersAndFilesAboveTheLimit
    # permission bits of a replaced file and a copy
    Files.AReplacedFileKeepsItsPermissionsACopyTakesTheSourcesOwn
    # a child process of another group writes the file
    Files.AReplacedFileKeepsItsGroupWhereTheWriterMayGiveIt
    # the temporary of an ended process (forked and waited for)
    Files.AbandonedTemporariesAreRemovedByTheNextWrite
    # a second holder on another thread
    FileLocks.ASecondHolderWaitsAndThenLocksTheFileAtThePath
    # the audio thread beside the game's
    MixerTest.AudioThreadMixesWhileTheGameChangesBuffers
    # the silent output's pacing thread
    SoundOutput.WithoutADevicePlayedSoundsRunTheirLengthAndEnd)
set(WASM_SKIP_shell_tests
    # the shortcut read back by lnkinfo, another program
    ShellLink.IndependentReaderSeesTargetAndWorkingDirectory
    ShellLink.TargetWithoutSeparatorHasNoWorkingDirectory
    # the entries' execute bits, and gio run to mark them trusted
    DesktopEntry.TheShortcutRoutineMakesTheFoldersAndPutsAnEntryBesideEachShortcut
    DesktopEntry.TrustIsMarkedWithGioOnlyInASession)
