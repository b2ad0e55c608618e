// Shortcuts through the shell's own object, read back through it (the test
// script reads the same files on the host with lnkinfo), with folder names
// no 8-bit code page holds whole; the shell folders from the registry; the
// settings file in the Windows directory, or in the per-user folder where
// that is not writable.
#include <gtest/gtest.h>
// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>
// clang-format on

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/services.h"
#include "platform/win32/shell.h"
#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"
#include "shell/settings_file.h"
#include "shell/shell_folders.h"
#include "shell/shortcut.h"
#include "tests/win32/shell_folders_for_test.h"

namespace platform::win32 {
namespace {

namespace fs = std::filesystem;

// Where the shortcuts the host checks are left.
const std::string kLinks = "C:\\zarnik-tests\\links";

struct Com {
  Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~Com() { CoUninitialize(); }
};

struct LinkSeen {
  bool loaded = false;
  std::string path, working_directory;
};

LinkSeen load_link(const std::string& file) {
  LinkSeen seen;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return seen;
  IPersistFile* pf = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf)))) {
    if (SUCCEEDED(pf->Load(utf16(file).c_str(), STGM_READ))) {
      wchar_t buf[MAX_PATH] = L"";
      link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
      seen.path = utf8(buf);
      buf[0] = 0;
      link->GetWorkingDirectory(buf, MAX_PATH);
      seen.working_directory = utf8(buf);
      seen.loaded = true;
    }
    pf->Release();
  }
  link->Release();
  return seen;
}

std::vector<uint8_t> bytes_of(const std::string& path) {
  std::ifstream f(fs::path(utf16(path)), std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// A game folder with Czech letters that both the Western and the Czech code
// page spell. (Wine's shortcut object keeps the target in the system's code
// page only, so a name beyond it cannot be read back under Wine; Windows
// keeps it in UTF-16 too.)
const std::string kCzechGame = "C:\\zarnik-tests\\Hry a zábava\\Žárník\\zarnik";

class WinShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    fs::create_directories(kLinks, ec);
    for (const std::string folder : {std::string("C:\\zarnik-tests\\Hry\\zarnik"), kCzechGame}) {
      fs::create_directories(fs::path(utf16(folder)), ec);
      std::ofstream(fs::path(utf16(folder + "\\zarnik.exe"))) << "MZ";
    }
  }
  Com com;
  WinShell shell;
};

TEST_F(WinShellTest, AShortcutSavedThroughTheShellReadsBackWithItsTargetAndFolder) {
  const std::string target = "C:\\zarnik-tests\\Hry\\zarnik\\zarnik.exe";
  const std::string link = kLinks + "\\zarnik.lnk";
  ASSERT_TRUE(shell.save_shortcut(link, "C:\\zarnik-tests\\other.exe", "C:\\"));
  // Saving again replaces the first file whole.
  ASSERT_TRUE(shell.save_shortcut(link, target, "C:\\zarnik-tests\\Hry\\zarnik\\"));
  const LinkSeen seen = load_link(link);
  ASSERT_TRUE(seen.loaded);
  EXPECT_EQ(seen.path, target);
  EXPECT_EQ(seen.working_directory, "C:\\zarnik-tests\\Hry\\zarnik\\");
  for (const auto& e : fs::directory_iterator(kLinks))
    EXPECT_EQ(e.path().extension(), ".lnk") << "a temporary file left behind: " << e.path();

  // A folder that does not exist: nothing is written, and that is reported.
  EXPECT_FALSE(shell.save_shortcut("C:\\zarnik-tests\\missing\\x.lnk", target, "C:\\"));
  EXPECT_FALSE(fs::exists("C:\\zarnik-tests\\missing"));

  // Czech letters in the shortcut's own path and in what it leads to, read
  // back as they were written; the shortcut's own name may hold any letter.
  const std::string in_game = kCzechGame + "\\zarnik.lnk";
  ASSERT_TRUE(shell.save_shortcut(in_game, kCzechGame + "\\zarnik.exe", kCzechGame + "\\"));
  const LinkSeen czech = load_link(in_game);
  ASSERT_TRUE(czech.loaded) << in_game;
  EXPECT_EQ(czech.path, kCzechGame + "\\zarnik.exe");
  EXPECT_EQ(czech.working_directory, kCzechGame + "\\");
  const std::string any_name = kLinks + "\\Střílečky ☃.lnk";
  ASSERT_TRUE(shell.save_shortcut(any_name, kCzechGame + "\\zarnik.exe", kCzechGame + "\\"));
  EXPECT_EQ(load_link(any_name).path, kCzechGame + "\\zarnik.exe");
  // The file as the uninstaller reads it names the same target.
  EXPECT_EQ(shell::read_shell_link_target(platform::read_file(any_name)),
            kCzechGame + "\\zarnik.exe");
}

