// zarnik-shot: runs the game headless from a script of events and waits and
// writes chosen frames as PNG files, so a screen can be looked at without a
// display. Usage: zarnik-shot [SCRIPT]   (no SCRIPT or "-": standard input)
#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "game/game_files.h"
#include "harness/game_driver.h"
#include "platform/files.h"
#include "tools/png/png_write.h"
#include "tools/zarnik-shot/script.h"

namespace fs = std::filesystem;

namespace {

bool has_real_data(const std::string& dir) {
  for (const char* f : game::kDataFiles)
    if (!platform::file_exists(dir + "/" + f)) return false;
  return true;
}

int run(const shot::Script& script) {
  const fs::path out_dir = fs::current_path();
  game_driver::Options o;
  o.settings = {std::to_string(script.width), std::to_string(script.height), script.name};
  if (script.data == "small") {
    // the stand-ins
  } else if (script.data.empty() || script.data == "real") {
    if (has_real_data(ZARNIK_RUN_DIR))
      o.data_from = ZARNIK_RUN_DIR;
    else if (script.data == "real")
      throw std::runtime_error(std::string("no data files in ") + ZARNIK_RUN_DIR);
  } else {
    o.data_from = fs::absolute(script.data).string();
  }
  // Offer the asked mode besides the usual ones.
  o.modes = {{640, 480, 16},  {800, 600, 16},   {1024, 768, 16},
             {1280, 720, 16}, {1920, 1080, 16}, {script.width, script.height, 16}};

  game_driver::GameDriver d(o);
  if (!d.create()) {
    for (const auto& box : d.backend().system.error_boxes) std::cerr << box.text << "\n";
    return 1;
  }
  for (const auto& [name, points] : script.scores)
    d.form().add_score(name, static_cast<uint16_t>(points));

  for (const shot::Command& c : script.steps) {
    if (d.terminated()) {
      std::cerr << "line " << c.line << ": the game has closed; the rest is skipped\n";
      break;
    }
    const std::string a0 = c.args.empty() ? "" : c.args[0];
    if (c.verb == "wait") {
      d.tick(std::stoi(a0));
    } else if (c.verb == "key") {
      d.press(shot::key_code(a0));
    } else if (c.verb == "down") {
      d.key_down(shot::key_code(a0));
    } else if (c.verb == "up") {
      d.key_up(shot::key_code(a0));
    } else if (c.verb == "type") {
      std::string caps;
      for (char ch : a0) caps += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      d.type(caps);
    } else if (c.verb == "move") {
      d.move_to(std::stoi(c.args[0]), std::stoi(c.args[1]));
    } else if (c.verb == "click") {
      d.click(shot::button_code(a0));
    } else if (c.verb == "mousedown") {
      d.mouse_down(shot::button_code(a0));
    } else if (c.verb == "mouseup") {
      d.mouse_up(shot::button_code(a0));
    } else if (c.verb == "dblclick") {
      d.double_click();
    } else if (c.verb == "wheel") {
      d.wheel(std::stoi(a0));
    } else if (c.verb == "shot") {
      const fs::path file = fs::path(a0).is_absolute() ? fs::path(a0) : out_dir / a0;
      if (!assets::write_png_565(file.string(), d.frame_width(), d.frame_height(), d.frame()))
        throw std::runtime_error("cannot write " + file.string());
      std::cout << file.string() << " (frame " << d.frames() << ")\n";
    } else if (c.verb == "raw") {
      const fs::path file = fs::path(a0).is_absolute() ? fs::path(a0) : out_dir / a0;
      std::vector<uint8_t> bytes;
      bytes.reserve(d.frame().size() * 2);
      for (uint16_t px : d.frame()) {
        bytes.push_back(uint8_t(px & 0xFF));
        bytes.push_back(uint8_t(px >> 8));
      }
      platform::write_file_atomic(file.string(), bytes);
      std::cout << file.string() << " (frame " << d.frames() << ", " << d.frame_width() << " x "
                << d.frame_height() << ")\n";
    } else if (c.verb == "digest") {
      char hex[17];
      std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(d.digest()));
      std::cout << "digest " << hex << "\n";
    }
  }
  for (const auto& box : d.backend().system.error_boxes)
    std::cerr << "error box: " << box.text << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc > 2) {
      std::cerr << "usage: zarnik-shot [SCRIPT]\n";
      return 2;
    }
    shot::Script script;
    if (argc == 2 && std::string(argv[1]) != "-") {
      std::ifstream in(argv[1]);
      if (!in) {
        std::cerr << "zarnik-shot: cannot open " << argv[1] << "\n";
        return 2;
      }
      script = shot::parse_script(in);
    } else {
      script = shot::parse_script(std::cin);
    }
    return run(script);
  } catch (const std::exception& e) {
    std::cerr << "zarnik-shot: " << e.what() << "\n";
    return 1;
  }
}
