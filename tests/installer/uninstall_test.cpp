#include "installer/core/uninstall.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <set>

#include "installer/core/install.h"
#include "payload.h"
#include "platform/files.h"
#include "shell/desktop_entry.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"
#include "tests/shell/temp_home.h"

namespace {

namespace fs = std::filesystem;
using namespace installer_test;
using testing_home::TempHome;
using Lines = std::vector<std::string>;

struct QuietUi : installer::InstallUi {
  void set_progress(int) override {}
  bool ask_desktop_shortcut() override { return true; }
  void show_error(const std::string&) override {}
};

// Every file and folder under `root`, relative to it, with links as links.
std::set<std::string> tree(const std::string& root) {
  std::set<std::string> out;
  for (auto& e : fs::recursive_directory_iterator(root))
    out.insert(fs::relative(e.path(), root).generic_string());
  return out;
}

void write(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
}

// A pid that no process has: a child that has already ended; on Windows an
// id far above those the system hands out.
long ended_pid() {
#ifdef _WIN32
  return 0x7ffffff0;
#else
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
#endif
}

// An installation into a throw-away home, with the desktop and the Start
// menu where the shell-folder lookup finds them.
struct UninstallTest : ::testing::Test {
  TempHome home;
  std::string desktop = home.mkdir("Desktop");
  std::string menu = home.mkdir(".local/share/applications");
  std::string programs = menu + "/Programy/ZARNIK";
  std::string config = home.mkdir(".config");
  std::string settings = config + "/zarnik.ini";
  std::string d = home / "Hry/zarnik";
  std::string source = home.mkdir("dist");

