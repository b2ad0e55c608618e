#include "platform/web/storage.h"

#include <sys/stat.h>

#include <exception>

#include "platform/files.h"

namespace platform::web {

KeptFiles::Kept KeptFiles::look(const std::string& path) {
  Kept k;
  k.path = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return k;
  k.exists = true;
  k.ino = st.st_ino;
  k.mtime_ns = (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
  k.size = st.st_size;
  return k;
}

void KeptFiles::keep(const std::string& path) {
  for (const Kept& k : files_)
    if (k.path == path) return;
  files_.push_back(look(path));
}

void KeptFiles::check() {
  for (Kept& k : files_) {
    Kept now = look(k.path);
    if (now.exists == k.exists && now.ino == k.ino && now.mtime_ns == k.mtime_ns &&
        now.size == k.size)
      continue;
    if (!now.exists) {
      store_(k.path, nullptr);
      k = now;
      continue;
    }
    try {
      const std::vector<uint8_t> bytes = read_file(k.path, kMaxBytes);
      store_(k.path, &bytes);
    } catch (const std::exception&) {
      // Unreadable or too large: this state of the file is not kept.
    }
    k = now;
  }
}

int SharedCopies::share(const std::string& path) {
  int file = 0;
  while (file < int(files_.size()) && files_[size_t(file)].path != path) ++file;
  if (file == int(files_.size())) files_.push_back(File{path, {}, {}});
  return file;
}

void SharedCopies::merged(const std::string& path, FileMerge merge) {
  const int file = share(path);
  files_[size_t(file)].merges.push_back(Waiting{next_++, std::move(merge)});
  // Without storage there is nothing to share: the merge is kept nowhere.
  if (!request_(path, file)) files_[size_t(file)].merges.clear();
}

std::vector<uint8_t> SharedCopies::merge_into(int file, const std::vector<uint8_t>& present,
                                              uint64_t& through) const {
  through = 0;
  std::vector<uint8_t> bytes = present;
  if (file < 0 || file >= int(files_.size())) return bytes;
  for (const Waiting& w : files_[size_t(file)].merges) {
    bytes = w.merge(&bytes);
    through = w.number;
  }
  return bytes;
}

void SharedCopies::written(int file, uint64_t through) {
  if (file < 0 || file >= int(files_.size())) return;
  auto& merges = files_[size_t(file)].merges;
  std::erase_if(merges, [through](const Waiting& w) { return w.number <= through; });
}

std::vector<uint8_t> SharedCopies::local_bytes(int file, const std::vector<uint8_t>& shared) const {
  uint64_t through = 0;
  return merge_into(file, shared, through);
}

void SharedCopies::seen(int file, const std::vector<uint8_t>& shared) {
  if (file >= 0 && file < int(files_.size())) files_[size_t(file)].seen = shared;
}

void SharedCopies::flush(Store store) {
  for (int file = 0; file < int(files_.size()); ++file) {
    File& f = files_[size_t(file)];
    if (f.merges.empty()) continue;
    uint64_t through = 0;
    f.seen = merge_into(file, f.seen, through);
    store(f.path, &f.seen);
    written(file, through);
  }
}

std::string SharedCopies::path(int file) const {
  return file >= 0 && file < int(files_.size()) ? files_[size_t(file)].path : std::string();
}

size_t SharedCopies::waiting(int file) const {
  return file >= 0 && file < int(files_.size()) ? files_[size_t(file)].merges.size() : 0;
}

}  // namespace platform::web
