#include "installer/core/install.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "installer/core/layout.h"
#include "installer/core/uninstall.h"
#include "payload.h"
#include "platform/files.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"
#include "tests/shell/temp_home.h"
#ifndef _WIN32
#include "shell/desktop_entry.h"
#include "tests/shell/run_program.h"
#endif

namespace {

namespace fs = std::filesystem;
using namespace installer_test;
using testing_home::TempHome;

// Records what the installation asks of its window.
struct FakeUi : installer::InstallUi {
  bool desktop_answer = true;
  int questions = 0;
  std::vector<int> progress;
  std::vector<std::string> errors;
  void set_progress(int p) override { progress.push_back(p); }
  bool ask_desktop_shortcut() override {
    ++questions;
    return desktop_answer;
  }
  void show_error(const std::string& text) override { errors.push_back(text); }
};

// A home with a desktop, a Start menu and a payload folder.
struct InstallTest : ::testing::Test {
  TempHome home;
  std::string desktop = home.mkdir("Desktop");
  std::string menu = home.mkdir(".local/share/applications");
  std::string source = home.mkdir("dist");
  std::string config = home / ".config";
  std::string target = home / "Hry/zarnik";
  FakeUi ui;

  installer::InstallReport run() { return installer::install(source + "/", target, config, ui); }
};

TEST_F(InstallTest, SettingsFileListsEverythingWithDesktopShortcut) {
  make_payload(source);
  const auto report = run();
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_EQ(report.final_message(), "INSTALACE JE HOTOVA");
  EXPECT_EQ(ui.questions, 1);
  EXPECT_EQ(ui.progress, (std::vector<int>{8, 16, 24, 32, 40, 48, 56, 64, 72, 80, 88, 96, 100}));

  const auto lines = expected_lines(target, menu, desktop, config);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(read_text(config + "/zarnik.ini"), joined_crlf(lines));
  EXPECT_EQ(report.settings_lines, lines);

  // The renamed copies, the uninstaller, and every shortcut exist.
  EXPECT_EQ(read_text(target + "/zarnik.exe"), "payload hra.xxx");
  EXPECT_EQ(read_text(target + "/setup.exe"), "payload setup.xxx");
  EXPECT_EQ(read_text(target + "/uninstall.exe"), "payload uninstall.exe");
  EXPECT_NE(fs::status(target + "/zarnik.exe").permissions() & fs::perms::owner_exec,
            fs::perms::none);
  for (size_t i = 3; i + 1 < lines.size(); ++i) EXPECT_TRUE(fs::exists(lines[i])) << lines[i];
  EXPECT_EQ(platform::read_file(target + "/zarnik.lnk"),
            shell::encode_shell_link(target + "/zarnik.exe", target + "/"));
  EXPECT_EQ(platform::read_file(menu + "/Programy/ZARNIK/setup.lnk"),
            shell::encode_shell_link(target + "/setup.exe", target + "/"));
}

TEST_F(InstallTest, AnsweringNoLeavesTheDesktopAloneAndSeventeenLines) {
  make_payload(source);
  ui.desktop_answer = false;
  const auto report = run();
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  const auto lines = expected_lines(target, menu, "", config);
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(read_text(config + "/zarnik.ini"), joined_crlf(lines));
  EXPECT_TRUE(fs::is_empty(desktop));
  EXPECT_TRUE(fs::exists(menu + "/Programy/ZARNIK/Zarnik.lnk"));
}

TEST_F(InstallTest, MissingPayloadFileIsListedButNamedInTheFinalMessage) {
  make_payload(source, {"menu.mid", "uninstall.exe"});
  const auto report = run();
  EXPECT_EQ(ui.progress.back(), 100);
  EXPECT_EQ(report.settings_lines, expected_lines(target, menu, desktop, config));
  ASSERT_EQ(report.failures.size(), 2u);
  EXPECT_NE(report.failures[0].find("menu.mid"), std::string::npos);
  EXPECT_NE(report.failures[1].find("uninstall.exe"), std::string::npos);
  const std::string message = report.final_message();
  EXPECT_NE(message, "INSTALACE JE HOTOVA");
  EXPECT_NE(message.find("menu.mid"), std::string::npos) << message;
  EXPECT_TRUE(ui.errors.empty()) << "copies are reported at the end, not in boxes";
  EXPECT_FALSE(fs::exists(target + "/menu.mid"));
  EXPECT_TRUE(fs::exists(target + "/hra.mid"));
}

TEST_F(InstallTest, TargetWithMissingParentsIsCreated) {
  make_payload(source);
  target = home / "a/b/c/zarnik";
  const auto report = run();
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  EXPECT_TRUE(fs::exists(target + "/zvuk.xxx"));
}

TEST_F(InstallTest, TargetThatCannotBeMadeFailsEveryCopyButStillWritesTheSettings) {
  make_payload(source);
  std::ofstream(home / "Hry") << "a file where a folder should be";
  const auto report = run();
  EXPECT_EQ(ui.progress.back(), 100);
  ASSERT_GE(report.failures.size(), 10u);  // the folder and nine copies, then shortcuts
  EXPECT_NE(report.failures[0].find(target), std::string::npos) << report.failures[0];
  EXPECT_EQ(ui.errors.size(), 1u) << "the target's zarnik.lnk";
  EXPECT_TRUE(report.settings_written);
  EXPECT_NE(report.final_message().find("INSTALACE NENÍ ÚPLNÁ"), std::string::npos);
}

TEST_F(InstallTest, ReinstallReplacesFilesWholeAndLeavesNoTemporaries) {
  make_payload(source);
  fs::create_directories(target);
  std::ofstream(target + "/zarnik.exe") << "an older game that was much longer than the new one";
  fs::permissions(target + "/zarnik.exe", fs::perms::owner_read);  // read-only old copy
  run();
  EXPECT_EQ(read_text(target + "/zarnik.exe"), "payload hra.xxx");
  std::ofstream(source + "/zvuk.xxx") << "new sounds";
  const auto report = run();
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  EXPECT_EQ(read_text(target + "/zvuk.xxx"), "new sounds");
  for (auto& e : fs::directory_iterator(target))
    EXPECT_NE(e.path().filename().string().front(), '.') << "a temporary file left: " << e.path();
}

TEST_F(InstallTest, ShortcutAndSettingsFailuresAreShownAndNamed) {
  make_payload(source);
  fs::remove(menu);  // a Start menu that cannot be made: three program-folder shortcuts fail
  std::ofstream(menu) << "a file";
  std::ofstream(config) << "a file";  // the settings cannot be written
  const auto report = run();
  ASSERT_EQ(ui.errors.size(), 4u);
  EXPECT_NE(ui.errors[0].find("uninstall.lnk"), std::string::npos) << ui.errors[0];
  EXPECT_NE(ui.errors[3].find("nastavení"), std::string::npos) << ui.errors[3];
  EXPECT_FALSE(report.settings_written);
  EXPECT_EQ(report.failures.size(), 4u);
  EXPECT_EQ(report.settings_lines.size(), 18u) << "failed shortcuts are still listed";
  EXPECT_TRUE(fs::exists(desktop + "/Zarnik.lnk"));
}

// The settings file lists paths one per line: a line break in any folder
// the installation would list refuses it before anything is written.
TEST_F(InstallTest, AFolderWithALineBreakRefusesTheInstallationAndWritesNothing) {
  make_payload(source);
  const auto untouched_before = fs::exists(target);
  for (const std::string& bad : std::vector<std::string>{
           home / "Hry\n/home/eva/important.txt\n/zarnik", home / "Hry\r/zarnik"}) {
    SCOPED_TRACE(bad);
    ui.errors.clear();
    target = bad;
    const auto report = run();
    EXPECT_FALSE(report.refusal.empty());
    EXPECT_EQ(report.final_message(), report.refusal);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_NE(ui.errors[0].find("Cílový adresář"), std::string::npos) << ui.errors[0];
    EXPECT_FALSE(report.settings_written);
    EXPECT_EQ(ui.questions, 0);
    EXPECT_FALSE(fs::exists(home / "Hry"));
    EXPECT_FALSE(fs::exists(config + "/zarnik.ini"));
    EXPECT_TRUE(fs::is_empty(desktop));
  }
  EXPECT_FALSE(untouched_before);
  // The settings folder and the desktop are checked too.
  EXPECT_NE(
      installer::installation_refusal(home / "Hry/zarnik", home / "conf\rig").find("nastavení"),
      std::string::npos);
  EXPECT_EQ(installer::installation_refusal(home / "Hry/zarnik", config), "");
}

// Planted links and an ended child process are POSIX things: not on Windows.
#ifndef _WIN32
// The copies go through temporary files that nothing planted can redirect,
// and what a killed installation left behind is cleared by the next one.
TEST_F(InstallTest, CopiesNeverWriteThroughPlantedLinksAndClearAKilledCopysLeftovers) {
  make_payload(source);
  fs::create_directories(target);
  std::ofstream(home / "victim.txt") << "the user's";
  for (const auto& f : installer::kPayload)
    fs::create_symlink(home / "victim.txt", target + "/" + f.target + ".part");
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string leftover = target + "/.zvuk.xxx." + std::to_string(child) + ".abcdefghijkl.tmp";
  std::ofstream(leftover) << "half a copy";
  const auto report = run();
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  EXPECT_EQ(read_text(home / "victim.txt"), "the user's");
  EXPECT_EQ(read_text(target + "/zvuk.xxx"), "payload zvuk.xxx");
  EXPECT_FALSE(fs::is_symlink(target + "/zvuk.xxx"));
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_TRUE(fs::is_symlink(target + "/zvuk.xxx.part")) << "not ours, left as it was";
}
#endif  // _WIN32

// Desktop entries are written where desktops read them (not on Windows).
#ifndef _WIN32
// A fresh account has neither an applications folder nor a desktop: the
// installation makes both, as any installer would, and completes. Beside
// every shortcut in the menu and on the desktop lies a desktop entry that
// starts the installed program in the game folder, however that folder is
// named, with the icon written there; the list names the shortcuts alone.
TEST(FreshAccount, InstallsCompletelyWithADesktopEntryBesideEveryShortcut) {
  REQUIRE_TOOL("desktop-file-validate");
  TempHome home;
  const std::string source = home.mkdir("dist");
  make_payload(source);
  const std::string config = home / ".config";
  const std::string target = home / "Moje \"hry\" $HOME `x` back\\slash; #1/zarnik";
  FakeUi ui;
  const auto report = installer::install(source + "/", target, config, ui);
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  EXPECT_TRUE(ui.errors.empty());
  const std::string menu = home / ".local/share/applications";
  const std::string desktop = home / "Desktop";
  EXPECT_EQ(report.settings_lines, expected_lines(target, menu, desktop, config));

  const std::string programs = menu + "/Programy/ZARNIK";
  const struct {
    std::string path, program;
    bool on_desktop;
  } entries[] = {{programs + "/uninstall.desktop", "uninstall.exe", false},
                 {programs + "/Zarnik.desktop", "zarnik.exe", false},
                 {programs + "/setup.desktop", "setup.exe", false},
                 {desktop + "/Zarnik.desktop", "zarnik.exe", true}};
  for (const auto& e : entries) {
    const std::string text = read_text(e.path);
    ASSERT_FALSE(text.empty()) << e.path;
    EXPECT_EQ(testing_run::desktop_file_complaints(e.path), "") << text;
    const auto launch = shell::read_desktop_entry_launch(text);
    EXPECT_EQ(launch.program, target + "/" + e.program) << text;
    EXPECT_EQ(launch.folder, target) << text;
    EXPECT_EQ(fs::status(e.path).permissions() & fs::perms::owner_exec,
              e.on_desktop ? fs::perms::owner_exec : fs::perms::none)
        << e.path;
  }
  EXPECT_EQ(testing_run::desktop_value(read_text(programs + "/Zarnik.desktop"), "StartupWMClass"),
            "zarnik");
  EXPECT_EQ(read_text(target + "/zarnik.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
}

// A '%' in the game folder's name cannot stand in an entry's program path
// (desktops built on GLib would hide the entry): the shortcuts are made and
// listed, and the final message names each entry that is missing.
TEST_F(InstallTest, AFolderNoEntryCanNameGetsItsShortcutsAndSaysWhatIsMissing) {
  make_payload(source);
  target = home / "100% hry/zarnik";
  const auto report = run();
  EXPECT_EQ(report.settings_lines, expected_lines(target, menu, desktop, config));
  ASSERT_EQ(report.failures.size(), 4u) << report.final_message();
  EXPECT_NE(report.failures[0].find("uninstall.desktop"), std::string::npos);
  EXPECT_EQ(report.final_message().find("INSTALACE NENÍ ÚPLNÁ"), 0u);
  for (size_t i = 3; i + 1 < report.settings_lines.size(); ++i)
    EXPECT_TRUE(fs::exists(report.settings_lines[i])) << report.settings_lines[i];
  EXPECT_FALSE(fs::exists(desktop + "/Zarnik.desktop"));
}

#endif  // _WIN32

TEST(ChosenFolder, RootGetsTheNameDirectlyAnyOtherFolderASeparator) {
  EXPECT_EQ(installer::target_for_chosen_folder("/"), "/zarnik");
  EXPECT_EQ(installer::target_for_chosen_folder("/media/usb/"), "/media/usb/zarnik");
  EXPECT_EQ(installer::target_for_chosen_folder("/home/eva/Hry"), "/home/eva/Hry/zarnik");
}

TEST(DefaultTarget, IsTheUsersProgramFolder) {
  TempHome home;
  EXPECT_EQ(installer::default_target_folder(), home / ".local/share/zarnik");
  ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
  EXPECT_EQ(installer::default_target_folder(), home / "data/zarnik");
}

}  // namespace

namespace {

TEST(WindowsTarget, ProgramFilesOnlyWhenElevated) {
  EXPECT_EQ(installer::windows_default_target(true, "C:\\Users\\eva\\AppData\\Local"),
            "C:\\Program Files\\zarnik");
  EXPECT_EQ(installer::windows_default_target(false, "C:\\Users\\eva\\AppData\\Local"),
            "C:\\Users\\eva\\AppData\\Local\\Programs\\zarnik");
  EXPECT_EQ(installer::windows_default_target(false, "D:\\Data\\"), "D:\\Data\\Programs\\zarnik");
  EXPECT_EQ(installer::windows_default_target(false, ""), "C:\\Program Files\\zarnik");
}

// The window's places on two screens, the odd one checking truncation.
TEST(InstallerLayout, PlacesFollowTheScreen) {
  const auto a = installer::installer_layout(800, 600);
  EXPECT_EQ(a.title_picture.x, 24);
  EXPECT_EQ(a.credit.x, 600);
  EXPECT_EQ(a.credit.y, 550);
  EXPECT_EQ(a.folder_caption.x, 250);
  EXPECT_EQ(a.folder_caption.y, 235);
  EXPECT_EQ(a.target.y, 250);
  EXPECT_EQ(a.progress.y, 265);
  EXPECT_EQ(a.progress.w, 329);
  EXPECT_EQ(a.progress.h, 16);
  EXPECT_EQ(a.browse.x, 250);
  EXPECT_EQ(a.end.x, 375);
  EXPECT_EQ(a.install.x, 475);
  EXPECT_EQ(a.install.y, 300);
  EXPECT_EQ(a.done_caption.x, 388);
  const auto b = installer::installer_layout(1365, 767);
  EXPECT_EQ(b.browse.x, 532);
  EXPECT_EQ(b.browse.y, 383);
  EXPECT_EQ(b.chooser.x, 150);
  EXPECT_EQ(b.chooser.w, 265);
  EXPECT_EQ(b.chooser.h, 225);
  // The controls of each panel stay inside it.
  for (const auto& r : {b.chosen_folder, b.folders, b.new_folder, b.chooser_ok, b.new_panel}) {
    EXPECT_LE(r.x + r.w, b.chooser.w);
    EXPECT_LE(r.y + r.h, b.chooser.h);
  }
  for (const auto& r : {b.new_caption, b.new_edit, b.new_ok, b.new_cancel}) {
    EXPECT_LE(r.x + r.w, b.new_panel.w);
    EXPECT_LE(r.y + r.h, b.new_panel.h);
  }
}

}  // namespace
