#include "platform/sdl/opener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace platform::sdl {

OpenResult open_with_desktop(const std::string& url, int wait_ms) {
  std::string program = "xdg-open", argument = url;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  // No opener on the system is no program for the document either.
  const int spawned = posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ);
  if (spawned == ENOENT || spawned == EACCES) return OpenResult::NoProgram;
  if (spawned != 0) return OpenResult::Failed;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (!WIFEXITED(status)) return OpenResult::Failed;
      switch (WEXITSTATUS(status)) {
        case 0: return OpenResult::Opened;
        case 3:  // a tool it needs is missing
        case 4:  // no program took the document
          return OpenResult::NoProgram;
        default: return OpenResult::Failed;
      }
    }
    // Somebody else reaps children here: the verdict cannot be had.
    if (r < 0 && errno != EINTR) return OpenResult::Opened;
    // Still at it: the program it started has the document. The process is
    // left to end on its own; the game closes right after opening the page.
    if (std::chrono::steady_clock::now() >= give_up) return OpenResult::Opened;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace platform::sdl
