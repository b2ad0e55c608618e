#pragma once
// A throw-away home folder: HOME and the XDG folders point into it while the
// object lives, and it is removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace testing_home {

class TempHome {
 public:
  TempHome() {
    std::string templ = (std::filesystem::temp_directory_path() / "zarnik-home-XXXXXX").string();
    root_ = ::mkdtemp(templ.data());
    save("HOME");
    save("XDG_CONFIG_HOME");
    save("XDG_DATA_HOME");
    ::setenv("HOME", root_.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
  }
  ~TempHome() {
    for (auto& [name, value, had] : saved_) {
      if (had)
        ::setenv(name.c_str(), value.c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
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
  struct Saved {
    std::string name, value;
    bool had;
  };
  void save(const char* name) {
    const char* v = std::getenv(name);
    saved_.push_back({name, v ? v : "", v != nullptr});
  }
  std::string root_;
  std::vector<Saved> saved_;
};

}  // namespace testing_home
