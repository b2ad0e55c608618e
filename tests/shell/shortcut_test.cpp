#include "shell/shortcut.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "shell/shell_folders.h"
#include "temp_home.h"

namespace {

using testing_home::TempHome;

// Runs the independent reader of shortcut files and returns its report.
std::string lnkinfo(const std::string& path) {
  std::string out;
  FILE* p = ::popen(("lnkinfo '" + path + "' 2>&1").c_str(), "r");
  if (!p) return out;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  ::pclose(p);
  return out;
}

// The value after "<field>\t...: " in lnkinfo's report; "(absent)" if none.
std::string field(const std::string& report, const std::string& name) {
  size_t at = report.find(name);
  if (at == std::string::npos) return "(absent)";
  size_t colon = report.find(": ", at);
  size_t end = report.find('\n', colon);
  return report.substr(colon + 2, end - colon - 2);
}

bool have_lnkinfo() { return std::system("command -v lnkinfo >/dev/null 2>&1") == 0; }

TEST(FolderPart, KeepsTheTrailingSeparatorAndIsEmptyWithoutOne) {
  EXPECT_EQ(shell::folder_part("/opt/zarnik/zarnik.exe"), "/opt/zarnik/");
  EXPECT_EQ(shell::folder_part("/opt/zarnik/"), "/opt/zarnik/");
  EXPECT_EQ(shell::folder_part("/zarnik.exe"), "/");
  EXPECT_EQ(shell::folder_part("zarnik.exe"), "");
  EXPECT_EQ(shell::folder_part(""), "");
}

TEST(LinkPath, GameJoinsAndInstallerAddsASeparator) {
  EXPECT_EQ(shell::link_path("/g/", "zarnik.lnk", shell::LinkPath::Joined), "/g/zarnik.lnk");
  EXPECT_EQ(shell::link_path("/g/", "zarnik.lnk", shell::LinkPath::WithSeparator),
            "/g//zarnik.lnk");
  EXPECT_EQ(shell::link_path("/g", "zarnik.lnk", shell::LinkPath::WithSeparator), "/g/zarnik.lnk");
  EXPECT_EQ(shell::program_folder("/s/Programy", "ZARNIK"), "/s/Programy/ZARNIK/");
  EXPECT_EQ(shell::old_program_folder("/s", "ZARNIK"), "/s/Programy/ZARNIK/");
}

TEST(ShellLink, IndependentReaderSeesTargetAndWorkingDirectory) {
  if (!have_lnkinfo()) GTEST_SKIP() << "lnkinfo is not installed";
  TempHome home;
  const std::string dir = home.mkdir("Hry/Příšerně žluťoučký kůň");
  const std::string target = dir + "/zarnik.exe";
  { std::ofstream(target) << "12345"; }
  // Written the installer's way, through a doubled separator.
  ASSERT_TRUE(
      shell::make_shortcut(target, dir + "/", "zarnik.lnk", shell::LinkPath::WithSeparator));
  const std::string report = lnkinfo(dir + "/zarnik.lnk");
  EXPECT_EQ(field(report, "Local path"), target) << report;
  EXPECT_EQ(field(report, "Working directory"), dir + "/") << report;
  EXPECT_EQ(field(report, "File size"), "5 bytes") << report;
}

TEST(ShellLink, TargetWithoutSeparatorHasNoWorkingDirectory) {
  TempHome home;
  ASSERT_TRUE(shell::make_shortcut("zarnik.exe", home.path() + "/", "z.lnk"));
  const auto bytes = platform::read_file(home / "z.lnk");
  EXPECT_EQ(bytes, shell::encode_shell_link("zarnik.exe", ""));
  const uint32_t flags = bytes[20] | bytes[21] << 8;
  EXPECT_EQ(flags & 0x10, 0u) << "working-directory flag set";
  if (have_lnkinfo()) {
    const std::string report = lnkinfo(home / "z.lnk");
    EXPECT_EQ(field(report, "Local path"), "zarnik.exe") << report;
    EXPECT_EQ(field(report, "Working directory"), "(absent)") << report;
  }
}

TEST(ShellLink, SecondSaveOverwritesAndFailedSaveLeavesNothing) {
  TempHome home;
  const std::string dir = home.path() + "/";
  ASSERT_TRUE(shell::make_shortcut("/a/long/first/target.exe", dir, "x.lnk"));
  ASSERT_TRUE(shell::make_shortcut("/b/t.exe", dir, "x.lnk"));
  EXPECT_EQ(platform::read_file(home / "x.lnk"), shell::encode_shell_link("/b/t.exe", "/b/"));

  EXPECT_FALSE(shell::make_shortcut("/b/t.exe", home / "missing/", "x.lnk"));
  EXPECT_FALSE(std::filesystem::exists(home / "missing"));
  size_t entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(home.path())) ++entries;
  EXPECT_EQ(entries, 1u) << "a temporary file was left behind";
}

