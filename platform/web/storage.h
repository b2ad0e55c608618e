#pragma once
// The files the game writes (its settings and its high scores) kept in the
// browser's storage. The page puts them back into the file system before
// the program starts; after every pass of the loop the files are looked at,
// and one that changed is handed to the page to store at once, so a reload
// or a closed tab loses nothing. A file is known changed by its identity:
// every write replaces it with a new file (see platform::write_file_atomic).
#include <string>
#include <vector>

namespace platform::web {

class KeptFiles {
 public:
  // Writes the file's bytes to the storage (empty: the file is gone).
  using Store = void (*)(const std::string& path, const std::vector<uint8_t>* bytes);
  explicit KeptFiles(Store store) : store_(store) {}

  // Keeps the file at path from now on (its present state counts as kept).
  void keep(const std::string& path);
  // Stores every kept file that changed since the last look.
  void check();

  // Files above this size are not kept (the game's are a few hundred bytes).
  static constexpr uint64_t kMaxBytes = uint64_t(1) << 20;

 private:
  struct Kept {
    std::string path;
    bool exists = false;
    unsigned long long ino = 0;
    long long mtime_ns = 0;
    long long size = 0;
  };
  static Kept look(const std::string& path);
  Store store_;
  std::vector<Kept> files_;
};

}  // namespace platform::web
