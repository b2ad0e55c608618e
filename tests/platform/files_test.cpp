#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "platform/file_names.h"
#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A fresh folder under the temporary folder, removed at the end.
struct TempDir {
  std::string path;
  TempDir() {
    std::string templ = (fs::temp_directory_path() / "zarnik-files-XXXXXX").string();
    path = ::mkdtemp(templ.data());
  }
  ~TempDir() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(path)) out.insert(e.path().filename().string());
    return out;
  }
};

std::string text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

[[maybe_unused]] std::string error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "<no error>";
}

// The fault a file operation raised, and its message.
[[maybe_unused]] std::pair<platform::FileFault, std::string> fault_of(
    const std::function<void()>& f) {
  try {
    f();
  } catch (const platform::FileError& e) {
    return {e.fault(), e.what()};
  }
  ADD_FAILURE() << "no FileError";
  return {platform::FileFault::Other, ""};
}

#ifndef _WIN32
pid_t ended_pid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

mode_t permissions(const std::string& path) {
  struct stat st;
  ::stat(path.c_str(), &st);
  return st.st_mode & 0777;
}
#endif

// A page beside the game reaches the browser as a file, whatever its
// folder is called.
TEST(DocumentAddress, EveryByteOfAFolderNameStaysPartOfThePath) {
#ifdef _WIN32
  EXPECT_EQ(platform::document_address("C:\\Hry\\Žárník #1\\napoveda.html"),
            "C:\\Hry\\Žárník #1\\napoveda.html");
#else
  EXPECT_EQ(platform::document_address("/home/jan/Hry/Žárník #1/napoveda.html"),
            "file:///home/jan/Hry/%C5%BD%C3%A1rn%C3%ADk%20%231/napoveda.html");
  EXPECT_EQ(platform::document_address("/a?b=c&d;e'f\"g%h\n/x-y_z.~1"),
            "file:///a%3Fb%3Dc%26d%3Be%27f%22g%25h%0A/x-y_z.~1");
#endif
}

}  // namespace

