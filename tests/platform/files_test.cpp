#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

TEST(Lines, SplitAcceptsEveryLineEndAndNoTrailingEmptyLine) {
  std::vector<uint8_t> crlf = {'8', '0', '0', '\r', '\n', '6', '0', '0', '\r', '\n', '\r', '\n'};
  EXPECT_EQ(platform::split_lines(crlf), (std::vector<std::string>{"800", "600", ""}));
  std::vector<uint8_t> mixed = {'a', '\n', 'b', '\r', 'c'};
  EXPECT_EQ(platform::split_lines(mixed), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(platform::split_lines({}).empty());
}

TEST(Lines, JoinWritesCrLfAfterEveryLine) {
  auto bytes = platform::join_lines({"800", "600", ""});
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "800\r\n600\r\n\r\n");
  EXPECT_EQ(platform::split_lines(bytes), (std::vector<std::string>{"800", "600", ""}));
}

TEST(Files, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
  fs::path dir = fs::temp_directory_path() / ("zarnik_files_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string path = (dir / "x.dat").string();
  platform::write_file_atomic(path, {'o', 'l', 'd'});
  platform::write_file_atomic(path, {'n', 'e', 'w', '!'});
  auto back = platform::read_file(path);
  EXPECT_EQ(std::string(back.begin(), back.end()), "new!");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  EXPECT_THROW(platform::read_file((dir / "missing").string()), std::runtime_error);
  EXPECT_THROW(platform::write_file_atomic((dir / "no" / "such").string(), {'x'}),
               std::runtime_error);
  EXPECT_EQ(platform::read_file(path).size(), 4u);
  fs::remove_all(dir);
}

TEST(Files, WindowsDirectoryFollowsXdgConfigHome) {
  ::setenv("XDG_CONFIG_HOME", "/tmp/zarnik-xdg", 1);
  EXPECT_EQ(platform::windows_directory(), "/tmp/zarnik-xdg");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/hrac", 1);
  EXPECT_EQ(platform::windows_directory(), "/home/hrac/.config");
}
