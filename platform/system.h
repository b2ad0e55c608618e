#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Window events as the game's handlers take them. Keys are virtual-key codes
// (Backspace 8, Enter 13, Ctrl 17, Pause 19, Esc 27, Space 32, arrows 37..40,
// letters 65..90). Mouse buttons: left 0, right 1, middle 2. Positions are
// back-surface pixels.
enum class EventType {
  KeyDown,      // key; repeated while the key is held (auto-repeat)
  KeyUp,        // key
  MouseDown,    // button, x, y
  MouseUp,      // button, x, y
  MouseMove,    // x, y
  DoubleClick,  // button, x, y (comes between the first up and the second down)
  Click,        // a left click on the window (after the up)
  Wheel,        // wheel_delta (+120 per notch away from the user), x, y
  Activate,     // the window gained the focus
  Deactivate,   // the window lost the focus
  Close,        // the user asked to close the window
  // Another copy of the game changed a file they share (shared_files.h);
  // the local file is up to date again.
  SharedFileChanged,
};

// The virtual-key codes the programs use.
namespace vk {
enum : int {
  kBackspace = 8,
  kEnter = 13,
  kCtrl = 17,
  kPause = 19,
  kEsc = 27,
  kSpace = 32,
  kLeft = 37,
  kUp = 38,
  kRight = 39,
  kDown = 40,
  kA = 65,
  kY = 89,
  kZ = 90,
};
}  // namespace vk

struct Event {
  EventType type = EventType::KeyDown;
  int key = 0;
  int button = 0;
  int x = 0;
  int y = 0;
  int wheel_delta = 0;
  uint32_t shift = 0;  // modifier bits: 1 shift, 2 alt, 4 ctrl
};

struct Point {
  int x = 0;
  int y = 0;
};

// What became of a document or web address given to the shell to open.
enum class OpenResult {
  Opened,     // a program took it
  NoProgram,  // nothing on the system opens such a document, or the program
              // set for it gave up at once: the player can open it by hand
  Failed,     // any other failure
};

// Window-system services other than drawing and sound.
class System {
 public:
  virtual ~System() = default;
  // Takes the next pending event; false when none is waiting.
  virtual bool poll_event(Event& e) = 0;
  // Sleeps until an event arrives or timeout_ms pass (0: return at once).
  virtual void wait_event(uint32_t timeout_ms) = 0;
  // The system cursor's position in back-surface pixels.
  virtual Point cursor_pos() = 0;
  virtual void show_cursor(bool visible) = 0;
  // Asks the shell to open a document or web address.
  virtual OpenResult shell_open(const std::string& url) = 0;
  // Shows a modal error box with one OK button (text in UTF-8).
  virtual void error_box(const std::string& title_utf8, const std::string& text_utf8) = 0;
  // Asks a yes/no question; true for yes.
  virtual bool confirm_box(const std::string& title_utf8, const std::string& text_utf8) = 0;
  // The game takes typed text from now on (true) or no more (false). Where
  // a system types through a text field (a phone's on-screen keyboard), it
  // shows one; elsewhere the keys are enough and nothing happens.
  virtual void text_input(bool /*on*/) {}
};

}  // namespace platform
