// The uninstallation on Windows: an installation made by installer::install
// through the shell (real shortcuts, the registry's desktop and Start menu,
// the settings file and the record in the Windows directory), then removed
// by the built uninstall.exe run as a child process, or planned and carried
// out here to see the Windows rules: paths in any case, files at the
// installation's names that are somebody else's, decoys the settings file
// names, a folder swapped after the plan, and junctions where the system can
// make them.
#include <gtest/gtest.h>
// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <winioctl.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "harness/win32_game_window.h"
#include "installer/core/install.h"
#include "installer/core/record.h"
#include "installer/core/registration.h"
#include "installer/core/uninstall.h"
#include "installer/core/uninstall_program.h"
#include "installer/win32/registry.h"
#include "platform/files.h"
#include "platform/folder_entries.h"
#include "platform/services.h"
#include "platform/win32/shell.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string kRoot = "C:\\zarnik-uninstall-tests";

struct QuietUi : installer::InstallUi {
  void set_progress(int) override {}
  bool ask_desktop_shortcut() override { return true; }
  void show_error(const std::string&) override {}
};

void write(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string upper(std::string s) {
  for (char& c : s) c = char(std::toupper(uint8_t(c)));
  return s;
}

std::set<std::string> names_in(const std::string& folder) {
  std::set<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) out.insert(e.path().filename().string());
  return out;
}

// A junction at `link` to the folder `target`; false where the system makes
// none (Wine answers that it is not supported).
bool make_junction(const std::string& link, const std::string& target) {
  if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
  HANDLE h = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  const std::wstring substitute = L"\\??\\" + std::wstring(target.begin(), target.end());
  const std::wstring print(target.begin(), target.end());
  // The mount-point form of the reparse data: tag, sizes, then both names.
  std::vector<uint8_t> data(8 + 8 + (substitute.size() + print.size() + 2) * 2);
  auto put16 = [&](size_t at, size_t v) {
    data[at] = uint8_t(v);
    data[at + 1] = uint8_t(v >> 8);
  };
  const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
  std::memcpy(data.data(), &tag, 4);
  put16(4, data.size() - 8);
  put16(8, 0);
  put16(10, substitute.size() * 2);
  put16(12, substitute.size() * 2 + 2);
  put16(14, print.size() * 2);
  std::memcpy(data.data() + 16, substitute.c_str(), substitute.size() * 2 + 2);
  std::memcpy(data.data() + 16 + substitute.size() * 2 + 2, print.c_str(), print.size() * 2 + 2);
  DWORD got = 0;
  const bool made =
      h != INVALID_HANDLE_VALUE && DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, data.data(),
                                                   DWORD(data.size()), nullptr, 0, &got, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (!made) RemoveDirectoryA(link.c_str());
  return made;
}

// An installation into kRoot\Hry\zarnik with the payload of kRoot\dist (the
// built uninstall.exe among it), its shortcuts in the registry's desktop and
// Start menu, and the settings file and the record in the Windows directory.
class WinUninstall : public ::testing::Test {
 protected:
  platform::win32::WinShell shell;
  std::string source = kRoot + "\\dist";
  std::string d = kRoot + "\\Hry\\zarnik";
  std::string desktop, programs, programy, windows_dir, settings, record;

  void SetUp() override {
    std::error_code ec;
    fs::remove_all(kRoot, ec);
    platform::Services s;
    s.shell = &shell;
    platform::install(s);
    desktop = shell.folder("Desktop");
    programy = shell.folder("Start Menu") + "\\Programy";  // where older installations went
    programs = shell.folder("Programs") + "\\ZARNIK";
    ASSERT_FALSE(desktop.empty());
    ASSERT_FALSE(fs::exists(programs)) << "left by an earlier run";
    windows_dir = platform::settings_directory();
    settings = windows_dir + "\\zarnik.ini";
    record = installer::record_path(windows_dir);
    fs::remove(record, ec);
    for (const auto& f : installer::kPayload) write(source + "\\" + f.source, f.source);
    fs::copy_file(game_window::run_dir(ZARNIK_UNINSTALL_EXE), source + "\\uninstall.exe",
                  fs::copy_options::overwrite_existing);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(kRoot, ec);
    fs::remove_all(programs, ec);
    fs::remove_all(programy + "\\ZARNIK", ec);
    fs::remove(programy, ec);  // only when empty
    fs::remove(desktop + "\\Zarnik.lnk", ec);
    fs::remove(settings, ec);
    fs::remove(record, ec);
    std::string ignored;
    installer::win32::Registry().remove(installer::kRegistrationKey, ignored);
    // uninstall.exe moves its own running program into the temporary folder.
    for (const auto& e : fs::directory_iterator(fs::temp_directory_path(), ec))
      if (e.path().filename().string().rfind("zarnik-uninstall-", 0) == 0) fs::remove(e.path(), ec);
    platform::install({});
  }

