// How paths and the 8-bit files' text look on a POSIX system (files.h,
// file_names.h); winapi/file_names.cpp has Windows' forms.
#include "platform/file_names.h"

#include "platform/files.h"

namespace platform {

extern const char kPathSeparator = '/';
extern const char kPathSeparators[] = "/";

// The files' text is the programs' own: UTF-8 either way.
bool to_file_text(const std::string& utf8, std::string& text) {
  text = utf8;
  return true;
}

std::string from_file_text(const std::string& text) { return text; }

std::string document_address(const std::string& absolute_path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char ch : absolute_path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    }
  }
  return url;
}

}  // namespace platform
