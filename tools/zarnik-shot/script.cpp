#include "tools/zarnik-shot/script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <sstream>
#include <stdexcept>

namespace shot {

namespace {

bool to_int(const std::string& s, int& v) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

[[noreturn]] void bad(int line, const std::string& why) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + why);
}

}  // namespace

int key_code(const std::string& name) {
  static const std::map<std::string, int> named = {
      {"backspace", 8}, {"enter", 13}, {"ctrl", 17}, {"pause", 19}, {"esc", 27},
      {"space", 32},    {"left", 37},  {"up", 38},   {"right", 39}, {"down", 40},
  };
  auto it = named.find(lower(name));
  if (it != named.end()) return it->second;
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
    return std::toupper(static_cast<unsigned char>(name[0]));
  int v = 0;
  if (to_int(name, v) && v > 0 && v < 256) return v;
  return -1;
}

int button_code(const std::string& name) {
  const std::string n = lower(name);
  if (n.empty() || n == "left") return 0;
  if (n == "right") return 1;
  if (n == "middle") return 2;
  return -1;
}

Script parse_script(std::istream& in) {
  Script s;
  std::string text;
  int line_no = 0;
  while (std::getline(in, text)) {
    ++line_no;
    if (auto hash = text.find('#'); hash != std::string::npos) text.erase(hash);
    std::istringstream words(text);
    Command c;
    c.line = line_no;
    if (!(words >> c.verb)) continue;
    c.verb = lower(c.verb);
    // "type" and "name" take the rest of the line, spaces included.
    if (c.verb == "type" || c.verb == "name") {
      std::string rest;
      std::getline(words, rest);
      rest.erase(0, std::min(rest.find_first_not_of(' '), rest.size()));
      while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\r')) rest.pop_back();
      c.args.push_back(rest);
    } else {
      for (std::string w; words >> w;) c.args.push_back(w);
    }
    auto need = [&](size_t n) {
      if (c.args.size() != n) bad(line_no, c.verb + " takes " + std::to_string(n) + " argument(s)");
    };
    auto number = [&](size_t i) {
      int v = 0;
      if (!to_int(c.args[i], v)) bad(line_no, "not a number: " + c.args[i]);
      return v;
    };
    if (c.verb == "size") {
      need(2);
      s.width = number(0);
      s.height = number(1);
    } else if (c.verb == "name") {
      s.name = c.args[0];
    } else if (c.verb == "data") {
      need(1);
      s.data = c.args[0];
    } else if (c.verb == "score") {
      need(2);
      const int points = number(1);
      if (points < 0 || points > 65535) bad(line_no, "a score is 0..65535");
      s.scores.emplace_back(c.args[0], points);
    } else if (c.verb == "wait" || c.verb == "wheel") {
      need(1);
      const int n = number(0);
      if (c.verb == "wait" && n < 0) bad(line_no, "cannot wait a negative time");
      s.steps.push_back(c);
    } else if (c.verb == "key" || c.verb == "down" || c.verb == "up") {
      need(1);
      if (key_code(c.args[0]) < 0) bad(line_no, "unknown key: " + c.args[0]);
      s.steps.push_back(c);
    } else if (c.verb == "type") {
      for (char ch : c.args[0])
        if (!std::isalpha(static_cast<unsigned char>(ch)) && ch != ' ')
          bad(line_no, "type takes letters and spaces");
      s.steps.push_back(c);
    } else if (c.verb == "move") {
      need(2);
      number(0);
      number(1);
      s.steps.push_back(c);
    } else if (c.verb == "click" || c.verb == "mousedown" || c.verb == "mouseup") {
      if (c.args.size() > 1) bad(line_no, c.verb + " takes at most one button");
      if (button_code(c.args.empty() ? "" : c.args[0]) < 0) bad(line_no, "unknown button");
      s.steps.push_back(c);
    } else if (c.verb == "dblclick" || c.verb == "digest") {
      need(0);
      s.steps.push_back(c);
    } else if (c.verb == "shot" || c.verb == "raw") {
      need(1);
      s.steps.push_back(c);
    } else {
      bad(line_no, "unknown command: " + c.verb);
    }
  }
  return s;
}

}  // namespace shot
