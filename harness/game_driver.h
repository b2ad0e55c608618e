#pragma once
// Runs the game headless: the game window over the headless backend in a
// folder of its own, with data files written by the container writer (or
// copied from a folder of real ones). Events are injected as the window
// system would send them; time moves only by tick(), 16 ms (one frame) at a
// time. The presented frames and every record can be read back.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/form.h"
#include "game/slots.h"
#include "media/application.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "platform/headless/headless.h"

namespace game_driver {

// Virtual-key codes the game uses.
using namespace platform::vk;

// The small stand-in data files. Every picture p is cut into 12 patterns of
// kProbe x kProbe pixels, each a solid colour that encodes (p, pattern):
// green holds p, red the pattern, blue is full. A plain draw therefore
// leaves a readable mark at its top-left corner.
inline constexpr int kProbe = 4;
inline constexpr int kPatterns = 12;
inline constexpr int kGamePictures = slots::play::kCount;
inline constexpr int kMenuPictures = slots::menu::kCount;
inline constexpr int kWaves = slots::wave::kCount + 2;  // and two the game never plays

uint32_t probe_rgb(int picture, int pattern);
struct Mark {
  int picture = -1;
  int pattern = -1;
  bool operator==(const Mark&) const = default;
};
// The mark a probe pixel carries (picture -1 when it is not one).
Mark mark_of(uint16_t pixel565);

// Adds `count` probe pictures (0..count-1) to a collection.
void add_probe_pictures(media::TPictureCollection& c, int count);
// Adds `count` short waves (10 ms of a square wave) to a collection.
void add_short_waves(media::TWaveCollection& c, int count);

// Writes obrazky.xxx, menu.xxx, zvuk.xxx, hra.mid and menu.mid into dir.
void write_data_files(const std::string& dir);
// A short standard MIDI file (one note, about half a second).
std::vector<uint8_t> tiny_midi();
// A standard MIDI file of `notes` note-ons at time 0 (three bytes each) whose
// piece lasts `length_ms` (0: a piece of zero length, which the game starts
// over in every frame).
std::vector<uint8_t> crowd_midi(size_t notes, uint32_t length_ms);

struct Options {
  // The game's folder (its current directory); made if missing. Empty: a
  // fresh folder under the system's temporary folder, removed at the end.
  std::string game_dir;
  // The folder standing in for the system folder of the settings file;
  // empty: game_dir + "/config".
  std::string config_dir;
  // Settings file written before start-up; empty list: no file.
  std::vector<std::string> settings = {"800", "600", ""};
  bool write_settings = true;
  // Data files: written small (default), or copied from this folder.
  std::string data_from;
  bool write_data = true;
  bool with_sound = false;
  // The mode list the headless display offers (empty: its default list).
  std::vector<platform::DisplayMode> modes;
};

class GameDriver {
 public:
  explicit GameDriver(Options options = {});
  ~GameDriver();
  GameDriver(const GameDriver&) = delete;
  GameDriver& operator=(const GameDriver&) = delete;

  // Runs the window's start-up. False when it failed (the error box then
  // holds the message).
  bool create();

  // Set-ups for the play rules, which tests and benchmarks run frame by
  // frame through the window's methods, without start-up or data files:
  // A windowed display of width x height, the game's probe pictures in the
  // window's picture list and its short waves in the wave list.
  void open_display(int width, int height);
  // An empty world in play: level 1, the ship alive in the middle at scale
  // 1, every pool free, every enemy slot empty, the meteor waiting beyond
  // any test and the cursor far off the screen.
  void quiet_world();
  // The opening state of a new game over the quiet world, as start() makes
  // it once the picture file is loaded (start() without files or music).
  void open_game();

  game::TForm1& form() { return *form_; }
  platform::headless::Backend& backend() { return backend_; }
  media::TApplication& app() { return *app_; }
  const Options& options() const { return options_; }
  const std::string& game_dir() const { return options_.game_dir; }
  std::string settings_path() const;

  // Events, handled at once (no time passes).
  void send(const platform::Event& e);
  void key_down(int vk);
  void key_up(int vk);
  void press(int vk);                      // down, then up
  void type(const std::string& capitals);  // presses of A..Z and space
  // Moves the system cursor and sends the move.
  void move_to(int x, int y);
  // Sets the system cursor without an event (the handlers read it).
  void set_cursor(int x, int y);
  void mouse_down(int button = 0);
  void mouse_up(int button = 0);
  void click(int button = 0);  // down, then up
  void double_click();         // down, up, double click, down, up
  void wheel(int notches);     // positive: away from the user (up)
  void close_window();

  // Advances the clock by n frames of 16 ms, handling events first.
  void tick(int n = 1);
  // Frames presented so far.
  int frames() const { return backend_.display.presents; }
  bool terminated() const { return app_->Terminated(); }

  // The last presented frame (RGB565, frame_width x frame_height).
  const std::vector<uint16_t>& frame() const { return backend_.display.frame; }
  int frame_width() const { return backend_.display.frame_width; }
  int frame_height() const { return backend_.display.frame_height; }
  uint16_t pixel(int x, int y) const { return backend_.display.pixel(x, y); }
  // The back surface as it is now.
  uint16_t back_pixel(int x, int y);

  // A digest of the whole game state: every record, pool and counter (the
  // menu's fields and the input flags too), the player name, the score
  // table and the generator's state.
  uint64_t digest() const;

 private:
  // An event of that type at the system cursor.
  platform::Event at_cursor(platform::EventType type) const;

  Options options_;
  bool own_dir_ = false;
  std::string old_cwd_;
  platform::headless::Backend backend_;
  std::unique_ptr<media::TApplication> app_;
  std::unique_ptr<game::TForm1> form_;
};

}  // namespace game_driver
