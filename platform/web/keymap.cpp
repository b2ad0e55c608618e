#include "platform/web/keymap.h"

#include <utility>

namespace platform::web {

namespace {

// The same keys as on the other backends.
constexpr std::pair<std::string_view, int> kNamed[] = {
    {"Backspace", 8},
    {"Tab", 9},
    {"Enter", 13},
    {"NumpadEnter", 13},
    {"ShiftLeft", 16},
    {"ShiftRight", 16},
    {"ControlLeft", 17},
    {"ControlRight", 17},
    {"AltLeft", 18},
    {"AltRight", 18},
    {"Pause", 19},
    {"CapsLock", 20},
    {"Escape", 27},
    {"Space", 32},
    {"PageUp", 33},
    {"PageDown", 34},
    {"End", 35},
    {"Home", 36},
    {"ArrowLeft", 37},
    {"ArrowUp", 38},
    {"ArrowRight", 39},
    {"ArrowDown", 40},
    {"Insert", 45},
    {"Delete", 46},
    {"NumpadMultiply", 106},
    {"NumpadAdd", 107},
    {"NumpadSubtract", 109},
    {"NumpadDecimal", 110},
    {"NumpadDivide", 111},
    {"Numpad0", 96},
    {"Numpad1", 97},
    {"Numpad2", 98},
    {"Numpad3", 99},
    {"Numpad4", 100},
    {"Numpad5", 101},
    {"Numpad6", 102},
    {"Numpad7", 103},
    {"Numpad8", 104},
    {"Numpad9", 105},
};

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The number after a prefix ("F11" -> 11), or -1.
int number_after(std::string_view s, std::string_view prefix) {
  if (!starts_with(s, prefix) || s.size() == prefix.size() || s.size() > prefix.size() + 2)
    return -1;
  int n = 0;
  for (char c : s.substr(prefix.size())) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

int virtual_key(std::string_view code, std::string_view key) {
  // A letter as the layout has it (one ASCII letter; a letter with a
  // diacritic, such as the number row's of a Czech layout, is not one).
  if (key.size() == 1) {
    const char c = key[0];
    if (c >= 'a' && c <= 'z') return 'A' + (c - 'a');
    if (c >= 'A' && c <= 'Z') return c;
  }
  if (code.size() == 4 && starts_with(code, "Key") && code[3] >= 'A' && code[3] <= 'Z')
    return code[3];
  if (code.size() == 6 && starts_with(code, "Digit") && code[5] >= '0' && code[5] <= '9')
    return code[5];
  if (const int f = number_after(code, "F"); f >= 1 && f <= 12) return 111 + f;
  for (const auto& [name, vk] : kNamed)
    if (name == code) return vk;
  return 0;
}

bool browser_keeps(std::string_view code, bool meta) {
  if (meta) return true;
  const int f = number_after(code, "F");
  return f >= 1 && f <= 24 && f != 11;
}

}  // namespace platform::web
