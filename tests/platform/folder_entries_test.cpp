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

// A folder opened without following its last name refuses a link there;
// a folder entry is removed only when it is empty and still that folder.
TEST(FolderEntries, FoldersAreMadeOpenedAndRemovedAsTheVeryFolder) {
  TempFolder t;
  std::string error;
  EXPECT_TRUE(platform::create_folder(t / "made", error)) << error;
  EXPECT_FALSE(platform::create_folder(t / "made", error)) << "the name is taken";
  EXPECT_FALSE(platform::create_folder(t / "no/such/parent", error));
  EXPECT_FALSE(error.empty());

  const platform::OpenFolder folder(t.path.string());
  const platform::OpenFolder made(t / "made", platform::LastName::NoFollow);
  ASSERT_TRUE(made.is_open()) << made.error();
  auto entry = folder.entry("made");
  ASSERT_EQ(entry.kind(), platform::EntryKind::Folder);
  EXPECT_EQ(entry.identity(), made.identity());

  write(t / "made/file", "x");
  EXPECT_FALSE(entry.remove_folder()) << "not empty";
  EXPECT_TRUE(fs::exists(t / "made/file"));
  fs::remove(t / "made/file");
  // Swapped for another folder of the same name after the look: it stays.
  fs::rename(t / "made", t / "moved");
  fs::create_directory(t / "made");
#ifndef _WIN32
  EXPECT_FALSE(entry.remove_folder());
  EXPECT_TRUE(fs::is_directory(t / "made"));
  auto again = folder.entry("made");
  EXPECT_TRUE(again.remove_folder()) << again.error();
  EXPECT_FALSE(fs::exists(t / "made"));
  EXPECT_FALSE(folder.entry("file-less").remove_folder());

  fs::create_directory_symlink(t / "moved", t / "link");
  const platform::OpenFolder through(t / "link", platform::LastName::NoFollow);
  EXPECT_FALSE(through.is_open());
  EXPECT_EQ(through.error(), "je to odkaz");
  EXPECT_TRUE(platform::OpenFolder(t / "link").is_open()) << "followed when asked to";
#endif
}

TEST(FolderEntries, ReadsInPiecesUpToTheLimit) {
  TempFolder t;
  const std::string big(200000, 'z');
  write(t / "big", big);
  const platform::OpenFolder folder(t.path.string());
  auto entry = folder.entry("big");
  std::string got;
  size_t pieces = 0;
  ASSERT_TRUE(entry.read_each(big.size(), [&](const uint8_t* p, size_t n) {
    got.append(reinterpret_cast<const char*>(p), n);
    ++pieces;
  })) << entry.error();
  EXPECT_EQ(got, big);
  EXPECT_GT(pieces, 1u);
  EXPECT_FALSE(entry.read_each(big.size() - 1, [](const uint8_t*, size_t) {}));
}

TEST(PathNames, TheNamesOfAPathWithoutItsRoot) {
#ifdef _WIN32
  EXPECT_EQ(platform::path_names("C:\\Hry\\zarnik"), (std::vector<std::string>{"Hry", "zarnik"}));
  EXPECT_EQ(platform::path_names("\\\\host\\share\\x"), (std::vector<std::string>{"x"}));
  EXPECT_TRUE(platform::path_names("C:\\").empty());
#else
  EXPECT_EQ(platform::path_names("/home/eva/Hry"),
            (std::vector<std::string>{"home", "eva", "Hry"}));
  EXPECT_EQ(platform::path_names("/a//b/"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(platform::path_names("/a/./.."), (std::vector<std::string>{"a", ".", ".."}));
  EXPECT_TRUE(platform::path_names("/").empty());
#endif
}

}  // namespace
