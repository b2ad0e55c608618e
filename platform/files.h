#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The system's path separator: "/", on Windows "\\" (posix/file_names.cpp,
// winapi/file_names.cpp).
extern const char kPathSeparator;

// The folder where the settings file lives, the game's "Windows directory":
// $XDG_CONFIG_HOME, else $HOME/.config. On Windows the Windows directory
// itself, or a per-user folder where it is not writable
// (platform/winapi/files.h). No trailing separator.
std::string settings_directory();

// For test harnesses, which keep each run's settings file in a folder of
// their own: settings_directory() names `folder` from now on; an empty text
// gives the system's folder back.
void override_settings_directory(const std::string& folder);

// The process's current directory, no trailing separator.
std::string current_directory();

bool file_exists(const std::string& path);

// Whether `path` names a folder (a link to one counts).
bool folder_exists(const std::string& path);

// Makes the folder `path` with every parent it lacks, through the same file
// calls as the copies and writes (on Windows the wide ones, so any name
// works). True when a folder is there afterwards, also one that was there
// before.
bool make_folders(const std::string& path);

// The full path of the running program; empty when the system does not say.
std::string running_program_path();

// The largest file read_file takes unless the caller names its own limit.
inline constexpr uint64_t kDefaultReadLimit = uint64_t(1) << 30;

// Reads a whole regular file of at most `max_bytes` bytes. A missing file, a
// folder, a device, a pipe or socket (never opened for reading, so a pipe
// cannot stall the caller), and a file above the limit throw
// std::runtime_error naming the file.
std::vector<uint8_t> read_file(const std::string& path, uint64_t max_bytes = kDefaultReadLimit);

// Writes a whole file to a temporary file beside it and renames that over the
// target, so a crash or a full disk never leaves a truncated file. The
// temporary file gets an unpredictable name and is created exclusively,
// never through a link, so nothing planted at any name can redirect the
// write. A replaced file keeps its permission bits, and its owner and group
// where the writer may give them (POSIX); a new one gets 0666 less the
// umask. Temporary files that an ended process left for the same target
// are removed. Throws std::runtime_error naming the file on failure (the
// target is then untouched).
void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes);

// A lock between processes on a file that write_file_atomic replaces whole,
// held until the object goes: two programs that read the file, change it and
// write it back under the lock never lose each other's change. The lock is
// on the file found at the path; when a holder replaced that file while the
// lock was awaited, it is taken again on the new one. (On Windows, which
// cannot replace a file a handle holds open, it is a mutex of the session
// named after the path, and a thread that holds it may take it again.) With
// `create` a
// missing file is made (empty) to hold it. No lock is held (held() false,
// and the caller goes on without it) when the file cannot be opened (it is
// missing, a link, not a regular file, not readable) or another holder
// keeps it longer than wait_ms.
class FileLock {
 public:
  FileLock(const std::string& path, bool create, uint32_t wait_ms = 2000);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return held_; }

 private:
  intptr_t handle_ = -1;  // a file descriptor, or a HANDLE on Windows
  bool held_ = false;
};

// Copies the regular file `from` to `to` in the same way, streaming; the
// copy gets the permission bits of `from` (less the umask). Throws
// std::runtime_error naming the file that failed.
void copy_file_atomic(const std::string& from, const std::string& to);

// Whether `name`, an entry in the folder of `target`, is a temporary file
// that write_file_atomic or copy_file_atomic made for `target` in a process
// that has ended (so nobody will finish or remove it).
bool is_abandoned_temporary(const std::string& target, const std::string& name);

// The 8-bit files (the settings file, the score file) keep their text in the
// system's ANSI code page; the programs' own text, paths included, is UTF-8.
// These convert at a file's edge. On Windows, to_file_text is false when the
// code page has no form for a character (an "ř" on a Western system): no
// stand-in is taken, the text cannot be written. On the other systems both
// are the same bytes.
bool to_file_text(const std::string& utf8, std::string& text);
std::string from_file_text(const std::string& text);

// A list of text lines as the programs keep their files: 8-bit text, lines
// ended by CR LF. Reading accepts CR LF, LF or CR alone and stops at a zero
// byte (unless `stop_at_zero` is false: it is then a character of its
// line), or after max_lines lines.
std::vector<std::string> split_lines(const std::vector<uint8_t>& bytes, size_t max_lines = SIZE_MAX,
                                     bool stop_at_zero = true);
std::vector<uint8_t> join_lines(const std::vector<std::string>& lines);

}  // namespace platform