TEST_F(WinShellTest, TheGamesShortcutRoutineGoesThroughTheShellOnceInstalled) {
  Services s;
  s.shell = &shell;
  install(s);
  const std::string target = "C:\\zarnik-tests\\Hry\\zarnik\\zarnik.exe";
  // The game's own rule: directory + link name, the directory ending in a
  // backslash; the working directory is the target's folder.
  ASSERT_TRUE(shell::make_shortcut(target, kLinks + "\\", "game.lnk", shell::LinkPath::Joined));
  // The installer's rule keeps the doubled separator, which Windows accepts.
  ASSERT_TRUE(
      shell::make_shortcut(target, kLinks + "\\", "setup.lnk", shell::LinkPath::WithSeparator));
  install({});
  for (const char* name : {"game.lnk", "setup.lnk"}) {
    const LinkSeen seen = load_link(kLinks + "\\" + name);
    ASSERT_TRUE(seen.loaded) << name;
    EXPECT_EQ(seen.path, target);
    EXPECT_EQ(seen.working_directory, "C:\\zarnik-tests\\Hry\\zarnik\\");
  }
}

TEST(WinPaths, ShortcutPathRulesWithBackslashes) {
  EXPECT_EQ(shell::folder_part("C:\\Hry\\zarnik\\zarnik.exe"), "C:\\Hry\\zarnik\\");
  EXPECT_EQ(shell::folder_part("C:\\zarnik.exe"), "C:\\");
  EXPECT_EQ(shell::folder_part("zarnik.exe"), "");
  // The game joins, the installer adds a separator (doubled when the folder
  // already ends in one, which Windows accepts).
  EXPECT_EQ(shell::link_path("C:\\g\\", "zarnik.lnk", shell::LinkPath::Joined),
            "C:\\g\\zarnik.lnk");
  EXPECT_EQ(shell::link_path("C:\\g\\", "zarnik.lnk", shell::LinkPath::WithSeparator),
            "C:\\g\\\\zarnik.lnk");
  EXPECT_EQ(shell::program_folder("C:\\S\\Programs", "ZARNIK"), "C:\\S\\Programs\\ZARNIK\\");
  EXPECT_EQ(shell::old_program_folder("C:\\S", "ZARNIK"), "C:\\S\\Programy\\ZARNIK\\");
}

TEST_F(WinShellTest, TheInstallersShortcutsGoToTheDesktopAndTheShellsProgramsFolder) {
  // Czech names, as a Czech account has them, and the folder of programs
  // where Windows keeps it: in the Start menu, named "Programs" whatever
  // the system's language.
  const std::string root = "C:\\zarnik-tests\\shell";
  const std::string desktop = root + "\\Plocha Jiří", start = root + "\\Nabídka Start";
  const std::string programs = start + "\\Programs";
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(fs::path(utf16(desktop)));
  fs::create_directories(fs::path(utf16(start)));
  std::vector<std::string> written{"earlier"};
  std::vector<std::string> failed;
  {
    ShellFoldersSetForTest folders;
    ASSERT_TRUE(folders.ready());
    folders.set("Desktop", desktop);
    folders.set("Start Menu", start);
    folders.set("Programs", programs);
    EXPECT_EQ(shell.folder(platform::kPrograms), programs);
    Services s;
    s.shell = &shell;
    install(s);
    failed = shell::ikona(kCzechGame + "\\zarnik.exe", "ZARNIK", "Zarnik.lnk", true, written);
    install({});
  }
  EXPECT_TRUE(failed.empty());
  const std::string in_menu = programs + "\\ZARNIK\\Zarnik.lnk";
  EXPECT_EQ(written, (std::vector<std::string>{"earlier", desktop + "\\Zarnik.lnk", in_menu}));
  for (const std::string& link : {written[1], in_menu}) {
    const LinkSeen seen = load_link(link);
    ASSERT_TRUE(seen.loaded) << link;
    EXPECT_EQ(seen.path, kCzechGame + "\\zarnik.exe");
    EXPECT_EQ(seen.working_directory, kCzechGame + "\\");
  }
  EXPECT_FALSE(fs::exists(fs::path(utf16(start + "\\Programy")))) << "nothing beside Programs";
}