  void SetUp() override { make_payload(source); }
  void install() {
    QuietUi ui;
    ASSERT_TRUE(installer::install(source + "/", d, config, ui).failures.empty());
    write(d + "/data.dat", "scores");  // what the game adds when it runs
  }
  Lines lines() { return shell::read_settings_lines(settings); }
  void append(const Lines& extra) {
    Lines l = lines();
    l.insert(l.end(), extra.begin(), extra.end());
    shell::write_settings_lines(settings, l);
  }
  installer::UninstallPlan plan() {
    return installer::plan_uninstall(lines(), settings, installer::InstallPlaces::current());
  }
  std::vector<std::string> uninstall() { return installer::perform_uninstall(plan()); }
  std::set<std::string> left_alone(const installer::UninstallPlan& p) {
    std::set<std::string> out;
    for (const auto& l : p.left_alone) out.insert(l.line);
    return out;
  }
};

TEST_F(UninstallTest, RemovesEverythingItMadeAndTheFoldersItMadeButNothingElse) {
  fs::create_directories(home / "Hry");  // the game folder's parent is not ours
  const auto before = tree(home.path());
  install();
  // Two temporary files a killed installer and a killed game left behind.
  write(d + "/.zvuk.xxx." + std::to_string(ended_pid()) + ".abcdefghijkl.tmp", "half a copy");
  write(d + "/.data.dat." + std::to_string(ended_pid()) + ".abcdefghijk0.tmp", "half a save");
  const auto p = plan();
  EXPECT_TRUE(p.refusal.empty()) << p.refusal;
  EXPECT_TRUE(p.left_alone.empty());
  EXPECT_EQ(p.files.size(), shell::kDesktopEntries ? 22u : 17u)
      << "8 listed payload files, 5 shortcuts, the uninstaller, the scores, 2 temporaries; where "
         "desktops read them the icon and 4 desktop entries";
  EXPECT_TRUE(installer::perform_uninstall(p).empty());
  EXPECT_EQ(tree(home.path()), before);
}

// Lines that an edited or damaged settings file may list: none of them is
// touched, each is reported, and the real installation still goes.
TEST_F(UninstallTest, DecoyLinesAreLeftInPlaceWhileTheInstallationIsRemoved) {
  install();
  const std::string outside = home.mkdir("Documents");
  write(home / "important.txt", "mine");
  write(home / "Hry/notes.txt", "mine too");
  write(outside + "/zarnik.exe", "my own program");
  write(outside + "/data.dat", "my data");
  write(desktop + "/holiday.txt", "mine");
  write(menu + "/Programy/other.lnk", "another program's shortcut");
  write(home / "other/zarnik.ini", "another settings file");
  // A folder inside the installation that is a link to one outside.
  fs::create_directory_symlink(outside, d + "/docs");
  const Lines decoys{home / "important.txt",
                     d + "/../notes.txt",
                     d + "/docs/zarnik.exe",
                     d + "/docs/data.dat",
                     d + "/./../../Documents/data.dat",
                     desktop + "/holiday.txt",
                     programs + "/../other.lnk",
                     home / "other/zarnik.ini",
                     "zarnik.exe",
                     d + "/"};
  append(decoys);

  const auto p = plan();
  EXPECT_EQ(left_alone(p), std::set<std::string>(decoys.begin(), decoys.end()));
  for (const auto& f : p.files) {
    const std::string folder = f.folder;
    EXPECT_TRUE(folder == d || folder == desktop || folder == programs) << f.path();
  }
  EXPECT_TRUE(installer::perform_uninstall(p).empty());
  EXPECT_EQ(read_text(home / "important.txt"), "mine");
  EXPECT_EQ(read_text(home / "Hry/notes.txt"), "mine too");
  EXPECT_EQ(read_text(outside + "/zarnik.exe"), "my own program");
  EXPECT_EQ(read_text(outside + "/data.dat"), "my data");
  EXPECT_EQ(read_text(desktop + "/holiday.txt"), "mine");
  EXPECT_EQ(read_text(menu + "/Programy/other.lnk"), "another program's shortcut");
  EXPECT_EQ(read_text(home / "other/zarnik.ini"), "another settings file");
  // The game's files are gone; the folder stays only for the user's link.
  EXPECT_FALSE(fs::exists(d + "/zarnik.exe"));
  EXPECT_FALSE(fs::exists(d + "/data.dat"));
  EXPECT_FALSE(fs::exists(desktop + "/Zarnik.lnk"));
  EXPECT_FALSE(fs::exists(programs));
  EXPECT_TRUE(fs::is_symlink(d + "/docs"));
  EXPECT_FALSE(fs::exists(settings));
}

// Line 5 names the game folder as the installer made it; line 4 is the
// game's. When they disagree, or the folder is not one the installer names,
// the file lists no installation and nothing at all is removed.
TEST_F(UninstallTest, AGameFolderThatLinesFourAndFiveDoNotAgreeOnRemovesNothing) {
  install();
  const std::string other = home / "Jine/zarnik";
  for (const char* name : {"zarnik.exe", "data.dat", "uninstall.exe", "zvuk.xxx"})
    write(other + "/" + name, "not this installation's");
  const Lines installed = lines();
  struct Case {
    const char* what;
    size_t line;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"line 5 moved to another folder", 4, other + "/zarnik.exe"},
      {"line 4 moved to another folder", 3, other + "/zarnik.lnk"},
      {"both moved to the home folder", 99, ""},
      {"line 4 not a shortcut path", 3, d + "/zarnik.exe"},
      {"line 5 relative", 4, "zarnik/zarnik.exe"},
  };
  const auto untouched = tree(home.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Lines l = installed;
    if (c.line < l.size()) {
      l[c.line] = c.value;
    } else {
      l[3] = home / "zarnik.lnk";
      l[4] = home / "zarnik.exe";
      write(home / "data.dat", "the user's own");
    }
    shell::write_settings_lines(settings, l);
    const auto p = plan();
    EXPECT_TRUE(p.empty());
    EXPECT_FALSE(p.refusal.empty());
    EXPECT_TRUE(installer::perform_uninstall(p).empty());
    fs::remove(home / "data.dat");
    shell::write_settings_lines(settings, installed);
    EXPECT_EQ(tree(home.path()), untouched);
  }
  EXPECT_TRUE(installer::plan_uninstall({"800", "600", "EVA", d + "/zarnik.lnk"}, settings,
                                        installer::InstallPlaces::current())
                  .empty());
}

