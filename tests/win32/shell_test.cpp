// Shortcuts through the shell's own object, read back through it (the test
// script reads the same files on the host with lnkinfo); the shell folders
// from the registry; the settings file in the Windows directory, or in the
// per-user folder where that is not writable.
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
#include "platform/win32/files.h"
#include "platform/win32/shell.h"
#include "shell/settings_file.h"
#include "shell/shell_folders.h"
#include "shell/shortcut.h"

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
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return seen;
  IPersistFile* pf = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pf)))) {
    const std::wstring w(file.begin(), file.end());
    if (SUCCEEDED(pf->Load(w.c_str(), STGM_READ))) {
      char buf[MAX_PATH] = "";
      link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH);
      seen.path = buf;
      buf[0] = 0;
      link->GetWorkingDirectory(buf, MAX_PATH);
      seen.working_directory = buf;
      seen.loaded = true;
    }
    pf->Release();
  }
  link->Release();
  return seen;
}

std::vector<uint8_t> bytes_of(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class WinShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::error_code ec;
    fs::create_directories(kLinks, ec);
    fs::create_directories("C:\\zarnik-tests\\Hry\\zarnik", ec);
    std::ofstream("C:\\zarnik-tests\\Hry\\zarnik\\zarnik.exe") << "MZ";
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
  EXPECT_EQ(shell::program_folder("C:\\S", "ZARNIK"), "C:\\S\\Programy\\ZARNIK\\");
}

TEST_F(WinShellTest, TheInstallersShortcutsGoToTheRegistrysFoldersAndProgramyIsMade) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ | KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  // Folders of the test's own, named where Windows names them. The shell may
  // write "Shell Folders" anew from "User Shell Folders" when another program
  // asks it for a folder (in a new Wine prefix the desktop went back to its
  // default while other test programs ran), so both keys get the test's
  // folders and are put back afterwards.
  HKEY user_key = nullptr;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                    KEY_READ | KEY_SET_VALUE, &user_key),
      ERROR_SUCCESS);
  auto read_user = [&](const char* name) {
    char buf[MAX_PATH * 4] = "";
    DWORD type = 0, size = sizeof buf - 1;
    if (RegQueryValueExA(user_key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
        ERROR_SUCCESS)
      return std::pair<DWORD, std::string>{REG_NONE, ""};
    buf[std::min<DWORD>(size, sizeof buf - 1)] = '\0';
    return std::pair<DWORD, std::string>{type, buf};
  };
  const auto user_desktop = read_user("Desktop"), user_start = read_user("Start Menu");
  auto set_user = [&](const char* name, DWORD type, const std::string& v) {
    RegSetValueExA(user_key, name, 0, type, reinterpret_cast<const BYTE*>(v.c_str()),
                   DWORD(v.size() + 1));
  };
  auto set = [&](const char* name, const std::string& v) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   DWORD(v.size() + 1));
    set_user(name, REG_SZ, v);
  };
  const std::string desktop = shell.folder("Desktop"), start = shell.folder("Start Menu");
  std::error_code ec;
  fs::remove_all("C:\\zarnik-tests\\shell", ec);
  fs::create_directories("C:\\zarnik-tests\\shell\\Plocha");
  fs::create_directories("C:\\zarnik-tests\\shell\\Nabidka");
  set("Desktop", "C:\\zarnik-tests\\shell\\Plocha");
  set("Start Menu", "C:\\zarnik-tests\\shell\\Nabidka");
  Services s;
  s.shell = &shell;
  install(s);
  const std::string target = "C:\\zarnik-tests\\Hry\\zarnik\\zarnik.exe";
  std::vector<std::string> written{"earlier"};
  const auto failed = shell::ikona(target, "ZARNIK", "Zarnik.lnk", true, written);
  install({});
  set("Desktop", desktop);
  set("Start Menu", start);
  if (user_desktop.first != REG_NONE) set_user("Desktop", user_desktop.first, user_desktop.second);
  if (user_start.first != REG_NONE) set_user("Start Menu", user_start.first, user_start.second);
  RegCloseKey(user_key);
  RegCloseKey(key);
  EXPECT_TRUE(failed.empty());
  const std::string in_menu = "C:\\zarnik-tests\\shell\\Nabidka\\Programy\\ZARNIK\\Zarnik.lnk";
  EXPECT_EQ(written, (std::vector<std::string>{
                         "earlier", "C:\\zarnik-tests\\shell\\Plocha\\Zarnik.lnk", in_menu}));
  for (const std::string& link : {written[1], in_menu}) {
    const LinkSeen seen = load_link(link);
    ASSERT_TRUE(seen.loaded) << link;
    EXPECT_EQ(seen.path, target);
    EXPECT_EQ(seen.working_directory, "C:\\zarnik-tests\\Hry\\zarnik\\");
  }
}

TEST_F(WinShellTest, ShellFoldersComeFromTheRegistryAndAMissingValueIsEmpty) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ | KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  const std::string desktop = shell.folder("Desktop");
  const std::string start = shell.folder("Start Menu");
  EXPECT_EQ(fs::path(desktop).filename(), "Desktop");
  EXPECT_EQ(fs::path(start).filename(), "Start Menu");
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
  ASSERT_EQ(RegDeleteValueA(key, "Start Menu"), ERROR_SUCCESS);
  EXPECT_EQ(shell.folder("Start Menu"), start);
  RegSetValueExA(key, "Start Menu", 0, REG_SZ, reinterpret_cast<const BYTE*>(start.c_str()),
                 DWORD(start.size() + 1));
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
