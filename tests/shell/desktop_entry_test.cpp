#include "shell/desktop_entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "shell/shell_folders.h"
#include "shell/shortcut.h"
#include "tests/shell/run_program.h"
#include "tests/shell/temp_home.h"

namespace {

namespace fs = std::filesystem;
using testing_home::ScopedEnv;
using testing_home::TempHome;
using testing_run::run_program;

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

shell::DesktopEntry entry_in(const std::string& folder) {
  shell::DesktopEntry e;
  e.name = "Zarnik";
  e.comment = "A 2D arcade space shooter";
  e.comment_cs = "Arkádová vesmírná střílečka";
  e.program = folder + "/zarnik.exe";
  e.folder = folder;
  e.icon = folder + "/zarnik.png";
  e.categories = "Game;ArcadeGame;";
  e.wm_class = "zarnik";
  return e;
}

// Folder names a player may choose, with everything an entry must escape or
// quote: spaces (also at the ends), quotes, shell characters, backslashes,
// the entries' own syntax, and letters beyond ASCII.
const char* const kAwkwardFolders[] = {
    "/home/hráč/Moje hry/zarnik",
    "/home/u/ lead and trail /zarnik",
    "/home/u/a\"b'c/zarnik",
    "/home/u/$HOME `id` $(id)/zarnik",
    "/home/u/back\\slash\\\\twice\\s/zarnik",
    "/home/u/semi;colon=equals#hash[group]/zarnik",
    "/home/u/&|<>*?()~!/zarnik",
};

TEST(DesktopEntry, AwkwardFoldersReadBackAsWrittenAndPassTheValidator) {
  TempHome home;
  const bool validate = testing_run::on_path("desktop-file-validate");
  for (const char* folder : kAwkwardFolders) {
    const auto e = entry_in(folder);
    const std::string text = shell::desktop_entry_text(e);
    ASSERT_FALSE(text.empty()) << folder;
    const auto launch = shell::read_desktop_entry_launch(text);
    EXPECT_EQ(launch.program, e.program) << text;
    EXPECT_EQ(launch.folder, e.folder) << text;
    if (validate) {
      const std::string path = home / "Zarnik.desktop";
      std::ofstream(path) << text;
      EXPECT_EQ(testing_run::desktop_file_complaints(path), "") << text;
    }
  }
  if (!validate) GTEST_SKIP() << "desktop-file-validate is not installed";
}

// What a desktop built on GLib does with the entry: `gio launch` starts its
// program in its folder, however the folder is named.
TEST(DesktopEntry, ADesktopStartsTheProgramInItsFolder) {
  REQUIRE_TOOL("gio");
  TempHome home;
  const std::string folder = home / "Moje \"hry\" $x `y` back\\slash/zarnik";
  fs::create_directories(folder);
  const std::string record = home / "started";
  std::ofstream(folder + "/zarnik.exe")
      << "#!/bin/sh\n{ pwd; printf '%s\\n' \"$0\"; } > '" << record << "'\n";
  fs::permissions(folder + "/zarnik.exe", fs::perms::owner_all);
  const std::string path = home / "Zarnik.desktop";
  std::ofstream(path) << shell::desktop_entry_text(entry_in(folder));
  // A bus that is not there: no session bus may be started for the test.
  const auto r = run_program({"gio", "launch", path},
                             {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}});
  ASSERT_EQ(r.status, 0) << r.output;
  for (int i = 0; i < 200 && read_all(record).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_EQ(read_all(record), folder + "\n" + folder + "/zarnik.exe\n");
}

TEST(DesktopEntry, TextsThatAnEntryCannotHoldMakeNoEntry) {
  TempHome home;
  for (const std::string& folder : std::vector<std::string>{
           "/home/u/100%/zarnik", "/home/u/tab\there/zarnik", std::string("/home/u/esc\x1b/zarnik"),
           std::string("/home/u/bad\xff/zarnik"), std::string("/home/u/overlong\xc0\xaf/zarnik"),
           std::string("/home/u/surrogate\xed\xa0\x80/zarnik"),
           std::string("/home/u/c1\xc2\x85/zarnik"), std::string("/home/u/cut\xc4")}) {
    EXPECT_EQ(shell::desktop_entry_text(entry_in(folder)), "") << folder;
    EXPECT_FALSE(shell::save_desktop_entry(home / "x.desktop", entry_in(folder), false));
  }
  EXPECT_FALSE(fs::exists(home / "x.desktop"));
  // A '%' may stand in the folder the program starts in, not in its path.
  auto e = entry_in("/home/u/zarnik");
  e.folder = "/home/u/100%";
  EXPECT_NE(shell::desktop_entry_text(e), "");
}

TEST(DesktopEntry, ReadingTakesOnlyTheMainGroupAndGivesUpOnBrokenValues) {
  using shell::read_desktop_entry_launch;
  const auto a = read_desktop_entry_launch(
      "# comment\r\n[Other]\r\nExec=/other/prog\r\nPath=/other\r\n[Desktop Entry]\r\n"
      "Exec = /opt/zarnik/zarnik.exe --fullscreen %f\r\nPath = /opt/zarnik\r\n"
      "Exec=/second/prog\r\n[Desktop Action new]\r\nPath=/action\r\n");
  EXPECT_EQ(a.program, "/opt/zarnik/zarnik.exe");
  EXPECT_EQ(a.folder, "/opt/zarnik");
  // No group, an unclosed quote, an unknown escape, a field code in the
  // program: nothing is read.
  EXPECT_EQ(read_desktop_entry_launch("Exec=/a/b\nPath=/a\n").program, "");
  EXPECT_EQ(read_desktop_entry_launch("[Desktop Entry]\nExec=\"/a b/c\n").program, "");
  EXPECT_EQ(read_desktop_entry_launch("[Desktop Entry]\nExec=\"/a\\\\x/c\"\n").program, "");
  EXPECT_EQ(read_desktop_entry_launch("[Desktop Entry]\nPath=/a\\qb\n").folder, "");
  EXPECT_EQ(read_desktop_entry_launch("[Desktop Entry]\nExec=/a/%f\n").program, "");
  EXPECT_EQ(read_desktop_entry_launch("[Desktop Entry]\nExec=/a/b\\\\c\n").program, "");
  EXPECT_EQ(read_desktop_entry_launch("[Desktop Entry]\nExec=   \n").program, "");
  EXPECT_EQ(read_desktop_entry_launch(std::string_view("[Desktop Entry]\nExec=\"", 23)).program,
            "");
}

// A stand-in gio on PATH that records its arguments and ends with `status`.
struct FakeGio {
  TempHome& home;
  std::string bin = home.mkdir("bin");
  std::string log = home / "gio.log";
  FakeGio(TempHome& h, int status) : home(h) {
    std::ofstream(bin + "/gio") << "#!/bin/sh\necho \"$@\" >> '" << log << "'\nexit " << status
                                << "\n";
    fs::permissions(bin + "/gio", fs::perms::owner_all);
  }
};

TEST(DesktopEntry, TrustIsMarkedWithGioOnlyInASession) {
  TempHome home;
  FakeGio gio(home, 0);
  const std::string path = home / "Zarnik.desktop";
  {
    ScopedEnv env{{"PATH", gio.bin + ":/usr/bin:/bin"},
                  {"DBUS_SESSION_BUS_ADDRESS", ""},
                  {"XDG_RUNTIME_DIR", home.path()}};
    EXPECT_FALSE(shell::mark_trusted(path)) << "no session bus: nothing to ask";
    EXPECT_FALSE(fs::exists(gio.log));
  }
  {
    ScopedEnv env{{"PATH", gio.bin + ":/usr/bin:/bin"},
                  {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}};
    EXPECT_TRUE(shell::mark_trusted(path));
    EXPECT_EQ(read_all(gio.log), "set " + path + " metadata::trusted true\n");
  }
  {
    FakeGio failing(home, 1);
    ScopedEnv env{{"PATH", failing.bin + ":/usr/bin:/bin"},
                  {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}};
    EXPECT_FALSE(shell::mark_trusted(path));
  }
  {
    ScopedEnv env{{"PATH", home.mkdir("empty")},
                  {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}};
    EXPECT_FALSE(shell::mark_trusted(path)) << "no gio";
  }
}

// On a fresh account neither the applications folder nor the desktop exist:
// the shortcut routine makes both and puts the entry beside each shortcut,
// the desktop's one executable and marked trusted, and lists only the
// shortcut files.
TEST(DesktopEntry, TheShortcutRoutineMakesTheFoldersAndPutsAnEntryBesideEachShortcut) {
  TempHome home;
  FakeGio gio(home, 0);
  ScopedEnv env{{"PATH", gio.bin + ":/usr/bin:/bin"},
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}};
  ASSERT_EQ(shell::shell_folder("Start Menu"), "");
  ASSERT_EQ(shell::shell_folder("Desktop"), "");
  const auto e = entry_in(home / "Hry/zarnik");
  std::vector<std::string> written;
  const auto failed =
      shell::ikona(e.program, "ZARNIK", "Zarnik.lnk", /*on_desktop=*/true, written, &e);
  EXPECT_TRUE(failed.empty());
  const std::string programs = home / ".local/share/applications/Programy/ZARNIK";
  EXPECT_EQ(written,
            (std::vector<std::string>{home / "Desktop/Zarnik.lnk", programs + "/Zarnik.lnk"}));
  for (const std::string& folder : {home / "Desktop", programs}) {
    EXPECT_TRUE(fs::is_regular_file(folder + "/Zarnik.lnk")) << folder;
    EXPECT_EQ(read_all(folder + "/Zarnik.desktop"), shell::desktop_entry_text(e)) << folder;
  }
  EXPECT_NE(fs::status(home / "Desktop/Zarnik.desktop").permissions() & fs::perms::owner_exec,
            fs::perms::none);
  EXPECT_EQ(fs::status(programs + "/Zarnik.desktop").permissions() & fs::perms::owner_exec,
            fs::perms::none);
  EXPECT_EQ(read_all(gio.log),
            "set " + (home / "Desktop/Zarnik.desktop") + " metadata::trusted true\n");
  // Without an entry the routine writes the shortcuts alone.
  written.clear();
  EXPECT_TRUE(shell::ikona(e.program, "ZARNIK", "setup.lnk", false, written).empty());
  EXPECT_FALSE(fs::exists(programs + "/setup.desktop"));
}

}  // namespace
