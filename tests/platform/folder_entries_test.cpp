// The folder entries the uninstaller removes files through: what a name
// holds is judged without following it, and a remove takes the file that
// was looked at, never one that took its name in between.
#include "platform/folder_entries.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct TempFolder {
  fs::path path = fs::temp_directory_path() / ("zarnik-entries-" + std::to_string(::getpid()));
  TempFolder() {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
};

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(FolderEntries, KindsAreSeenWithoutFollowingAndReadsAreBounded) {
  TempFolder t;
  write(t / "file", "0123456789");
  fs::create_directory(t / "sub");
  const platform::OpenFolder folder(t.path.string());
  ASSERT_TRUE(folder.is_open()) << folder.error();
  EXPECT_EQ(folder.identity(), platform::OpenFolder(t.path.string()).identity());
  EXPECT_NE(folder.identity(), platform::OpenFolder(t / "sub").identity());
  EXPECT_FALSE(platform::OpenFolder(t / "file").is_open());

  auto file = folder.entry("file");
  ASSERT_EQ(file.kind(), platform::EntryKind::File);
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(file.read(9, bytes)) << "one byte above the limit";
  ASSERT_TRUE(file.read(10, bytes)) << file.error();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
  EXPECT_EQ(folder.entry("sub").kind(), platform::EntryKind::Folder);
  EXPECT_EQ(folder.entry("missing").kind(), platform::EntryKind::Missing);
  EXPECT_TRUE(folder.entry("missing").remove()) << "already gone counts as removed";

  auto sub = folder.entry("sub");
  EXPECT_FALSE(sub.remove());
  EXPECT_TRUE(fs::is_directory(t / "sub"));
#ifndef _WIN32
  fs::create_symlink(t / "file", t / "link");
  auto link = folder.entry("link");
  EXPECT_EQ(link.kind(), platform::EntryKind::Link);
  EXPECT_FALSE(link.read(100, bytes));
  EXPECT_TRUE(link.remove()) << "the link itself goes";
  EXPECT_FALSE(fs::is_symlink(t / "link"));
  EXPECT_EQ(read(t / "file"), "0123456789") << "never what it leads to";
#endif
}

// Between the look and the remove another file takes the name: it stays.
TEST(FolderEntries, AFileThatTookTheNameAfterTheLookIsNotRemoved) {
  TempFolder t;
  write(t / "ours", "ours");
  const platform::OpenFolder folder(t.path.string());
  auto entry = folder.entry("ours");
  ASSERT_EQ(entry.kind(), platform::EntryKind::File);
  fs::rename(t / "ours", t / "moved");
  write(t / "ours", "somebody else's");
  [[maybe_unused]] const bool removed = entry.remove();
  EXPECT_EQ(read(t / "ours"), "somebody else's");
  // The POSIX systems refuse, seeing another file at the name. (On Windows
  // the handle holds the file looked at wherever it was moved: Windows
  // deletes it there, Wine leaves it.)
#ifndef _WIN32
  EXPECT_FALSE(removed);
  EXPECT_EQ(read(t / "moved"), "ours");
#endif
}

TEST(FolderEntries, OnlyAnEmptyFolderIsRemovedAndNeverThroughALink) {
  TempFolder t;
  fs::create_directories(t / "full");
  write(t / "full/file", "");
  fs::create_directory(t / "empty");
  EXPECT_FALSE(platform::remove_empty_folder(t / "missing"));
  EXPECT_FALSE(platform::remove_empty_folder(t / "full"));
  EXPECT_TRUE(fs::exists(t / "full/file"));
#ifndef _WIN32
  fs::create_directory(t / "target");
  fs::create_directory_symlink(t / "target", t / "link");
  EXPECT_FALSE(platform::remove_empty_folder(t / "link"));
  EXPECT_TRUE(fs::is_symlink(t / "link"));
  EXPECT_TRUE(fs::is_directory(t / "target"));
#endif
  EXPECT_TRUE(platform::remove_empty_folder(t / "empty"));
  EXPECT_FALSE(fs::exists(t / "empty"));
}

}  // namespace