// Links and foreign files at our own names: a link is never followed nor
// removed, a shortcut must point at our program.
TEST_F(UninstallTest, OurNamesHoldingLinksOrForeignShortcutsAreLeftAlone) {
  install();
  write(home / "song.mid", "the user's song");
  fs::remove(d + "/menu.mid");
  fs::create_symlink(home / "song.mid", d + "/menu.mid");
  fs::remove(desktop + "/Zarnik.lnk");
  ASSERT_TRUE(shell::save_shell_link(desktop + "/Zarnik.lnk", "/usr/bin/other", "/usr/bin/"));
  fs::remove(programs + "/setup.lnk");
  write(programs + "/setup.lnk", "not a shortcut");
  // A real shortcut of ours elsewhere, linked in as the uninstaller's.
  fs::rename(programs + "/uninstall.lnk", home / "kept.lnk");
  fs::create_symlink(home / "kept.lnk", programs + "/uninstall.lnk");

  const auto p = plan();
  EXPECT_EQ(left_alone(p),
            (std::set<std::string>{d + "/menu.mid", desktop + "/Zarnik.lnk",
                                   programs + "/setup.lnk", programs + "/uninstall.lnk"}));
  EXPECT_TRUE(installer::perform_uninstall(p).empty());
  EXPECT_EQ(read_text(home / "song.mid"), "the user's song");
  EXPECT_TRUE(fs::is_symlink(d + "/menu.mid"));
  EXPECT_TRUE(fs::exists(desktop + "/Zarnik.lnk"));
  EXPECT_EQ(read_text(programs + "/setup.lnk"), "not a shortcut");
  EXPECT_TRUE(fs::is_symlink(programs + "/uninstall.lnk"));
  EXPECT_TRUE(fs::exists(home / "kept.lnk"));
  EXPECT_FALSE(fs::exists(d + "/zarnik.exe"));
  EXPECT_FALSE(fs::exists(programs + "/Zarnik.lnk"));
}

// Installed through a linked folder; the game then rewrote line 4 with the
// resolved folder it ran in, and its own shortcut with its resolved path.
TEST_F(UninstallTest, AnInstallationThroughALinkedFolderIsRemovedWhole) {
  fs::create_directories(home / "Real");
  fs::create_directory_symlink(home / "Real", home / "Linked");
  d = home / "Linked/zarnik";
  install();
  Lines l = lines();
  l[3] = home / "Real/zarnik/zarnik.lnk";
  shell::write_settings_lines(settings, l);
  ASSERT_TRUE(
      shell::make_shortcut(home / "Real/zarnik/zarnik.exe", home / "Real/zarnik/", "zarnik.lnk"));
  EXPECT_TRUE(uninstall().empty());
  EXPECT_FALSE(fs::exists(home / "Real/zarnik"));
  EXPECT_TRUE(fs::is_directory(home / "Real"));
  EXPECT_FALSE(fs::exists(programs));
}

// The files are checked again as they go: what changed after the question
// was answered is not removed.
TEST_F(UninstallTest, AFileOrFolderChangedAfterThePlanIsNotRemoved) {
  install();
  const auto p = plan();
  write(home / "victim.txt", "mine");
  fs::remove(d + "/hra.mid");
  fs::create_symlink(home / "victim.txt", d + "/hra.mid");
  fs::rename(programs, programs + ".old");
  fs::create_directories(programs);
  write(programs + "/Zarnik.lnk", "someone else's");
  const auto failures = installer::perform_uninstall(p);
  ASSERT_EQ(failures.size(), 7u)
      << "hra.mid, the three shortcuts of the moved folder and their desktop entries";
  EXPECT_NE(failures[0].find("hra.mid"), std::string::npos) << failures[0];
  EXPECT_EQ(read_text(home / "victim.txt"), "mine");
  EXPECT_TRUE(fs::is_symlink(d + "/hra.mid"));
  EXPECT_EQ(read_text(programs + "/Zarnik.lnk"), "someone else's");
  EXPECT_TRUE(fs::exists(programs + ".old/Zarnik.lnk"));
}

