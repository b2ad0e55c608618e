// The parts of the file services (files.h) that are the same on every
// system: where the settings file lives when a harness names the folder,
// and the programs' line files.
#include "platform/files.h"

#include <algorithm>
#include <exception>

#include "platform/file_names.h"
#include "platform/services.h"
#include "platform/shared_files.h"

namespace platform {

namespace {
std::string g_settings_directory_override;
}

std::string settings_directory() {
  if (!g_settings_directory_override.empty()) return g_settings_directory_override;
  return default_settings_directory();
}

void override_settings_directory(const std::string& folder) {
  g_settings_directory_override = folder;
}

std::vector<std::string> split_lines(const std::vector<uint8_t>& bytes, size_t max_lines,
                                     bool stop_at_zero) {
  std::vector<std::string> lines;
  std::string cur;
  size_t i = 0;
  const size_t n = stop_at_zero
                       ? size_t(std::find(bytes.begin(), bytes.end(), uint8_t{0}) - bytes.begin())
                       : bytes.size();
  while (i < n && lines.size() < max_lines) {
    char c = static_cast<char>(bytes[i]);
    if (c == '\r' || c == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') ++i;
      ++i;
      continue;
    }
    cur += c;
    ++i;
  }
  // A final line without a line end still counts; a final line end does not
  // open another (empty) line.
  if (!cur.empty() && lines.size() < max_lines) lines.push_back(cur);
  return lines;
}

std::vector<uint8_t> join_lines(const std::vector<std::string>& lines) {
  std::vector<uint8_t> out;
  for (const auto& l : lines) {
    out.insert(out.end(), l.begin(), l.end());
    out.push_back('\r');
    out.push_back('\n');
  }
  return out;
}

std::vector<uint8_t> merge_shared_file(const std::string& path, uint64_t max_bytes,
                                       const FileMerge& merge) {
  std::vector<uint8_t> bytes;
  {
    FileLock lock(path, true);
    std::vector<uint8_t> present;
    bool readable = true;
    if (file_exists(path)) {
      try {
        present = read_file(path, max_bytes);
      } catch (const std::exception&) {
        readable = false;
      }
    }
    bytes = merge(readable ? &present : nullptr);
    write_file_atomic(path, bytes);
  }
  if (SharedFiles* shared = services().shared_files) shared->merged(path, merge);
  return bytes;
}

}  // namespace platform