  void install() {
    QuietUi ui;
    const auto report = installer::install(source + "\\", d, windows_dir, ui);
    ASSERT_TRUE(report.failures.empty()) << report.final_message();
  }
  Lines lines() { return shell::read_settings_text(settings); }
  installer::UninstallPlan plan() {
    return installer::plan_uninstall(installer::read_record(record), record, lines(), settings);
  }
  std::set<std::string> left_alone(const installer::UninstallPlan& p) {
    std::set<std::string> out;
    for (const auto& l : p.left_alone) out.insert(l.line);
    return out;
  }

  // Runs uninstall.exe from the game folder with `args`, in another current
  // folder; its exit code, and what it printed in `output`.
  DWORD run_uninstaller(const std::string& args, std::string& output) {
    return run_uninstaller_in(d, args, output);
  }
  // The same for the uninstall.exe in `folder`.
  DWORD run_uninstaller_in(const std::string& folder, const std::string& args,
                           std::string& output) {
    const std::string log = kRoot + "\\uninstall.log";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + folder + "\\uninstall.exe\" " + args;
    DWORD code = 999;
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, "C:\\", &si, &pi)) {
      if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    output = read(log);
    fs::remove(log);
    return code;
  }
};

// What the player meets: uninstall.exe removes the whole installation with
// the folders it made, its own program included; "--yes" keeps the score
// table the game wrote, and with it the game folder, and says so. What
// others put beside the installation stays: in the game folder, on the
// desktop, in the program folder.
TEST_F(WinUninstall, UninstallExeRemovesTheInstallationAndLeavesWhatOthersPutBesideIt) {
  ASSERT_NO_FATAL_FAILURE(install());
  write(d + "\\data.dat", "scores");  // what the game adds when it runs
  const Lines installed = lines();
  ASSERT_EQ(installed.size(), 18u);
  std::string output;
  ASSERT_EQ(run_uninstaller("--yes", output), 0u) << output;
  EXPECT_NE(output.find("ODINSTALACE JE HOTOVA"), std::string::npos) << output;
  EXPECT_NE(output.find("tabulka rekordů " + d + "\\data.dat"), std::string::npos) << output;
  EXPECT_NE(output.find("soubor nastavení " + settings), std::string::npos) << output;
  for (size_t i = 3; i + 1 < installed.size(); ++i) EXPECT_FALSE(fs::exists(installed[i])) << i;
  EXPECT_EQ(lines(), Lines(installed.begin(), installed.begin() + 4)) << "the game's four lines";
  EXPECT_EQ(names_in(d), std::set<std::string>{"data.dat"}) << "uninstall.exe left";
  EXPECT_FALSE(fs::exists(programs));
  EXPECT_FALSE(fs::exists(programy)) << "nothing goes into the older place";
  EXPECT_TRUE(fs::is_directory(kRoot + "\\Hry")) << "the game folder's parent is not ours";

  // Again, with the files of others beside ours, and the scores taken too.
  install();
  write(d + "\\mine.txt", "the player's notes");
  write(kRoot + "\\Hry\\zarnik.exe", "another program");
  write(desktop + "\\zarnik-holiday.txt", "mine");
  ASSERT_TRUE(shell.save_shortcut(programs + "\\other.lnk", "C:\\windows\\notepad.exe", "C:\\"));
  const auto result =
      installer::perform_uninstall(plan(), /*keep_scores=*/false, /*keep_settings=*/false);
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  EXPECT_EQ(names_in(d), std::set<std::string>{"mine.txt"});
  EXPECT_EQ(names_in(programs), std::set<std::string>{"other.lnk"});
  EXPECT_EQ(read(kRoot + "\\Hry\\zarnik.exe"), "another program");
  EXPECT_EQ(read(desktop + "\\zarnik-holiday.txt"), "mine");
  EXPECT_FALSE(fs::exists(desktop + "\\Zarnik.lnk"));
  EXPECT_FALSE(fs::exists(settings));
  EXPECT_FALSE(fs::exists(record));
  fs::remove(desktop + "\\zarnik-holiday.txt");

  // Nothing installed: it says so and fails.
  write(d + "\\uninstall.exe", read(source + "\\uninstall.exe"));
  EXPECT_EQ(run_uninstaller("--yes", output), 1u) << output;
  EXPECT_NE(output.find("není nainstalována"), std::string::npos) << output;
}