TEST(ShellFolders, DesktopComesFromUserDirsElseHomeDesktop) {
  TempHome home;
  EXPECT_EQ(shell::shell_folder("Desktop"), "") << "a missing folder reads as empty";
  home.mkdir("Desktop");
  EXPECT_EQ(shell::shell_folder("Desktop"), home / "Desktop");

  home.mkdir("Plocha");
  home.mkdir(".config");
  std::ofstream(home / ".config/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                    "XDG_DOWNLOAD_DIR=\"$HOME/Stazene\"\n"
                                                    "XDG_DESKTOP_DIR=\"$HOME/Plocha\"\n";
  EXPECT_EQ(shell::shell_folder("Desktop"), home / "Plocha");

  std::ofstream(home / ".config/user-dirs.dirs")
      << "XDG_DESKTOP_DIR=\"" << home.path() << "/Desktop/\"\n";
  EXPECT_EQ(shell::shell_folder("Desktop"), home / "Desktop") << "no trailing separator";

  std::ofstream(home / ".config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Gone\"\n";
  EXPECT_EQ(shell::shell_folder("Desktop"), "");
}

TEST(ShellFolders, StartMenuIsTheApplicationsFolder) {
  TempHome home;
  EXPECT_EQ(shell::shell_folder("Start Menu"), "");
  home.mkdir(".local/share/applications");
  EXPECT_EQ(shell::shell_folder("Start Menu"), home / ".local/share/applications");
  ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  home.mkdir("data/applications");
  EXPECT_EQ(shell::shell_folder("Start Menu"), home / "data/applications");
  EXPECT_EQ(shell::shell_folder("Fonts"), "");
}

TEST(Ikona, ListsDesktopThenProgramFolderAndCreatesTheProgramFolder) {
  TempHome home;
  home.mkdir("Desktop");
  const std::string menu = home.mkdir(".local/share/applications");
  std::vector<std::string> written{"earlier"};
  auto failed = shell::ikona("/opt/zarnik/zarnik.exe", "ZARNIK", "Zarnik.lnk", true, written);
  EXPECT_TRUE(failed.empty());
  const std::string in_menu = menu + "/Programy/ZARNIK/Zarnik.lnk";
  EXPECT_EQ(written, (std::vector<std::string>{"earlier", home / "Desktop/Zarnik.lnk", in_menu}));
  EXPECT_EQ(platform::read_file(in_menu),
            shell::encode_shell_link("/opt/zarnik/zarnik.exe", "/opt/zarnik/"));
  EXPECT_EQ(platform::read_file(home / "Desktop/Zarnik.lnk"), platform::read_file(in_menu));

  written.clear();
  failed = shell::ikona("/opt/zarnik/setup.exe", "ZARNIK", "setup.lnk", false, written);
  EXPECT_TRUE(failed.empty());
  EXPECT_EQ(written, (std::vector<std::string>{menu + "/Programy/ZARNIK/setup.lnk"}));
  EXPECT_FALSE(std::filesystem::exists(home / "Desktop/setup.lnk"));
}

TEST(Ikona, ShellFoldersThatCannotBeFoundAreListedAndReportedButWriteNothing) {
  TempHome home;
  // A home that is no absolute path: nothing is found, and nothing is made
  // relative to the current folder.
  testing_home::ScopedEnv no_home{{"HOME", "relative"}};
  std::vector<std::string> written;
  auto failed = shell::ikona("/opt/zarnik/zarnik.exe", "ZARNIK", "Zarnik.lnk", true, written);
  const std::vector<std::string> expected{"/Zarnik.lnk", "/Programy/ZARNIK/Zarnik.lnk"};
  EXPECT_EQ(written, expected);
  EXPECT_EQ(failed, expected);
  EXPECT_FALSE(std::filesystem::exists("/Zarnik.lnk"));
  EXPECT_FALSE(std::filesystem::exists("/Programy"));
  EXPECT_FALSE(std::filesystem::exists("relative"));
}

}  // namespace
