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

// The folder that stands in for the "Windows directory" where the settings
// file lives: $XDG_CONFIG_HOME, else $HOME/.config. On Windows the Windows
// directory itself, or a per-user folder where it is not writable
// (platform/win32/files.h). No trailing separator.
std::string windows_directory();

// The process's current directory, no trailing separator.
std::string current_directory();

bool file_exists(const std::string& path);

// The full path of the running program; empty when the system does not say.
std::string running_program_path();

// Reads a whole file. Throws std::runtime_error naming the file on failure.
std::vector<uint8_t> read_file(const std::string& path);

// Writes a whole file to a temporary name beside it and renames it over the
// target, so a crash or a full disk never leaves a truncated file. Throws
// std::runtime_error naming the file on failure (the target is then untouched).
void write_file_atomic(const std::string& path, const std::vector<uint8_t>& bytes);

// A list of text lines as the programs keep their files: 8-bit text, lines
// ended by CR LF. Reading accepts CR LF, LF or CR alone.
std::vector<std::string> split_lines(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> join_lines(const std::vector<std::string>& lines);

}  // namespace platform
