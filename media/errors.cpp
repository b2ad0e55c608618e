#include "media/errors.h"

#include <cstdio>
#include <vector>

namespace media {

std::string FormatMessage(const char* format, const std::string& arg) {
  std::string out;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += arg;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string FormatMessage(const char* format, int arg) {
  std::string out;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 'd') {
      out += std::to_string(arg);
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace media