TEST_F(WinShellTest, ShellFoldersComeFromTheRegistryAndAMissingValueIsEmpty) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ | KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  const std::string desktop = shell.folder("Desktop");
  const std::string start = shell.folder("Start Menu");
  EXPECT_EQ(fs::path(desktop).filename(), "Desktop");
  EXPECT_EQ(fs::path(start).filename(), "Start Menu");
  // The Start menu lists what lies in its folder of programs.
  EXPECT_EQ(shell.folder(platform::kPrograms), start + "\\Programs");
  EXPECT_EQ(desktop.rfind("C:\\", 0), 0u) << desktop;
  EXPECT_NE(desktop.back(), '\\');
  EXPECT_EQ(shell.folder("No Such Folder"), "");

  // A value written with variables in it is expanded.
  const char value[] = "%SystemRoot%\\ZarnikTest\\";
  ASSERT_EQ(RegSetValueExA(key, "ZarnikTest", 0, REG_EXPAND_SZ,
                           reinterpret_cast<const BYTE*>(value), sizeof value),
            ERROR_SUCCESS);
  EXPECT_EQ(shell.folder("ZarnikTest"), system_windows_directory() + "\\ZarnikTest");
  RegDeleteValueA(key, "ZarnikTest");

  // A fresh account's key lacks the values until the shell is first asked
  // for the folders: the shell is then asked.
  for (const char* name : {"Start Menu", "Programs"}) {
    const std::string before = shell.folder(name);
    RegDeleteValueA(key, name);
    EXPECT_EQ(shell.folder(name), before) << name;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(before.c_str()),
                   DWORD(before.size() + 1));
  }
  RegCloseKey(key);

  // shell/ asks the installed shell.
  Services s;
  s.shell = &shell;
  install(s);
  EXPECT_EQ(shell::shell_folder("Desktop"), desktop);
  install({});
}

TEST(WinSettings, TheSettingsFileIsInTheWindowsDirectoryWithCrLfLines) {
  const std::string windows = system_windows_directory();
  ASSERT_TRUE(folder_is_writable(windows)) << "Wine's Windows directory is writable";
  EXPECT_EQ(settings_directory(), windows);
  const std::string path = shell::settings_file_path();
  EXPECT_EQ(path, windows + "\\zarnik.ini");
  shell::write_settings_lines(path, {"800", "600", "ALFA", "C:\\Hry\\zarnik\\zarnik.lnk"});
  const std::vector<uint8_t> b = bytes_of(path);
  const std::string text(b.begin(), b.end());
  EXPECT_EQ(text, "800\r\n600\r\nALFA\r\nC:\\Hry\\zarnik\\zarnik.lnk\r\n");
  EXPECT_EQ(shell::read_settings_lines(path).size(), 4u);

  // The installer's and uninstaller's lines are UTF-8 in the program and the
  // system's code page in the file; a line the code page cannot spell
  // leaves the file as it was.
  const std::string czech = "C:\\Hry a zábava\\Žárník\\zarnik.lnk";
  std::string in_file;
  ASSERT_TRUE(to_file_text(czech, in_file)) << "the Western and the Czech code page spell it";
  shell::write_settings_text(path, {"800", "600", "", czech});
  const std::vector<uint8_t> c = bytes_of(path);
  EXPECT_EQ(std::string(c.begin(), c.end()), "800\r\n600\r\n\r\n" + in_file + "\r\n");
  EXPECT_EQ(shell::read_settings_text(path), (std::vector<std::string>{"800", "600", "", czech}));
  if (ansi_code_page() == 1252) {
    EXPECT_EQ(in_file,
              "C:\\Hry a z\xE1"
              "bava\\\x8E\xE1rn\xEDk\\zarnik.lnk");
    EXPECT_THROW(shell::write_settings_text(path, {"C:\\Střílečky\\zarnik.lnk"}),
                 std::runtime_error);
    EXPECT_EQ(bytes_of(path), c);
    EXPECT_EQ(shell::unspellable_characters("C:\\Střílečky ☃"), "řč☃");
  }
  DeleteFileA(path.c_str());
}

TEST(WinSettings, WhereTheWindowsDirectoryIsNotWritableThePerUserFolderIsUsed) {
  const std::string per_user = "C:\\zarnik-tests\\per-user";
  std::error_code ec;
  fs::remove_all(per_user, ec);
  // A file in place of a folder: nobody can create files in it.
  const std::string locked = "C:\\zarnik-tests\\locked";
  std::ofstream(locked) << "x";
  EXPECT_FALSE(folder_is_writable(locked));
  EXPECT_EQ(choose_settings_directory(locked, per_user), per_user);
  EXPECT_TRUE(fs::is_directory(per_user)) << "made ready for the first save";
  EXPECT_EQ(choose_settings_directory(locked, ""), locked) << "nothing better to offer";
  EXPECT_EQ(choose_settings_directory(system_windows_directory(), per_user),
            system_windows_directory());
  // The probe leaves nothing behind.
  for (const auto& e : fs::directory_iterator(system_windows_directory()))
    EXPECT_NE(e.path().extension(), ".probe");
  const std::string appdata = per_user_settings_directory();
  EXPECT_EQ(fs::path(appdata).filename(), "Zarnik");
}

}  // namespace
}  // namespace platform::win32
