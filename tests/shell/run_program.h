#pragma once
// Runs a program to its end with a changed environment and working folder,
// and gives back its exit status and what it wrote (standard output and
// error together).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace testing_run {

struct RunResult {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string output;
};

// `env` sets variables (an empty value unsets one); `cwd` empty keeps the
// working folder.
inline RunResult run_program(const std::vector<std::string>& argv,
                             const std::vector<std::pair<std::string, std::string>>& env = {},
                             const std::string& cwd = {}) {
  char templ[] = "/tmp/zarnik-run-XXXXXX";
  const int out = ::mkstemp(templ);
  RunResult r;
  if (out < 0) return r;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out, 1);
    ::dup2(out, 2);
    for (const auto& [name, value] : env) {
      if (value.empty())
        ::unsetenv(name.c_str());
      else
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int st = 0;
  if (pid > 0 && ::waitpid(pid, &st, 0) == pid && WIFEXITED(st)) r.status = WEXITSTATUS(st);
  ::close(out);
  std::ifstream in(templ, std::ios::binary);
  r.output.assign(std::istreambuf_iterator<char>(in), {});
  ::unlink(templ);
  return r;
}

// Whether a program of that name is on PATH.
inline bool on_path(const std::string& name) {
  return run_program({"sh", "-c", "command -v \"$0\"", name}).status == 0;
}

// A tool a check needs: its absence fails the test on CI (CI=true, where
// scripts/deps.sh installs it) and skips it elsewhere.
#define REQUIRE_TOOL(name)                                                 \
  do {                                                                     \
    if (!testing_run::on_path(name)) {                                     \
      const char* ci_ = std::getenv("CI");                                 \
      if (ci_ && std::string(ci_) == "true") FAIL() << name << " missing"; \
      GTEST_SKIP() << name << " is not installed";                         \
    }                                                                      \
  } while (0)

// desktop-file-validate's verdict on the entry at `path`: empty when it
// accepts it without a word, else what it said.
inline std::string desktop_file_complaints(const std::string& path) {
  const RunResult r = run_program({"desktop-file-validate", path});
  if (r.status == 0 && r.output.empty()) return {};
  return "status " + std::to_string(r.status) + ": " + r.output;
}

// The value of `key` in the [Desktop Entry] group of a desktop entry's text;
// empty when it has none.
inline std::string desktop_value(const std::string& text, const std::string& key) {
  bool in_group = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line[0] == '[') {
      in_group = line == "[Desktop Entry]";
      continue;
    }
    if (in_group && line.compare(0, key.size() + 1, key + "=") == 0)
      return line.substr(key.size() + 1);
  }
  return {};
}

}  // namespace testing_run
