#pragma once
// Environment variables changed for a while, and a throw-away home folder:
// HOME and the XDG folders point into it while the object lives, and it is
// removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testing_home {

// Sets variables (an empty value unsets one) and restores them all when it
// goes out of scope.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ScopedEnv(std::initializer_list<std::pair<std::string, std::string>> values) {
    for (const auto& [name, value] : values) set(name, value);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->had)
        ::setenv(it->name.c_str(), it->value.c_str(), 1);
      else
        ::unsetenv(it->name.c_str());
    }
  }
  void set(const std::string& name, const std::string& value) {
    const char* v = std::getenv(name.c_str());
    saved_.push_back({name, v ? v : "", v != nullptr});
    if (value.empty())
      ::unsetenv(name.c_str());
    else
      ::setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  struct Saved {
    std::string name, value;
    bool had;
  };
  std::vector<Saved> saved_;
};

class TempHome {
 public:
  TempHome() {
    std::string templ = (std::filesystem::temp_directory_path() / "zarnik-home-XXXXXX").string();
    root_ = ::mkdtemp(templ.data());
    env_.set("HOME", root_);
    env_.set("XDG_CONFIG_HOME", "");
    env_.set("XDG_DATA_HOME", "");
  }
  ~TempHome() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  const std::string& path() const { return root_; }
  std::string operator/(const std::string& rel) const { return root_ + "/" + rel; }
  // Makes a folder (with its parents) under the home and returns its path.
  std::string mkdir(const std::string& rel) const {
    std::filesystem::create_directories(*this / rel);
    return *this / rel;
  }

 private:
  std::string root_;
  ScopedEnv env_;
};

}  // namespace testing_home
