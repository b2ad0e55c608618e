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

}  // namespace platform::web