// Desktop entries are not listed: one under our name goes only when it starts
// our program in the game folder (also when it names that folder through a
// link), never when it starts another program, starts ours elsewhere, or is
// itself a link.
TEST_F(UninstallTest, DesktopEntriesGoOnlyWhenTheyStartTheInstalledGame) {
  install();
  auto entry = [&](const std::string& program, const std::string& folder) {
    shell::DesktopEntry e;
    e.name = "Zarnik";
    e.program = program;
    e.folder = folder;
    return shell::desktop_entry_text(e);
  };
  fs::create_directory_symlink(home / "Hry", home / "alias");
  const std::string alias = home / "alias/zarnik";
  write(programs + "/Zarnik.desktop", entry(alias + "/zarnik.exe", alias));
  write(programs + "/setup.desktop", entry("/usr/bin/setup.exe", d));
  write(programs + "/uninstall.desktop", entry(d + "/uninstall.exe", home.path()));
  fs::remove(desktop + "/Zarnik.desktop");
  fs::create_symlink(programs + "/uninstall.desktop", desktop + "/Zarnik.desktop");

  const auto p = plan();
  EXPECT_EQ(left_alone(p),
            (std::set<std::string>{programs + "/setup.desktop", programs + "/uninstall.desktop",
                                   desktop + "/Zarnik.desktop"}));
  EXPECT_TRUE(installer::perform_uninstall(p).empty());
  EXPECT_FALSE(fs::exists(programs + "/Zarnik.desktop"));
  EXPECT_FALSE(fs::exists(d));
  EXPECT_TRUE(fs::exists(programs + "/setup.desktop"));
  EXPECT_TRUE(fs::exists(programs + "/uninstall.desktop"));
  EXPECT_TRUE(fs::is_symlink(desktop + "/Zarnik.desktop"));
}

// On a fresh account the installation made the applications folder and the
// desktop; the uninstaller takes away everything the installation wrote into
// them and leaves the folders themselves, which other programs use too.
TEST(FreshAccountUninstall, LeavesOnlyTheSharedFoldersTheInstallationMade) {
  TempHome home;
  const std::string source = home.mkdir("dist");
  make_payload(source);
  const auto before = tree(home.path());
  QuietUi ui;
  const std::string config = home / ".config";
  ASSERT_TRUE(installer::install(source + "/", home / "Hry/zarnik", config, ui).failures.empty());
  const std::string settings = config + "/zarnik.ini";
  const auto p = installer::plan_uninstall(shell::read_settings_lines(settings), settings,
                                           installer::InstallPlaces::current());
  EXPECT_TRUE(p.left_alone.empty());
  EXPECT_TRUE(installer::perform_uninstall(p).empty());
  auto expected = before;
  for (const char* f :
       {".config", ".local", ".local/share", ".local/share/applications", "Desktop", "Hry"})
    expected.insert(f);
  EXPECT_EQ(tree(home.path()), expected);
}

TEST(ShellLinkTarget, ReadsWhatTheWriterWroteAndNothingFromBrokenBytes) {
  const std::string target = "/home/hráč/Hry/zarnik/zarnik.exe";
  const auto link = shell::encode_shell_link(target, "/home/hráč/Hry/zarnik/");
  EXPECT_EQ(shell::read_shell_link_target(link), target);
  // Without the UTF-16 offsets the 8-bit path is read.
  auto short_info = link;
  short_info[0x4C + 4] = 0x1C;
  EXPECT_EQ(shell::read_shell_link_target(short_info), target);
  const size_t info_end = 0x4C + (link[0x4C] | link[0x4D] << 8);  // the link information
  for (size_t cut = 0; cut < info_end; cut += 3) {
    const std::vector<uint8_t> part(link.begin(), link.begin() + ptrdiff_t(cut));
    EXPECT_TRUE(shell::read_shell_link_target(part).empty()) << cut;
  }
  auto foreign = link;
  foreign[5] ^= 1;  // another class
  EXPECT_TRUE(shell::read_shell_link_target(foreign).empty());
}

}  // namespace
