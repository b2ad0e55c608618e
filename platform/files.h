#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The platform's path separator.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The folder where the settings file lives, the game's "Windows directory":
// $XDG_CONFIG_HOME, else $HOME/.config. On Windows the Windows directory
// itself, or a per-user folder where it is not writable
// (platform/win32/files.h). No trailing separator.
std::string settings_directory();

// For test harnesses, which keep each run's settings file in a folder of
// their own: settings_directory() names `folder` from now on; an empty text
// gives the system's folder back.
void override_settings_directory(const std::string& folder);

// The process's current directory, no trailing separator.
std::string current_directory();

bool file_exists(const std::string& path);

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
// write. A replaced file keeps its permission bits; a new one gets 0666 less
// the umask. Temporary files that an ended process left for the same target
// are removed. Throws std::runtime_error naming the file on failure (the
// target is then untouched).
void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes);

// Copies the regular file `from` to `to` in the same way, streaming; the
// copy gets the permission bits of `from` (less the umask). Throws
// std::runtime_error naming the file that failed.
void copy_file_atomic(const std::string& from, const std::string& to);

// Whether `name`, an entry in the folder of `target`, is a temporary file
// that write_file_atomic or copy_file_atomic made for `target` in a process
// that has ended (so nobody will finish or remove it).
bool is_abandoned_temporary(const std::string& target, const std::string& name);

// A list of text lines as the programs keep their files: 8-bit text, lines
// ended by CR LF. Reading accepts CR LF, LF or CR alone and stops at a zero
// byte.
std::vector<std::string> split_lines(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> join_lines(const std::vector<std::string>& lines);

}  // namespace platform
