#pragma once
// Files looked at and removed in a folder held open, for code that must
// touch nothing but its own files (the uninstaller): the folder keeps its
// identity while it is open, its entries are looked at without following a
// link (on Windows a reparse point of any kind counts as one), and a file is
// removed only as the very file that was looked at. With them the path rules
// of the system: which paths are absolute, how names compare, the names of a
// path, the longest path and name.
//
// POSIX: folder descriptors, fstatat/openat/unlinkat (folder_entries.cpp).
// Windows: folder handles, entries opened relative to them and removed by
// handle (winapi/folder_entries.cpp).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// A path that names the same file from any current folder: "/..." on the
// POSIX systems; on Windows a drive ("C:\", "C:/") or a share ("\\host\share"),
// never a device path ("\\.\", "\\?\").
bool is_absolute_path(const std::string& path);

// A separator between the parts of a path ("/"; on Windows "\" and "/").
bool is_path_separator(char c);

// Whether two names, or two resolved paths, name the same file as the file
// system compares them: exactly on the POSIX systems, without regard to case
// on Windows.
bool same_name(const std::string& a, const std::string& b);

// Paths are UTF-8 on every system (on Windows they reach the system through
// its wide calls), so these give the text back as it is; they remain for
// the callers that mark where a text becomes a path and back.
std::string path_from_utf8(const std::string& utf8);
std::string utf8_from_path(const std::string& path);

// Which folder a folder is, whatever its path: device and inode, on Windows
// the volume's serial number and the file index.
struct FolderIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

enum class EntryKind {
  Missing,  // no such name
  File,     // a regular file
  Folder,
  Link,    // a symbolic link; on Windows any reparse point
  Other,   // a device, pipe or socket
  Failed,  // it could not be looked at (error() says why)
};

class OpenFolder;

// Makes the one folder `path` (its parent must exist); on the POSIX systems
// with 0777 less the umask. False (with `error`, UTF-8) when it cannot be
// made, also when the name is taken already.
bool create_folder(const std::string& path, std::string& error);

// The parts of `path` that are names: what lies between its separators, the
// root ("/", "C:\", "\\host\share\") left out.
std::vector<std::string> path_names(const std::string& path);

// The system's longest path, in bytes, and longest name in a folder.
size_t max_path_length();
size_t max_name_length();

// A name in an open folder as it was found, not through a link. It needs its
// folder to stay open while it is used.
class FolderEntry {
 public:
  FolderEntry(FolderEntry&& other) noexcept;
  FolderEntry& operator=(FolderEntry&&) = delete;
  FolderEntry(const FolderEntry&) = delete;
  ~FolderEntry();

  EntryKind kind() const { return kind_; }
  // Why the last step failed (UTF-8).
  const std::string& error() const { return error_; }
  uint64_t size() const { return size_; }
  // Which file or folder it is (as OpenFolder::identity gives a folder's).
  FolderIdentity identity() const { return id_; }
  // Whether the user the program runs as owns it, and whether anybody else
  // may change it (POSIX: write permission for others, or for a group that
  // is not the user's own). Windows gives no owner here: always owned, never
  // writable by others.
  bool owned_by_user() const { return owned_; }
  bool writable_by_others() const { return others_write_; }

  // Reads the whole regular file, at most `max_bytes`; false (with error())
  // when it cannot be read, is larger, or is no longer the file looked at.
  bool read(uint64_t max_bytes, std::vector<uint8_t>& out) {
    out.clear();
    if (kind_ == EntryKind::File && size_ <= max_bytes) out.reserve(size_t(size_));
    const bool ok =
        read_each(max_bytes, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); });
    if (!ok) out.clear();
    return ok;
  }
  // The same in pieces handed to `take` as they are read, for files too
  // large to hold.
  bool read_each(uint64_t max_bytes, const std::function<void(const uint8_t*, size_t)>& take);

  // Removes the entry looked at, unless it is a folder: a link itself,
  // never what it leads to. An entry that is already gone counts as
  // removed. False (with error()) when it cannot be removed or another file
  // has taken its name meanwhile, which is then left alone. On Windows the
  // running program's own file, which the system keeps while it runs, is
  // moved out of the folder into the user's temporary folder instead (and
  // deleted at the next start of the system where the account may ask).
  bool remove();

  // Removes the folder looked at when it is empty and still the same
  // folder. False (with error()) otherwise, and for anything but a folder.
  bool remove_folder();

 private:
  friend class OpenFolder;
  FolderEntry() = default;

  EntryKind kind_ = EntryKind::Failed;
  std::string error_;
  uint64_t size_ = 0;
  intptr_t folder_ = -1;  // the folder's descriptor or handle, not owned
  std::string name_;
  FolderIdentity id_;   // the file looked at
  intptr_t file_ = -1;  // Windows: the file's handle, owned
  bool owned_ = true;
  bool others_write_ = false;
};

// How OpenFolder takes the last name of its path: followed when it is a
// link, or refused then (the folder must be at that name itself; the names
// before it are followed either way).
enum class LastName { Follow, NoFollow };

// A folder held open. The path is followed as given (callers resolve it
// first, or open it with LastName::NoFollow, and compare identities to see
// that it is still the folder they planned with).
class OpenFolder {
 public:
  explicit OpenFolder(const std::string& path, LastName last = LastName::Follow);
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  ~OpenFolder();

  bool is_open() const { return handle_ != -1; }
  // Why it could not be opened (UTF-8).
  const std::string& error() const { return error_; }
  FolderIdentity identity() const { return identity_; }
  // Whether anybody but the user may add or replace names in it (as
  // FolderEntry::writable_by_others says of a file).
  bool writable_by_others() const { return others_write_; }

  // The entry `name` (a single name, no separator): never a link followed.
  FolderEntry entry(const std::string& name) const;

  // The names in the folder ("." and ".." left out).
  std::vector<std::string> names() const;

 private:
  intptr_t handle_ = -1;
  FolderIdentity identity_;
  std::string error_;
  std::string path_;  // for the listing on Windows
  bool others_write_ = false;
};

}  // namespace platform
