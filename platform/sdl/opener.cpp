#include "platform/sdl/opener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/system.h"

extern char** environ;

namespace platform::sdl {

int open_with_desktop(const std::string& url, int wait_ms) {
  constexpr int kOpened = 42, kFailed = 2;
  std::string program = "xdg-open", argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  // No opener on the system is no program for the document either.
  const int spawned = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ);
  if (spawned == ENOENT || spawned == EACCES) return kShellNoProgram;
  if (spawned != 0) return kFailed;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (!WIFEXITED(status)) return kFailed;
      switch (WEXITSTATUS(status)) {
        case 0: return kOpened;
        case 3:  // a tool it needs is missing
        case 4:  // no program took the document
          return kShellNoProgram;
        default: return kFailed;
      }
    }
    // Somebody else reaps children here: the verdict cannot be had.
    if (r < 0 && errno != EINTR) return kOpened;
    // Still at it: the program it started has the document. The process is
    // left to end on its own; the game closes right after opening the page.
    if (std::chrono::steady_clock::now() >= give_up) return kOpened;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace platform::sdl
