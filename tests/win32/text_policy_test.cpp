// Windows text at the system's edge: paths are UTF-8 in the programs and go
// through the wide calls, so the file services and the folder entries work in
// folders whose names no 8-bit code page spells; the 8-bit files' text is
// the system's code page, converted at the file's edge without stand-ins.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folder_entries.h"
#include "platform/winapi/files.h"
#include "platform/winapi/utf16.h"

namespace platform::win32 {
namespace {

const std::string kRoot = "C:\\zarnik-tests\\text";
// Czech, Western and neither: a snowman is in no 8-bit code page.
const std::string kFolder = kRoot + "\\Střílečky Ørkén ☃";

class TextPolicy : public ::testing::Test {
 protected:
  void SetUp() override { remove_tree(utf16(kRoot)); }
  void TearDown() override { remove_tree(utf16(kRoot)); }

  static void remove_tree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          remove_tree(path + L"\\" + name);
        else
          DeleteFileW((path + L"\\" + name).c_str());
      } while (FindNextFileW(h, &found));
      FindClose(h);
    }
    RemoveDirectoryW(path.c_str());
  }
};

TEST(Utf16, ConversionsKeepEveryCharacterAndMarkWhatIsBroken) {
  const std::string text = "Žárník ☃ 𝄞";  // a character beyond the 16-bit plane too
  EXPECT_EQ(utf16(text), L"\u017D\u00E1rn\u00EDk \u2603 \U0001D11E");
  EXPECT_EQ(utf8(utf16(text)), text);
  EXPECT_EQ(utf16("a\xC3"), L"a\uFFFD") << "a cut-off sequence is marked, not dropped";
  EXPECT_EQ(utf8(std::wstring(L"a\xD800z")), "a\xEF\xBF\xBDz") << "an unpaired surrogate";
  EXPECT_EQ(utf16(""), L"");
  EXPECT_EQ(utf8(L""), "");
}

TEST(Utf16, TheCodePageSpellsWhatItHasAndRefusesTheRestWithoutStandIns) {
  std::string ansi;
  EXPECT_TRUE(ansi_from_utf16(L"zarnik 800", ansi));
  EXPECT_EQ(ansi, "zarnik 800");
  EXPECT_FALSE(ansi_from_utf16(L"\u2603", ansi)) << "no code page of Windows has a snowman";
  // "ř" is in the Czech code page and not in the Western one, where the
  // system's best fit would write "r".
  const bool czech = ansi_code_page() == 1250;
  EXPECT_EQ(ansi_from_utf16(L"St\u0159\u00EDle\u010Dky", ansi), czech);
  if (czech) EXPECT_EQ(ansi, "St\xF8\xEDle\xE8ky");
  EXPECT_TRUE(ansi_from_utf16(L"\u017D\u00E1rn\u00EDk", ansi)) << "both spell Žárník";
  EXPECT_EQ(utf8(utf16_from_ansi(ansi)), "Žárník");
  // The file services' edge is the same conversion.
  std::string line;
  ASSERT_TRUE(to_file_text("Žárník", line));
  EXPECT_EQ(line, ansi);
  EXPECT_EQ(from_file_text(line), "Žárník");
  EXPECT_FALSE(to_file_text("☃", line));
}

TEST_F(TextPolicy, FilesAndFoldersWithAnyNameAreMadeWrittenReadAndCopied) {
  const std::string deep = kFolder + "\\Hry a zábava\\Žárník";
  ASSERT_FALSE(folder_exists(kFolder));
  ASSERT_TRUE(make_folders(deep)) << "the parents are made with it";
  EXPECT_TRUE(folder_exists(deep));
  EXPECT_TRUE(make_folders(deep)) << "a folder that is there already";
  EXPECT_FALSE(make_folders(deep + "\\nul")) << "a device's name";

  const std::string file = deep + "\\skóre ☃.dat";
  const std::vector<uint8_t> bytes{'Z', 0xE1, 0, '\r', '\n', 0xFF};
  write_file_atomic(file, bytes);
  EXPECT_TRUE(file_exists(file));
  EXPECT_FALSE(file_exists(deep)) << "a folder is no file";
  EXPECT_FALSE(folder_exists(file));
  EXPECT_EQ(read_file(file), bytes);
  copy_file_atomic(file, kFolder + "\\kopie.dat");
  EXPECT_EQ(read_file(kFolder + "\\kopie.dat"), bytes);
  // The system sees the names as they were given.
  EXPECT_NE(GetFileAttributesW(utf16(file).c_str()), INVALID_FILE_ATTRIBUTES);
  // An error names the path as the player wrote it.
  try {
    read_file(deep + "\\chybí.dat");
    FAIL() << "a missing file was read";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(deep + "\\chybí.dat"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("soubor nebyl nalezen (kód 2)"), std::string::npos)
        << e.what();
  }
}

TEST(SystemErrors, TheCommonFailuresAreSaidInCzechWithTheSystemsCode) {
  EXPECT_EQ(system_error_text(ERROR_FILE_NOT_FOUND), "soubor nebyl nalezen (kód 2)");
  EXPECT_EQ(system_error_text(ERROR_ACCESS_DENIED), "přístup byl odepřen (kód 5)");
  EXPECT_EQ(system_error_text(ERROR_DISK_FULL), "na disku není dost místa (kód 112)");
  EXPECT_EQ(system_error_text(ERROR_SHARING_VIOLATION), "soubor používá jiný program (kód 32)");
  // Whatever the system would say of a rarer one, and in whatever language,
  // the player reads Czech.
  EXPECT_EQ(system_error_text(ERROR_CRC), "chyba systému (kód 23)");
}

TEST_F(TextPolicy, TheCurrentFolderAndTheFolderEntriesAreUtf8) {
  ASSERT_TRUE(make_folders(kFolder));
  write_file_atomic(kFolder + "\\Žárník.txt", {'x'});
  wchar_t before[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW(utf16(kFolder).c_str()));
  const std::string here = current_directory();
  SetCurrentDirectoryW(before);
  EXPECT_EQ(here, kFolder) << "the game's folder, as the game keeps it";

  const OpenFolder folder(kFolder);
  ASSERT_TRUE(folder.is_open()) << folder.error();
  const auto names = folder.names();
  EXPECT_NE(std::find(names.begin(), names.end(), "Žárník.txt"), names.end());
  EXPECT_EQ(folder.entry("Žárník.txt").kind(), EntryKind::File);
  EXPECT_EQ(folder.entry("ŽÁRNÍK.TXT").kind(), EntryKind::File) << "names compare without case";
  EXPECT_TRUE(same_name("C:\\Střílečky", "c:\\STŘÍLEČKY"));
  // A folder made by its UTF-8 name is the one its entry and its path open.
  std::string why;
  ASSERT_TRUE(create_folder(kFolder + "\\Hráč", why)) << why;
  const OpenFolder made(kFolder + "\\HRÁČ", LastName::NoFollow);
  ASSERT_TRUE(made.is_open()) << made.error();
  EXPECT_EQ(folder.entry("hráč").identity(), made.identity());
  EXPECT_EQ(path_names(kFolder + "\\Hráč"),
            (std::vector<std::string>{"zarnik-tests", "text", "Střílečky Ørkén ☃", "Hráč"}));
}

}  // namespace
}  // namespace platform::win32
