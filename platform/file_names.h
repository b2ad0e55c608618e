#pragma once
// The parts of the file services (files.h) that do not touch the system,
// shared by their POSIX and their Windows implementation: how a path splits,
// how the temporary files beside a target are named and recognised, and the
// message for a file above the read limit.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// The folder part and the name of a path ("." for a bare name).
struct PathParts {
  std::string folder;
  std::string name;
};
PathParts split_path(const std::string& path);
std::string in_folder(const std::string& folder, const std::string& name);

// Temporary files are named "." + target name + "." + pid + "." + twelve
// random letters and digits + ".tmp": hidden, tied to the target and to the
// process that writes them, and not to be guessed.
inline constexpr char kTempAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
inline constexpr size_t kTempRandomChars = 12;
inline constexpr const char* kTempSuffix = ".tmp";

// Twelve bytes for when the system gives no randomness: the clock, a stack
// address and a counter, mixed. The exclusive creation of the file still
// keeps the write safe.
void fallback_random_bytes(uint8_t (&bytes)[kTempRandomChars]);

// The name of a temporary file for a target named `target_name`, written by
// process `pid`, with letters made from twelve random bytes.
std::string temporary_name(const std::string& target_name, uint32_t pid,
                           const uint8_t (&random)[kTempRandomChars]);

// The pid in a temporary file's name made for a target named `target_name`,
// or 0 when `name` is not such a name.
uint32_t temporary_owner(const std::string& target_name, std::string_view name);

// Where this system keeps the settings file (posix/files.cpp,
// win32/files.cpp); settings_directory() gives it unless a harness named
// another folder.
std::string default_settings_directory();

// "Cannot read file ...: File too large (more than ...)".
std::runtime_error too_large(const std::string& path, uint64_t max_bytes);

}  // namespace platform
