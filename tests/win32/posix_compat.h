#pragma once
// The few POSIX calls the test programs written on Linux make, over the C
// runtime of Windows. Included before every source of a Windows test program
// (zarnik_add_test in tests/CMakeLists.txt), so the tests themselves stay as
// they are.
#include <direct.h>
#include <process.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// Makes a fresh folder from a name ending in XXXXXX, as on Linux.
inline char* mkdtemp(char* templ) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string t = templ;
    if (_mktemp_s(t.data(), t.size() + 1) != 0) return nullptr;
    if (_mkdir(t.c_str()) == 0) {
      std::copy(t.begin(), t.end(), templ);
      return templ;
    }
  }
  return nullptr;
}
