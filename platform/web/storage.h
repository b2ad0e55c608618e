#pragma once
// The files the game writes (its settings and its high scores) kept in the
// browser's storage. The page puts them back into the file system before
// the program starts; after every pass of the loop the files are looked at,
// and one that changed is handed to the page to store at once, so a reload
// or a closed tab loses nothing. A file is known changed by its identity:
// every write replaces it with a new file (see platform::write_file_atomic).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/shared_files.h"

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

// The files every tab of the game shares (the score table). Each tab has a
// copy in its own file system; the copy in the browser's storage is the
// shared one. A merge the game made on its copy waits here until the page
// makes it again on the shared copy, under a lock all tabs take, in one
// transaction that reads, merges and writes; what was written then reaches
// every open tab, whose copy becomes the shared one with its own waiting
// merges made on it again. Files are named to the page by their number.
class SharedCopies : public SharedFiles {
 public:
  // Asks the page to merge into the shared copy of file `file` (at path);
  // false when there is no storage to keep it in.
  using Request = bool (*)(const std::string& path, int file);
  explicit SharedCopies(Request request) : request_(request) {}

  // The number of a shared file (given once, then the same).
  int share(const std::string& path);
  void merged(const std::string& path, FileMerge merge) override;

  // The shared copy's new bytes: every waiting merge made in order on its
  // present bytes (empty when none are kept yet). `through` is the number of
  // the last merge made, for written().
  std::vector<uint8_t> merge_into(int file, const std::vector<uint8_t>& present,
                                  uint64_t& through) const;
  // The shared copy now holds every merge through `through`: they wait no
  // more.
  void written(int file, uint64_t through);
  // The tab's own copy once the shared one holds `shared`: the merges still
  // waiting made on it.
  std::vector<uint8_t> local_bytes(int file, const std::vector<uint8_t>& shared) const;

  // The shared copy as this tab last saw it (at the start, and whenever a
  // write reached this tab).
  void seen(int file, const std::vector<uint8_t>& shared);
  // The page is being left with merges still waiting: there is no time for
  // the lock and a read, so they are made on the shared copy as last seen
  // (another tab's write since then is overwritten: far less likely than
  // the page going before its transaction) and handed to `store` to be
  // written at once; they wait no more.
  using Store = void (*)(const std::string& path, const std::vector<uint8_t>* bytes);
  void flush(Store store);

  // The file of a number (empty when there is none).
  std::string path(int file) const;
  size_t waiting(int file) const;

 private:
  struct Waiting {
    uint64_t number;
    FileMerge merge;
  };
  struct File {
    std::string path;
    std::vector<Waiting> merges;
    std::vector<uint8_t> seen;
  };
  Request request_;
  std::vector<File> files_;
  uint64_t next_ = 1;
};

}  // namespace platform::web
