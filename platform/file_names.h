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

// What a file operation was doing when it failed.
enum class FileAction { Open, Read, Create, Write, Replace };

// Why it failed, in the terms a player is told. The system's own error
// numbers differ between POSIX and Windows; each implementation maps its
// own onto these.
enum class FileFault {
  Missing,   // the file or a folder on its path does not exist
  Denied,    // no permission
  Folder,    // a folder stands at the name
  NotAFile,  // a device, pipe, socket or link stands at the name
  TooLarge,  // above the caller's read limit
  NoSpace,   // the disk or the user's quota is full
  ReadOnly,  // the disk is read-only
  Busy,      // another program holds the file
  BadName,   // the name is too long or not a valid name
  Other,     // anything else: the message names the system's error number
};

// A failed file operation. what() is a Czech sentence naming the file,
// e.g. `Soubor "/tmp/zvuk.xxx" nelze otevřít: takový soubor není.`; the
// path and the fault are kept for callers that explain more.
class FileError : public std::runtime_error {
 public:
  // system_code: the system's error number, shown only for FileFault::Other.
  FileError(FileAction action, const std::string& path, FileFault fault, long system_code = 0,
            uint64_t limit = 0);
  // The same with the reason in the system's own terms (on Windows our
  // wording of its error code, with the code in brackets).
  FileError(FileAction action, const std::string& path, FileFault fault, const std::string& reason);
  const std::string& path() const { return path_; }
  FileFault fault() const { return fault_; }

 private:
  std::string path_;
  FileFault fault_;
};

// The Czech text of a fault, without the file's name ("takový soubor není").
// limit: the read limit, for FileFault::TooLarge.
std::string file_fault_text(FileFault fault, long system_code = 0, uint64_t limit = 0);

#ifndef _WIN32
// The fault a POSIX error number means.
FileFault fault_of_errno(int err);
#endif

// What the shell's open-document service is given to open a local file in
// the program the desktop chooses for it (a browser for a page). On POSIX
// systems a file URL: "file://" and the absolute path with every byte
// other than letters, digits, "-._~" and "/" percent-encoded, so spaces,
// Czech letters, "#" or "?" in a folder's name reach the browser as a
// path, not as the URL's own parts. On Windows the path itself, which the
// shell opens as a document.
std::string document_address(const std::string& absolute_path);

// A file above the read limit.
FileError too_large(const std::string& path, uint64_t max_bytes);

}  // namespace platform
