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
#include "installer/core/record.h"
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

// A payload file that cannot be copied leaves no usable game: the
// installation stops there, asks nothing more, makes no shortcut and no
// settings file, and takes away what it made; the final message says so.
TEST_F(InstallTest, AFailedInstallationLeavesNothingBehindAndAsksNothing) {
  make_payload(source, {"menu.mid"});
  const auto before = tree(home.path());
  const auto report = run();
  EXPECT_TRUE(report.failed);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_NE(report.failures[0].find("menu.mid"), std::string::npos) << report.failures[0];
  EXPECT_TRUE(report.left_behind.empty());
  const std::string message = report.final_message();
  EXPECT_EQ(message.find("INSTALACE SE NEZDAŘILA"), 0u) << message;
  EXPECT_NE(message.find("menu.mid (soubor chybí)"), std::string::npos) << message;
  EXPECT_NE(message.find("hra nainstalována není"), std::string::npos) << message;
  EXPECT_EQ(ui.questions, 0) << "no desktop question after a failure";
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_FALSE(report.settings_written);
  EXPECT_EQ(tree(home.path()), before) << "something half-made was left";
}

// A failed reinstallation keeps the game that was there: only what the
// failed run added goes.
TEST_F(InstallTest, AFailedReinstallationKeepsTheGameThatWasThere) {
  make_payload(source);
  ASSERT_TRUE(run().failures.empty());
  fs::remove(source + "/uninstall.exe");
  const auto installed = tree(home.path());
  const auto report = run();
  EXPECT_TRUE(report.failed);
  EXPECT_EQ(tree(home.path()), installed);
}

TEST_F(InstallTest, TargetWithMissingParentsIsCreated) {
  make_payload(source);
  target = home / "a/b/c/zarnik";
  const auto report = run();
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  EXPECT_TRUE(fs::exists(target + "/zvuk.xxx"));
}

TEST_F(InstallTest, ATargetThatCannotBeMadeFailsWithNothingLeft) {
  make_payload(source);
  std::ofstream(home / "Hry") << "a file where a folder should be";
  const auto before = tree(home.path());
  const auto report = run();
  EXPECT_TRUE(report.failed);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_NE(report.failures[0].find(target), std::string::npos) << report.failures[0];
  EXPECT_FALSE(report.settings_written);
  EXPECT_EQ(ui.questions, 0);
  EXPECT_EQ(tree(home.path()), before);
}

TEST_F(InstallTest, ReinstallReplacesItsOwnFilesWholeAndLeavesNoTemporaries) {
  make_payload(source);
  ASSERT_TRUE(run().failures.empty());
  fs::permissions(target + "/zarnik.exe", fs::perms::owner_read);  // a read-only copy
  std::ofstream(source + "/zvuk.xxx") << "new sounds";
  const auto report = run();
  EXPECT_TRUE(report.failures.empty()) << report.final_message();
  EXPECT_EQ(read_text(target + "/zvuk.xxx"), "new sounds");
  EXPECT_EQ(read_text(target + "/zarnik.exe"), "payload hra.xxx");
  for (auto& e : fs::directory_iterator(target))
    EXPECT_NE(e.path().filename().string().front(), '.') << "a temporary file left: " << e.path();
  // The record knows the new content: the uninstallation takes it.
  const auto record = installer::read_record(config + "/" + installer::kRecordFileName);
  ASSERT_TRUE(record);
  const auto* sounds = record->file(target + platform::kPathSeparator + "zvuk.xxx");
  ASSERT_NE(sounds, nullptr);
  EXPECT_EQ(sounds->content, installer::content_id(platform::read_file(target + "/zvuk.xxx")));
}

// Files in the chosen folder under the names the installation writes, that
// no installation of the game wrote, would be overwritten: the installation
// is refused before anything is written, naming them.
TEST_F(InstallTest, AFolderHoldingSomebodyElsesFilesAtOurNamesIsRefused) {
  make_payload(source);
  fs::create_directories(target);
  std::ofstream(target + "/menu.xxx") << "the user's own";
  fs::create_directory(target + "/hra.mid");
  const auto before = tree(home.path());
  const auto report = run();
  ASSERT_FALSE(report.refusal.empty());
  EXPECT_NE(report.refusal.find("menu.xxx (nezapsala ho instalace této hry)"), std::string::npos)
      << report.refusal;
  EXPECT_NE(report.refusal.find("hra.mid (je to adresář)"), std::string::npos) << report.refusal;
  EXPECT_EQ(ui.errors, std::vector<std::string>{report.refusal});
  EXPECT_EQ(tree(home.path()), before);
}

// Neither a shortcut that cannot be made nor a settings file that cannot be
// written takes the game away: each is shown and named.
TEST_F(InstallTest, ShortcutAndSettingsFailuresAreShownAndNamed) {
  make_payload(source);
  fs::remove(menu);  // a Start menu that cannot be made: three program-folder shortcuts fail
  std::ofstream(menu) << "a file";
  fs::create_directories(config + "/zarnik.ini");  // the settings cannot be written
  const auto report = run();
  ASSERT_EQ(ui.errors.size(), 4u);
  EXPECT_NE(ui.errors[0].find("uninstall.lnk"), std::string::npos) << ui.errors[0];
  EXPECT_NE(ui.errors[0].find("není adresář"), std::string::npos) << ui.errors[0];
  EXPECT_NE(ui.errors[3].find("nastavení"), std::string::npos) << ui.errors[3];
  EXPECT_FALSE(report.failed);
  EXPECT_FALSE(report.settings_written);
  EXPECT_EQ(report.failures.size(), 4u);
  EXPECT_EQ(report.final_message().find("INSTALACE NENÍ ÚPLNÁ"), 0u);
  EXPECT_EQ(report.settings_lines.size(), 18u) << "failed shortcuts are still listed";
  EXPECT_TRUE(fs::exists(desktop + "/Zarnik.lnk"));
  EXPECT_TRUE(fs::exists(target + "/zarnik.exe"));
}

