#include "platform/web/site_address.h"

#include <algorithm>
#include <string_view>

namespace platform::web {

namespace {

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// A path below the folder that stays below it, as document_address writes
// one: no empty, "." or ".." segment, no escaped dot (it never escapes one),
// nothing but the characters it leaves plain and its escapes, so no query,
// fragment or anything a browser reads as the start of another address.
bool plain_relative_path(std::string_view path) {
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                         c == '/' || c == '%';
    if (!allowed) return false;
  }
  if (path.find("%2E") != std::string_view::npos || path.find("%2e") != std::string_view::npos)
    return false;
  size_t start = 0;
  while (true) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string_view segment = path.substr(start, end - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

}  // namespace

std::string site_address(const std::string& url) {
  if (starts_with(url, "https://") || starts_with(url, "http://")) return url;
  const std::string folder = std::string("file://") + kGameFolder;
  if (!starts_with(url, folder)) return {};
  const std::string_view rest = std::string_view(url).substr(folder.size());
  if (!plain_relative_path(rest)) return {};
  return kSiteDataFolder + std::string(rest);
}

}  // namespace platform::web
