#pragma once
// The script zarnik-shot runs: one command a line, '#' starts a comment.
//
//   size W H          display mode asked for in the settings file (800 600)
//   name TEXT         player name in the settings file
//   data small|real|FOLDER
//                     data files: small stand-ins, the built ones (default
//                     when present), or those in FOLDER
//   score NAME N      an entry in the high-score table before the game starts
//   wait N            N frames (16 ms each)
//   key K | down K | up K
//                     press (down and up), hold or release a key: a name
//                     (enter esc space ctrl pause backspace left right up
//                     down), a single letter or digit, or a number
//   type TEXT         presses for each letter and space of TEXT
//   move X Y          moves the mouse
//   click [B] | mousedown [B] | mouseup [B]
//                     B: left (default), right or middle
//   dblclick          a double click where the mouse is
//   wheel N           N notches, positive away from the user
//   shot FILE         writes the last presented frame as a PNG file
//   raw FILE          writes it as its 16-bit pixels (RGB565, little-endian,
//                     row after row), for comparisons
//   digest            prints the digest of the whole game state
//                     ("digest" and 16 hexadecimal digits)
#include <istream>
#include <string>
#include <vector>

namespace shot {

struct Command {
  std::string verb;
  std::vector<std::string> args;
  int line = 0;
};

struct Script {
  int width = 800;
  int height = 600;
  std::string name;
  std::string data;  // "", "small", "real" or a folder
  std::vector<std::pair<std::string, int>> scores;
  std::vector<Command> steps;  // everything else, in order
};

// Reads and checks a script. Throws std::runtime_error with the line number
// of the first bad line.
Script parse_script(std::istream& in);

// A key as the script names it: its virtual-key code, or -1.
int key_code(const std::string& name);
// A mouse button as the script names it: 0, 1, 2, or -1.
int button_code(const std::string& name);

}  // namespace shot