TEST(Lines, SplitAcceptsEveryLineEndAndNoTrailingEmptyLine) {
  std::vector<uint8_t> crlf = {'8', '0', '0', '\r', '\n', '6', '0', '0', '\r', '\n', '\r', '\n'};
  EXPECT_EQ(platform::split_lines(crlf), (std::vector<std::string>{"800", "600", ""}));
  std::vector<uint8_t> mixed = {'a', '\n', 'b', '\r', 'c'};
  EXPECT_EQ(platform::split_lines(mixed), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(platform::split_lines({}).empty());
  // Reading stops at a zero byte, as both programs read their files.
  std::vector<uint8_t> zero = {'a', '\r', '\n', 'b', 0, 'c', '\n', 'd'};
  EXPECT_EQ(platform::split_lines(zero), (std::vector<std::string>{"a", "b"}));
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

// Pipes, links to devices, permission bits and ended child processes are
// POSIX things; the Windows build leaves these four out.
#ifndef _WIN32
// What is not a regular file, or is larger than the caller allows, is
// refused with a message naming it; a pipe is never opened, so it cannot
// stall the reader.
TEST(Files, ReadRefusesPipesDevicesFoldersAndFilesAboveTheLimit) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero");
  fs::create_directory(dir / "folder");
  std::ofstream(dir / "ten") << "0123456789";

  const auto start = std::chrono::steady_clock::now();
  const auto [pipe_fault, pipe] = fault_of([&] { platform::read_file(dir / "pipe"); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(pipe_fault, platform::FileFault::NotAFile);
  EXPECT_NE(pipe.find(dir / "pipe"), std::string::npos) << pipe;
  EXPECT_EQ(fault_of([&] { platform::read_file(dir / "zero"); }).first,
            platform::FileFault::NotAFile);
  EXPECT_EQ(fault_of([&] { platform::read_file(dir / "folder"); }).first,
            platform::FileFault::Folder);
  const auto [big_fault, big] = fault_of([&] { platform::read_file(dir / "ten", 9); });
  EXPECT_EQ(big_fault, platform::FileFault::TooLarge);
  EXPECT_NE(big.find(dir / "ten"), std::string::npos) << big;
  EXPECT_EQ(platform::read_file(dir / "ten", 10).size(), 10u);
  // The player reads the message: Czech, naming the file and the reason.
  const auto [missing_fault, missing] = fault_of([&] { platform::read_file(dir / "missing"); });
  EXPECT_EQ(missing_fault, platform::FileFault::Missing);
  EXPECT_EQ(missing,
            "Soubor \"" + dir / "missing" + "\" nelze otevřít: takový soubor nebo složka není.");
  EXPECT_EQ(big,
            "Soubor \"" + dir / "ten" + "\" nelze přečíst: soubor je příliš velký (víc než 9 B).");
}

// Links planted at any name in the folder, also at every name the old
// temporary files had, are neither written through nor replaced; the target
// becomes a regular file with the new contents.
TEST(Files, AtomicWriteNeverWritesThroughAPlantedLink) {
  TempDir dir;
  std::ofstream(dir / "victim") << "the user's";
  const std::string target = dir / "zarnik.ini";
  const std::string pid = std::to_string(::getpid());
  for (const std::string& name :
       std::vector<std::string>{"zarnik.ini.tmp" + pid, "zarnik.ini.part", ".zarnik.ini.tmp",
                                ".zarnik.ini." + pid + ".tmp"})
    fs::create_symlink(dir / "victim", dir / name);
  const auto planted = dir.names();
  platform::write_file_atomic(target, {'n', 'e', 'w'});
  platform::copy_file_atomic(dir / "victim", dir / "copy");
  platform::copy_file_atomic(target, target);  // onto itself: the same bytes again
  EXPECT_EQ(text(dir / "victim"), "the user's");
  EXPECT_EQ(text(target), "new");
  EXPECT_EQ(text(dir / "copy"), "the user's");
  EXPECT_FALSE(fs::is_symlink(target));
  auto expected = planted;
  expected.insert({"zarnik.ini", "copy"});
  EXPECT_EQ(dir.names(), expected) << "no temporary file left, no link replaced";
  for (const auto& name : planted) {
    if (name != "victim") {
      EXPECT_TRUE(fs::is_symlink(dir / name)) << name;
    }
  }
}

TEST(Files, AReplacedFileKeepsItsPermissionsACopyTakesTheSourcesOwn) {
  TempDir dir;
  const std::string target = dir / "zarnik.ini";
  platform::write_file_atomic(target, {'a'});
  const mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ(permissions(target), 0666 & ~mask);
  ::chmod(target.c_str(), 0600);
  platform::write_file_atomic(target, {'b'});
  EXPECT_EQ(permissions(target), 0600u);
  ::chmod(target.c_str(), 0640);
  platform::write_file_atomic(target, {'c'});
  EXPECT_EQ(permissions(target), 0640u);

  std::ofstream(dir / "game") << "program";
  ::chmod((dir / "game").c_str(), 0755);
  platform::copy_file_atomic(dir / "game", dir / "zarnik.exe");
  EXPECT_EQ(permissions(dir / "zarnik.exe"), 0755 & ~mask);
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(fault_of([&] { platform::copy_file_atomic(dir / "pipe", dir / "x"); }).first,
            platform::FileFault::NotAFile);
  EXPECT_FALSE(fs::exists(dir / "x"));
}

// Saved by another user, a file of root's in a group the writer is in keeps
// that group and its mode; in a group the writer is not in, it takes the
// writer's group and keeps its mode.
TEST(Files, AReplacedFileKeepsItsGroupWhereTheWriterMayGiveIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "making the files of other users needs root";
  TempDir dir;
  ::chmod(dir.path.c_str(), 0777);
  const std::string target = dir / "data.dat";
  for (const gid_t group : {gid_t(100), gid_t(4242)}) {
    SCOPED_TRACE(group);
    platform::write_file_atomic(target, {'a'});
    ASSERT_EQ(::chown(target.c_str(), 0, group), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0664), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // nobody, in the group 100 besides its own.
      const gid_t groups[] = {100};
      if (::setgroups(1, groups) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
      try {
        platform::write_file_atomic(target, {'b'});
      } catch (...) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(text(target), "b");
    EXPECT_EQ(st.st_gid, group == 100 ? gid_t(100) : gid_t(65534));
    EXPECT_EQ(st.st_mode & 0777, 0664u);
  }
}

// A killed writer leaves its temporary file; the next write of the same
// target removes it, but not one of a process still running, nor anything
// that is not a regular file, nor the temporaries of another target.
TEST(Files, AbandonedTemporariesAreRemovedByTheNextWrite) {
  TempDir dir;
  const std::string target = dir / "data.dat";
  const std::string dead = std::to_string(ended_pid());
  const std::string alive = std::to_string(::getppid());
  const std::string mine = std::to_string(::getpid());
  const std::string abandoned = ".data.dat." + dead + ".abcdefghijkl.tmp";
  const std::string running = ".data.dat." + alive + ".abcdefghijkl.tmp";
  const std::string own = ".data.dat." + mine + ".abcdefghijkl.tmp";
  const std::string other_target = ".data.datx." + dead + ".abcdefghijkl.tmp";
  const std::string not_ours = ".data.dat." + dead + ".short.tmp";
  const std::string link = ".data.dat." + dead + ".mnopqrstuvwx.tmp";
  for (const auto& name : {abandoned, running, own, other_target, not_ours})
    std::ofstream(dir / name) << "half";
  fs::create_symlink(dir / abandoned, dir / link);
  EXPECT_TRUE(platform::is_abandoned_temporary(target, abandoned));
  EXPECT_FALSE(platform::is_abandoned_temporary(target, running));
  EXPECT_FALSE(platform::is_abandoned_temporary(target, own));
  EXPECT_FALSE(platform::is_abandoned_temporary(target, other_target));
  EXPECT_FALSE(platform::is_abandoned_temporary(target, not_ours));
  EXPECT_FALSE(platform::is_abandoned_temporary(target, ".data.dat.-1.abcdefghijkl.tmp"));
  platform::write_file_atomic(target, {'x'});
  EXPECT_EQ(dir.names(),
            (std::set<std::string>{"data.dat", running, own, other_target, not_ours, link}));
}

#endif  // _WIN32

TEST(Files, SettingsDirectoryFollowsXdgConfigHome) {
  ::setenv("XDG_CONFIG_HOME", "/tmp/zarnik-xdg", 1);
  EXPECT_EQ(platform::settings_directory(), "/tmp/zarnik-xdg");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/hrac", 1);
  EXPECT_EQ(platform::settings_directory(), "/home/hrac/.config");
}

// The temporary file goes into the target's own folder, however the path was
// joined; on Windows "/" separates the parts as well as "\".
TEST(FileNames, ATemporaryFileLandsBesideItsTarget) {
  EXPECT_EQ(platform::split_path("data.dat").folder, ".");
  EXPECT_EQ(platform::in_folder(".", "x"), "x");
  EXPECT_EQ(platform::split_path("/data.dat").folder, "/");
  const auto parts = platform::split_path("/a/b/data.dat");
  EXPECT_EQ(parts.folder, "/a/b");
  EXPECT_EQ(parts.name, "data.dat");
#ifdef _WIN32
  const auto mixed = platform::split_path("C:\\Temp\\run/data.dat");
  EXPECT_EQ(mixed.folder, "C:\\Temp\\run");
  EXPECT_EQ(mixed.name, "data.dat");
  EXPECT_EQ(platform::in_folder("C:\\Temp/", "x"), "C:\\Temp/x");
  EXPECT_EQ(platform::in_folder("C:\\Temp", "x"), "C:\\Temp\\x");
  TempDir dir;
  const std::string target = dir.path + "\\sub/data.dat";
  fs::create_directory(dir.path + "\\sub");
  platform::write_file_atomic(target, {'x'});
  EXPECT_EQ(text(target), "x");
  // A read-only file is replaced and stays read-only; a copy over it is not.
  fs::permissions(target, fs::perms::owner_read);
  platform::write_file_atomic(target, {'y'});
  EXPECT_EQ(text(target), "y");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_write, fs::perms::none);
  platform::copy_file_atomic(target, dir.path + "\\copy");
  platform::copy_file_atomic(dir.path + "\\copy", target);
  EXPECT_NE(fs::status(target).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(dir.names(), (std::set<std::string>{"sub", "copy"}));
#endif
}

// Two programs that read a file, change it and write it back take a lock on
// it first. A second holder waits for the first; when the first has
// replaced the file meanwhile, the second takes the lock again on the new
// one, so it waits for whoever locked that. No lock: a missing file not to
// be made, a holder that keeps it longer than the wait.
TEST(FileLocks, ASecondHolderWaitsAndThenLocksTheFileAtThePath) {
  TempDir dir;
  const std::string path = dir / "data.dat";
  EXPECT_FALSE(platform::FileLock(path, false).held());
  EXPECT_FALSE(fs::exists(path));
  auto first = std::make_unique<platform::FileLock>(path, true);
  ASSERT_TRUE(first->held());
  EXPECT_EQ(text(path), "") << "made empty";
  EXPECT_FALSE(platform::FileLock(path, false, 50).held()) << "held by the first";

  std::atomic<bool> second_done{false}, second_held{false};
  std::thread second([&] {
    platform::FileLock lock(path, false, 10000);
    second_held = lock.held();
    second_done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(second_done) << "the second did not wait";
  // The first writes its file; a third comes after that write and finds the
  // new file free, then the first lets go of the old one.
  platform::write_file_atomic(path, {'n', 'e', 'w'});
  auto third = std::make_unique<platform::FileLock>(path, false, 50);
  EXPECT_TRUE(third->held());
  first.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(second_done) << "the second took the lock of the old file";
  third.reset();
  second.join();
  EXPECT_TRUE(second_held);
  EXPECT_EQ(text(path), "new");
}
