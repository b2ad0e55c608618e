// How paths and the 8-bit files' text look on Windows (files.h,
// file_names.h); posix/file_names.cpp has the other systems' forms.
#include "platform/file_names.h"

#include "platform/files.h"
#include "platform/winapi/utf16.h"

namespace platform {

extern const char kPathSeparator = '\\';
extern const char kPathSeparators[] = "\\/";

bool to_file_text(const std::string& utf8, std::string& text) {
  return win32::ansi_from_utf16(win32::utf16(utf8), text);
}

std::string from_file_text(const std::string& text) {
  return win32::utf8(win32::utf16_from_ansi(text));
}

// The shell opens a local path as a document itself.
std::string document_address(const std::string& absolute_path) { return absolute_path; }

}  // namespace platform