// Where the record cannot be kept nothing is installed: an installation
// that could not be undone must not begin.
TEST_F(InstallTest, ASettingsFolderThatCannotHoldTheRecordRefusesTheInstallation) {
  make_payload(source);
  std::ofstream(config) << "a file";
  const auto before = tree(home.path());
  const auto report = run();
  EXPECT_NE(report.refusal.find("nelze zaznamenat"), std::string::npos) << report.refusal;
  // Shown once, as an error; the windows show no closing box after it.
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0], report.refusal);
  EXPECT_TRUE(report.closing_message().empty());
  EXPECT_EQ(ui.questions, 0);
  EXPECT_EQ(tree(home.path()), before);
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

#ifndef _WIN32
// The installer never writes through a link it did not make. A target
// folder that is a link is refused before anything is written; a desktop or
// a Start-menu folder that is a link, and a file of somebody else's at a
// shortcut's name, are left alone, and the final message says why.
TEST_F(InstallTest, LinksAtTheTargetTheDesktopOrTheMenuAreNeverWrittenThrough) {
  make_payload(source);
  const std::string elsewhere = home.mkdir("elsewhere");
  std::ofstream(elsewhere + "/menu.xxx") << "the user's";
  std::ofstream(elsewhere + "/Zarnik.lnk") << "the user's";
  std::ofstream(elsewhere + "/Zarnik.desktop") << "the user's";
  const auto untouched = tree(elsewhere);

  fs::create_directories(home / "Hry");
  fs::create_directory_symlink(elsewhere, target);
  auto before = tree(home.path());
  auto report = run();
  EXPECT_NE(report.refusal.find("odkaz"), std::string::npos) << report.refusal;
  EXPECT_EQ(tree(home.path()), before);
  fs::remove(target);

  // The desktop a link: the game installs, its desktop shortcut does not.
  fs::remove(desktop);
  fs::create_directory_symlink(elsewhere, desktop);
  report = run();
  EXPECT_FALSE(report.failed);
  EXPECT_EQ(tree(elsewhere), untouched);
  EXPECT_TRUE(fs::exists(target + "/zarnik.exe"));
  ASSERT_EQ(report.failures.size(), 1u) << report.final_message();
  EXPECT_NE(report.failures[0].find(desktop + "/Zarnik.lnk (" + desktop + " je odkaz"),
            std::string::npos)
      << report.failures[0];

  // The applications folder a link: no menu shortcut either.
  fs::remove(desktop);
  fs::create_directories(desktop);
  fs::create_directories(elsewhere + "/Programy/ZARNIK");
  std::ofstream(elsewhere + "/Programy/ZARNIK/Zarnik.lnk") << "the user's too";
  const auto untouched_too = tree(elsewhere);
  fs::remove_all(menu);
  fs::create_directory_symlink(elsewhere, menu);
  report = run();
  EXPECT_EQ(tree(elsewhere), untouched_too);
  EXPECT_EQ(report.failures.size(), 3u) << report.final_message();
  EXPECT_TRUE(fs::exists(desktop + "/Zarnik.lnk"));
  fs::remove(menu);
  fs::create_directories(menu);

  // Somebody else's Zarnik.lnk on a real desktop stays as it is.
  fs::remove(desktop + "/Zarnik.lnk");
  std::ofstream(desktop + "/Zarnik.lnk") << "the user's own";
  report = run();
  EXPECT_EQ(read_text(desktop + "/Zarnik.lnk"), "the user's own");
  ASSERT_EQ(report.failures.size(), 1u) << report.final_message();
  EXPECT_NE(report.failures[0].find("Zarnik.lnk (není to zástupce hry)"), std::string::npos)
      << report.failures[0];
}

// Paths that would put the game or its record somewhere unintended are
// refused before anything is written: relative ones, ones with "." or "..",
// and ones longer than the system allows.
TEST_F(InstallTest, TargetsThatAreNoPlainAbsolutePathAreRefusedBeforeAnythingIsWritten) {
  make_payload(source);
  const auto before = tree(home.path());
  const std::string long_name(200, 'x');
  std::string too_long = home.path();
  while (too_long.size() < 4200) too_long += "/" + long_name;
  for (const std::string& bad :
       {std::string("Hry/zarnik"), home / "Hry/../zarnik", home / "Hry/./zarnik",
        home / "Hry//zarnik", too_long + "/zarnik", home / (std::string(300, 'y') + "/zarnik")}) {
    SCOPED_TRACE(bad.substr(0, 120));
    target = bad;
    const auto report = run();
    EXPECT_FALSE(report.refusal.empty());
    EXPECT_EQ(tree(home.path()), before);
  }
  target = home / "Hry/zarnik";
  EXPECT_NE(installer::installation_refusal(target, "relative/config").find("úplnou cestou"),
            std::string::npos);
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
  // A relative one is no folder: it would put the game wherever the
  // installer runs.
  ::setenv("XDG_DATA_HOME", "data", 1);
  EXPECT_EQ(installer::default_target_folder(), home / ".local/share/zarnik");
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
