#include "shell/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "temp_home.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using testing_home::TempHome;

void put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The one reader of the game and the uninstaller: any line end, and nothing
// after a zero byte, so both see the same lines of the same file.
TEST(SettingsFile, ReadingStopsAtAZeroByteAndTakesEveryLineEnd) {
  TempHome home;
  const std::string path = home / "zarnik.ini";
  put(path,
      std::string("800\r\n600\nEVA\r/d/zarnik.lnk\r\n/d/zar\0nik.exe\r\n/home/eva/x\r\n", 57));
  EXPECT_EQ(shell::read_settings_lines(path),
            (Lines{"800", "600", "EVA", "/d/zarnik.lnk", "/d/zar"}));
}

TEST(SettingsFile, NothingOrSomethingElseAtThePathReadsAsNoFileAndTooLargeIsRefused) {
  TempHome home;
  EXPECT_TRUE(shell::read_settings_lines(home / "missing.ini").empty());
  fs::create_directory(home / "folder.ini");
  EXPECT_TRUE(shell::read_settings_lines(home / "folder.ini").empty());
#ifndef _WIN32  // no named pipes in a folder on Windows
  ASSERT_EQ(::mkfifo((home / "pipe.ini").c_str(), 0600), 0);
  EXPECT_TRUE(shell::read_settings_lines(home / "pipe.ini").empty());
#endif

  const std::string big = home / "big.ini";
  fs::resize_file((put(big, "800\r\n"), big), shell::kMaxSettingsFileBytes + 1);
  try {
    shell::read_settings_lines(big);
    ADD_FAILURE() << "a settings file above the limit was read";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(big), std::string::npos) << e.what();
  }
}

// A line holding a line break would become two lines of the file: such a
// list is not written, and the old file stays.
TEST(SettingsFile, ALineWithALineBreakIsNotWritten) {
  TempHome home;
  const std::string path = home / "zarnik.ini";
  shell::write_settings_lines(path, {"800", "600", ""});
  for (const std::string& bad : Lines{"a\nb", "a\rb", std::string("a\0b", 3)}) {
    EXPECT_FALSE(shell::is_single_line(bad));
    EXPECT_THROW(shell::write_settings_lines(path, {"800", "600", "", bad}), std::runtime_error);
  }
  EXPECT_EQ(shell::read_settings_lines(path), (Lines{"800", "600", ""}));
  EXPECT_TRUE(shell::is_single_line("/home/hráč/Hry/zarnik/zarnik.lnk"));
}

}  // namespace
