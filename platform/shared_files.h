#pragma once
// Files that several running copies of the game share and change by merging
// (the score table): under the file's lock its present bytes are read again
// and a merge makes the new bytes from them, so no copy writes over what
// another wrote meanwhile.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Makes a file's new bytes from its present ones; `present` is null when
// the file is there but cannot be read (a missing file is empty bytes).
using FileMerge = std::function<std::vector<uint8_t>(const std::vector<uint8_t>* present)>;

// Where copies of the game do not all see one file (each browser tab has
// a file system of its own), the backend takes every merge that was made on
// the local file and makes it again on the copy they share, under that
// copy's lock; when another copy changed the shared file, the local file is
// brought up to date and the system queues EventType::SharedFileChanged.
class SharedFiles {
 public:
  virtual ~SharedFiles() = default;
  // `merge` was made on the local file at `path` and written.
  virtual void merged(const std::string& path, FileMerge merge) = 0;
};

// Under the file's lock (FileLock, made when missing): reads the file, lets
// `merge` make the new bytes, writes them (write_file_atomic) and returns
// them; then hands the merge to services().shared_files when there is one.
// A file above max_bytes counts as unreadable. Throws std::runtime_error
// when the write fails (nothing is handed on then).
std::vector<uint8_t> merge_shared_file(const std::string& path, uint64_t max_bytes,
                                       const FileMerge& merge);

}  // namespace platform
