// The game program started where there is no display at all (no X or
// Wayland display named, no video driver asked for): it must end on its own
// with a message that says so, not run on unseen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

TEST(NoDisplay, TheGameEndsWithAMessageWhenNoDisplayExists) {
  const std::string program = std::string(ZARNIK_BINARY_DIR) + "/run/zarnik";
  if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "the game program is not built";
  const fs::path dir =
      fs::temp_directory_path() / ("zarnik-proof-nodisplay-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path log = dir / "stderr.txt";
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 2);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("SDL_VIDEODRIVER");
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ::execl(program.c_str(), "zarnik", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 200 && !ended; ++i) {
    ended = ::waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove_all(dir);
  ASSERT_TRUE(ended) << "the program kept running without a display; it said: " << text;
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(text.find("Obrazovku nelze otevřít"), std::string::npos) << text;
}

}  // namespace