// The shell as an older installer used it: its Start-menu program folder
// went into "Programy" under the Start menu, which the Start menu of
// Windows does not list.
struct OlderShell : platform::Shell {
  platform::win32::WinShell& real;
  explicit OlderShell(platform::win32::WinShell& shell) : real(shell) {}
  bool save_shortcut(const std::string& link, const std::string& target,
                     const std::string& working_directory) override {
    return real.save_shortcut(link, target, working_directory);
  }
  std::string folder(const std::string& name) override {
    if (name == platform::kPrograms) return real.folder(platform::kStartMenu) + "\\Programy";
    return real.folder(name);
  }
};

// An installation whose shortcuts lie in the older place, "Programy\ZARNIK"
// under the Start menu, is found there by its record: uninstall.exe run
// today takes the shortcuts and the two folders the installation made, and
// leaves the Programs folder's own alone.
TEST_F(WinUninstall, AnOlderInstallationsProgramFolderGoesByItsRecord) {
  ASSERT_FALSE(fs::exists(programy)) << "left by an earlier run";
  {
    OlderShell older(shell);
    platform::Services s;
    s.shell = &older;
    platform::install(s);
    QuietUi ui;
    const auto report = installer::install(source + "\\", d, windows_dir, ui);
    platform::Services now;
    now.shell = &shell;
    platform::install(now);
    ASSERT_TRUE(report.failures.empty()) << report.final_message();
  }
  ASSERT_TRUE(fs::exists(programy + "\\ZARNIK\\Zarnik.lnk"));
  ASSERT_FALSE(fs::exists(programs));
  std::string output;
  ASSERT_EQ(run_uninstaller("--yes", output), 0u) << output;
  EXPECT_NE(output.find("ODINSTALACE JE HOTOVA"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(programy)) << "the older program folder and its Programy parent";
  EXPECT_FALSE(fs::exists(desktop + "\\Zarnik.lnk"));
  EXPECT_FALSE(fs::exists(d));
  EXPECT_TRUE(fs::is_directory(shell.folder(platform::kPrograms))) << "the system's own";
}

// Windows compares names without regard to case: a record whose paths are
// spelt in another case names the same files and folders, each removed once.
TEST_F(WinUninstall, RecordPathsInAnyCaseNameTheSameFiles) {
  ASSERT_NO_FATAL_FAILURE(install());
  const auto as_installed = plan();
  const auto written = installer::read_record(record);
  ASSERT_TRUE(written);
  Lines l = installer::record_lines(*written);
  // Every other entry's path upper-cased: the path is what follows the
  // entry's words ("folder made ID", "file SIZE DIGEST", "shortcut PROGRAM").
  for (size_t i = 1; i < l.size(); i += 2) {
    const std::string keyword = l[i].substr(0, l[i].find(' '));
    const int words = keyword == "folder" || keyword == "file" ? 3 : keyword == "shortcut" ? 2 : 1;
    size_t at = 0;
    for (int w = 0; w < words; ++w) at = l[i].find(' ', at) + 1;
    l[i] = l[i].substr(0, at) + upper(l[i].substr(at));
  }
  shell::write_settings_lines(record, l);
  const auto p = plan();
  EXPECT_TRUE(p.refusal.empty()) << p.refusal;
  EXPECT_TRUE(p.left_alone.empty())
      << p.left_alone.front().line << ": " << p.left_alone.front().reason;
  EXPECT_EQ(p.files.size(), as_installed.files.size());
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_FALSE(fs::exists(d));
  EXPECT_FALSE(fs::exists(programs));
}

// Files at the installation's names that are not its own any more: a
// shortcut to another program or to ours in another folder, a text under a
// shortcut's name, a changed program. Each is reported and kept; so are the
// lines of the settings file that the record does not name.
TEST_F(WinUninstall, FilesAtOurNamesThatAreNotOursAreReportedAndKept) {
  install();
  const std::string other = kRoot + "\\Jine\\zarnik";
  write(other + "\\zarnik.exe", "another copy");
  ASSERT_TRUE(shell.save_shortcut(desktop + "\\Zarnik.lnk", other + "\\zarnik.exe", other + "\\"));
  ASSERT_TRUE(shell.save_shortcut(programs + "\\setup.lnk", "C:\\windows\\notepad.exe", "C:\\"));
  write(programs + "\\uninstall.lnk", "not a shortcut");
  write(d + "\\setup.exe", "patched by the player");
  write(kRoot + "\\Hry\\data.dat", "the player's own");
  Lines l = lines();
  const Lines decoys{d + "\\..\\data.dat", other + "\\zarnik.exe", "C:zarnik.exe", "\\\\.\\nul",
                     d + "\\"};
  l.insert(l.end(), decoys.begin(), decoys.end());
  shell::write_settings_lines(settings, l);

  const auto p = plan();
  auto expected = std::set<std::string>(decoys.begin(), decoys.end());
  expected.insert({desktop + "\\Zarnik.lnk", programs + "\\setup.lnk", programs + "\\uninstall.lnk",
                   d + "\\setup.exe"});
  EXPECT_EQ(left_alone(p), expected);
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(read(other + "\\zarnik.exe"), "another copy");
  EXPECT_EQ(read(kRoot + "\\Hry\\data.dat"), "the player's own");
  EXPECT_EQ(read(programs + "\\uninstall.lnk"), "not a shortcut");
  EXPECT_EQ(read(d + "\\setup.exe"), "patched by the player");
  EXPECT_TRUE(fs::exists(desktop + "\\Zarnik.lnk"));
  EXPECT_EQ(names_in(programs), (std::set<std::string>{"setup.lnk", "uninstall.lnk"}));
  EXPECT_EQ(names_in(d), std::set<std::string>{"setup.exe"});
}

// The decoys of the settings file and of a swapped game folder, as far as
// Wine can make them: the user's own folder named zarnik listed in lines 4
// and 5, "..", a game folder replaced by another folder of its name with
// the very bytes an installation writes. Not one of the user's files goes.
TEST_F(WinUninstall, DecoysLoseNothing) {
  install();
  const std::string mine = kRoot + "\\Projekty\\zarnik";
  auto decoy = [&](const std::string& folder) {
    for (const auto& f : installer::kPayload)
      write(folder + "\\" + f.target, read(source + "\\" + f.source));
    write(folder + "\\data.dat", "the user's scores");
    write(folder + "\\zarnik.lnk", read(d + "\\zarnik.lnk"));
  };
  decoy(mine);
  Lines l = lines();
  l[3] = mine + "\\zarnik.lnk";
  l[4] = mine + "\\zarnik.exe";
  l.push_back(d + "\\..\\..\\Projekty\\zarnik\\data.dat");
  shell::write_settings_lines(settings, l);
  // The game folder moved away and a folder of the user's own in its place.
  fs::rename(d, kRoot + "\\Hry\\zarnik.old");
  decoy(d);
  const auto before_mine = names_in(mine), before_d = names_in(d);
  const auto p = plan();
  for (const auto& f : p.files)
    EXPECT_FALSE(platform::same_name(f.folder, d) || platform::same_name(f.folder, mine))
        << f.path();
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(names_in(mine), before_mine);
  EXPECT_EQ(names_in(d), before_d);
  EXPECT_EQ(read(d + "\\data.dat"), "the user's scores");
}

// The plan is checked again as it is carried out: a program folder swapped
// for another after the question, and a file replaced by a folder, are not
// touched.
TEST_F(WinUninstall, WhatChangedAfterThePlanIsNotRemoved) {
  install();
  const auto p = plan();
  fs::rename(programs, programs + ".old");
  fs::create_directories(programs);
  write(programs + "\\Zarnik.lnk", "someone else's");
  fs::remove(d + "\\hra.mid");
  fs::create_directories(d + "\\hra.mid");
  const auto result = installer::perform_uninstall(p, false, false);
  ASSERT_EQ(result.failures.size(), 4u) << "hra.mid and the three shortcuts of the moved folder";
  EXPECT_NE(result.failures[0].find("hra.mid"), std::string::npos) << result.failures[0];
  EXPECT_EQ(read(programs + "\\Zarnik.lnk"), "someone else's");
  EXPECT_TRUE(fs::exists(programs + ".old\\Zarnik.lnk"));
  EXPECT_TRUE(fs::is_directory(d + "\\hra.mid"));
  EXPECT_FALSE(fs::exists(d + "\\zarnik.exe"));
  fs::remove_all(programs + ".old");
}

// A junction is never followed and never removed: one in the game folder
// leading elsewhere keeps what lies behind it, one under an owned name
// stays, and a game folder replaced by a junction to another folder of the
// same content loses nothing there.
TEST_F(WinUninstall, JunctionsAreNeitherFollowedNorRemoved) {
  install();
  const std::string elsewhere = kRoot + "\\Dokumenty";
  write(elsewhere + "\\zarnik.exe", "the player's own");
  if (!make_junction(d + "\\docs", elsewhere))
    GTEST_SKIP() << "this system makes no junctions (Wine: not supported)";
  fs::remove(d + "\\menu.mid");
  ASSERT_TRUE(make_junction(d + "\\menu.mid", elsewhere));
  const auto p = plan();
  EXPECT_EQ(left_alone(p), (std::set<std::string>{d + "\\menu.mid"}));
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(read(elsewhere + "\\zarnik.exe"), "the player's own");
  EXPECT_EQ(names_in(d), (std::set<std::string>{"docs", "menu.mid"}));
  RemoveDirectoryA((d + "\\docs").c_str());
  RemoveDirectoryA((d + "\\menu.mid").c_str());
}

// Two installations, each with its uninstall.exe, and the game's entry in
// the system's list of programs (the real registry): each uninstall.exe
// removes its own installation only; the one in the package, which belongs
// to none, removes the only one left; the entry goes with the installation
// that wrote it last.
TEST_F(WinUninstall, EachUninstallExeRemovesItsOwnInstallationAndTheRegistryEntryGoesWithIt) {
  installer::win32::Registry registry;
  installer::set_app_registry(&registry);
  struct Unset {
    ~Unset() { installer::set_app_registry(nullptr); }
  } unset;
  const std::string d2 = kRoot + "\\Jine hry\\zarnik";
  ASSERT_NO_FATAL_FAILURE(install());
  {
    QuietUi ui;
    const auto report = installer::install(source + "\\", d2, windows_dir, ui);
    ASSERT_TRUE(report.failures.empty()) << report.final_message();
  }
  const auto listed = registry.read(installer::kRegistrationKey);
  ASSERT_TRUE(listed) << "no entry in the list of programs";
  std::string location;
  for (const auto& v : *listed)
    if (v.name == "InstallLocation") location = v.text;
  EXPECT_EQ(location, d2) << "the installation made last";

  std::string output;
  ASSERT_EQ(run_uninstaller_in(d2, "--yes", output), 0u) << output;
  EXPECT_FALSE(fs::exists(d2 + "\\zarnik.exe"));
  EXPECT_TRUE(fs::exists(d + "\\zarnik.exe")) << "the other installation lost its program";
  EXPECT_TRUE(fs::exists(d + "\\uninstall.exe"));
  EXPECT_FALSE(registry.read(installer::kRegistrationKey)) << "the entry stayed";

  // The package's uninstall.exe, in no game folder.
  const std::string package = kRoot + "\\balik";
  write(package + "\\uninstall.exe", read(source + "\\uninstall.exe"));
  ASSERT_EQ(run_uninstaller_in(package, "--yes", output), 0u) << output;
  EXPECT_NE(output.find("ODINSTALACE JE HOTOVA"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(d + "\\zarnik.exe"));
  EXPECT_FALSE(fs::exists(programs));
}

// The path rules the record is read by.
TEST(WinPaths, AbsolutePathsNamesAndPlainPaths) {
  for (const char* p : {"C:\\", "c:/x", "\\\\host\\share\\x"})
    EXPECT_TRUE(platform::is_absolute_path(p)) << p;
  for (const char* p : {"C:", "C:x", "\\x", "/x", "x\\y", "\\\\.\\pipe\\x", "\\\\?\\C:\\x", ""})
    EXPECT_FALSE(platform::is_absolute_path(p)) << p;
  EXPECT_TRUE(platform::same_name("Zarnik.LNK", "zarnik.lnk"));
  EXPECT_FALSE(platform::same_name("zarnik.lnk", "zarnik.lnk."));
  EXPECT_TRUE(installer::is_plain_path("C:\\Hry\\zarnik"));
  for (const char* p : {"C:\\", "C:\\Hry\\..\\zarnik", "C:\\Hry\\\\zarnik", "C:\\Hry\\", "Hry"})
    EXPECT_FALSE(installer::is_plain_path(p)) << p;
  EXPECT_EQ(installer::parent_folder("C:\\Hry\\zarnik"), "C:\\Hry");
  EXPECT_EQ(installer::parent_folder("C:\\Hry"), "C:\\");
  EXPECT_EQ(installer::folders_to("C:\\Hry\\zarnik"),
            (std::vector<std::string>{"C:\\Hry", "C:\\Hry\\zarnik"}));
}

}  // namespace
