#include "platform/file_names.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/files.h"

namespace platform {

namespace {

std::string size_text(uint64_t bytes) {
  constexpr uint64_t kMiB = uint64_t(1) << 20;
  if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes) + " B";
}

const char* action_text(FileAction action) {
  switch (action) {
    case FileAction::Open: return "otevřít";
    case FileAction::Read: return "přečíst";
    case FileAction::Create: return "vytvořit";
    case FileAction::Write: return "zapsat";
    case FileAction::Replace: return "nahradit";
  }
  return "použít";
}

}  // namespace

std::string file_fault_text(FileFault fault, long system_code, uint64_t limit) {
  switch (fault) {
    case FileFault::Missing: return "takový soubor nebo složka není";
    case FileFault::Denied: return "přístup odepřen";
    case FileFault::Folder: return "je to složka, ne soubor";
    case FileFault::NotAFile: return "není to obyčejný soubor";
    case FileFault::TooLarge:
      return limit > 0 ? "soubor je příliš velký (víc než " + size_text(limit) + ")"
                       : "soubor je příliš velký";
    case FileFault::NoSpace: return "na disku není místo";
    case FileFault::ReadOnly: return "disk je jen pro čtení";
    case FileFault::Busy: return "soubor používá jiný program";
    case FileFault::BadName: return "jméno je příliš dlouhé nebo neplatné";
    case FileFault::Other: break;
  }
  return "chyba systému č. " + std::to_string(system_code);
}

FileError::FileError(FileAction action, const std::string& path, FileFault fault, long system_code,
                     uint64_t limit)
    : std::runtime_error("Soubor \"" + path + "\" nelze " + action_text(action) + ": " +
                         file_fault_text(fault, system_code, limit) + "."),
      path_(path),
      fault_(fault) {}

FileError::FileError(FileAction action, const std::string& path, FileFault fault,
                     const std::string& reason)
    : std::runtime_error("Soubor \"" + path + "\" nelze " + action_text(action) + ": " + reason +
                         "."),
      path_(path),
      fault_(fault) {}

FileError too_large(const std::string& path, uint64_t max_bytes) {
  return FileError(FileAction::Read, path, FileFault::TooLarge, 0, max_bytes);
}

namespace {

bool is_separator(char c) { return c != '\0' && std::strchr(kPathSeparators, c) != nullptr; }

}  // namespace

PathParts split_path(const std::string& path) {
  const size_t sep = path.find_last_of(kPathSeparators);
  if (sep == std::string::npos) return {".", path};
  return {sep == 0 ? path.substr(0, 1) : path.substr(0, sep), path.substr(sep + 1)};
}

std::string in_folder(const std::string& folder, const std::string& name) {
  if (folder == ".") return name;
  if (!folder.empty() && is_separator(folder.back())) return folder + name;
  return folder + kPathSeparator + name;
}

void fallback_random_bytes(uint8_t (&bytes)[kTempRandomChars]) {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
               uint64_t(reinterpret_cast<uintptr_t>(&bytes)) ^ (++counter << 32);
  for (auto& b : bytes) {
    x += 0x9E3779B97F4A7C15ull;
    uint64_t z = x;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    b = uint8_t(z ^ (z >> 31));
  }
}

std::string temporary_name(const std::string& target_name, uint32_t pid,
                           const uint8_t (&random)[kTempRandomChars]) {
  std::string out = "." + target_name + "." + std::to_string(pid) + ".";
  for (uint8_t b : random) out += kTempAlphabet[b % (sizeof kTempAlphabet - 1)];
  return out + kTempSuffix;
}

uint32_t temporary_owner(const std::string& target_name, std::string_view name) {
  const std::string prefix = "." + target_name + ".";
  const std::string_view suffix = kTempSuffix;
  if (name.size() < prefix.size() + suffix.size() + 2 + kTempRandomChars ||
      name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return 0;
  std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  const size_t dot = middle.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot > 10) return 0;
  const std::string_view letters = middle.substr(dot + 1);
  if (letters.size() != kTempRandomChars) return 0;
  for (char c : letters)
    if (std::strchr(kTempAlphabet, c) == nullptr || c == '\0') return 0;
  int64_t pid = 0;
  for (char c : middle.substr(0, dot)) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 && pid <= INT32_MAX ? uint32_t(pid) : 0;
}

}  // namespace platform
