#pragma once
// The game window. It owns every record, pool and media component from its
// creation to its close, and all game behaviour is in its methods, split into
// files by topic:
//
//   frame.cpp        cas: phase selection, the play frame's seventeen steps in
//                    order, the pause frame, the end of every frame
//   background.cpp   stars, planets, posun_planet
//   ship.cpp         otaceni_a_strelba, the ship's flight, drawing and edge
//                    shift (presun_kdys_je_v_rohu)
//   meteor_bonus.cpp meteor and bonus
//   enemies.cpp      nove, Vypnuti, aim, hit and motion passes, score, level
//   explosions.cpp   exploze and the particle pass
//   rockets.cpp      rocket flight, off-screen removal, rockets against ship
//   display.cpp      cisla and the in-game display
//
// The splash and the menu phases of cas call splash_frame() and menu_frame(),
// which the front end implements (declared in its section below). cas itself
// presents the frame and loops the music after them.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "game/slots.h"
#include "game/world.h"
#include "media/application.h"
#include "media/dxdraw.h"
#include "media/mediaplayer.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "media/timer.h"
#include "platform/system.h"

namespace game {

class TForm1 {
 public:
  // ---- Front end: lifecycle, splash and menu, input, settings, scores ----
  // (lifecycle.cpp, menu.cpp, input.cpp, settings.cpp, scores.cpp)
  explicit TForm1(media::TApplication& app);
  ~TForm1();

  // The splash and menu bodies of a frame (without PresentFrame and the music
  // loop, which cas runs after them).
  void splash_frame();
  void menu_frame();

  // Start-up, in order: game_dir, settings, sounds, cursor, scores, world,
  // display mode, player name, then game_ower (menu pictures, music, timer).
  // An error (a data file missing or unreadable, the display mode refused)
  // is shown in an error box and the application is told to end; the close
  // that follows then writes nothing. True when the game is up.
  bool FormCreate();
  // A new game (menu to play) and the way back to the menu.
  void start();
  void game_ower();
  // The world of a new game, the part of start() after the picture file is
  // loaded: planets, ship, meteor, particles, stars, enemy slots, then the
  // first spawn pass.
  void start_world();
  // Shut-down: the game's shortcut, the settings file, the score file. Every
  // step runs even when an earlier one failed; failures are shown together
  // in one error box. CanClose is never cleared.
  void FormCloseQuery(bool& CanClose);
  // Closes the window: runs FormCloseQuery at once (only the first time) and
  // ends the application's loop.
  void Close();
  bool Closed() const { return closed_; }
  bool StartupFailed() const { return startup_failed_; }

  // The settings lines in the config folder and the score table in game_dir.
  // Scores are written when a game's result has been entered and at close,
  // each time merged with what another game in the same folder wrote since:
  // under a lock on "data.dat" the file is read again and the results this
  // game entered since its last write are inserted into it; that is written
  // and becomes the table shown.
  void load_scores();
  void save_scores();
  // The table read again after another game changed the file (results of
  // this game not written yet are entered again).
  void reload_scores();
  void load_settings();
  void save_settings();
  // The settings written at once, not only at close: when the name's editing
  // ends and when the window loses the focus, so a game that is killed, or a
  // browser tab that is closed, keeps the name. A failure is left to the
  // close, which reports it.
  void keep_settings();
  // Inserts a result, then writes the table (a failed write is kept for the
  // next one; the close reports it).
  void add_score(const std::string& name, uint16_t score);

  // Window events. Keys are virtual-key codes; mouse handlers read the
  // system cursor's position when they run (the event's own is not used).
  void FormKeyDown(uint16_t Key, uint32_t Shift);
  void FormKeyUp(uint16_t Key, uint32_t Shift);
  void DXDraw1MouseMove(uint32_t Shift, int X, int Y);
  void DXDraw1MouseDown(int Button, uint32_t Shift, int X, int Y);
  void DXDraw1MouseUp(int Button, uint32_t Shift, int X, int Y);
  void DXDraw1DblClick();
  void FormMouseWheelDown();
  void FormMouseWheelUp();
  void FormClick();
  // Hands one platform event to its handler (a close request closes the
  // window). The constructor makes it the application's event handler.
  void HandleEvent(const platform::Event& e);

  // The menu's credit line and the line under it. A click on that line
  // opens the game's help page, a file shipped beside the game, in the
  // browser, and closes the game.
  static const char* const kCreditLine;
  static const char* const kHelpLine;

  media::TApplication& Application;
  // The running program's full path (the target of the game's shortcut).
  std::string program_path;

 private:
  void key_down_front(uint16_t key);
  void key_down_play(uint16_t key);
  void front_stars();
  void front_texts();
  void front_items();
  void front_score_list();
  void front_cursor();
  // The system cursor's position; with no system service (no cursor at
  // all) a point far off the screen, so nothing is hovered or drawn.
  platform::Point cursor_position();
  bool closed_ = false;
  bool startup_failed_ = false;
  bool created_ = false;
  // Results entered since the score file was last written.
  std::vector<std::pair<std::string, uint16_t>> unsaved_scores_;

 public:
  void prime_readouts();  // fills the text and outline caches of the play frame
  // ---- end of front end ----

  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // ---------------------------------------------------------- components
  media::TDXDraw DXDraw1;
  media::TDXImageList DXImageList1;                   // the loaded picture collection
  std::unique_ptr<media::TDXImageList> DXImageList2;  // the splash; dropped after it
  media::TDXTimer DXTimer1;                           // constructed with the application
  media::TDXSound DXSound1;
  media::TDXWaveList DXWaveList1;
  media::TMediaPlayer MediaPlayer1;

  // ---------------------------------------------------------- the world
  Thra game;   // game state
  Tstar ship;  // the player's ship
  Tmeteor meteor;
  Tbonusy bonus;
  Tmys cursor;  // the in-game mouse cursor state

  PlayerRockets player_rockets;  // 1..10
  EnemyRockets enemy_rockets;    // 1..10
  Planets planets;               // 1..9
  Stars stars;                   // 0..30
  Enemies enemies;               // 1..10
  Explosions explosions;         // 0..80 (the frame uses 1..80)

  // Counters (bytes, zero at program start).
  uint8_t level = 0;             // current level = enemy slots in use
  uint8_t fire_delay = 0;        // frames since the last shot
  uint8_t missile_delay = 0;     // frames since the last missile
  uint8_t enemy_fire_timer = 0;  // aiming events since the last enemy rocket

  // Input flags set by the window's handlers, read by the next frame.
  uint8_t key_left = 0;
  uint8_t key_right = 0;
  uint8_t key_fire = 0;
  uint8_t key_missile = 0;
  uint8_t mouse_left = 0;
  uint8_t mouse_right = 0;

  // The current directory at creation, with a trailing separator.
  std::string game_dir;
  // The settings file's lines and the high-score table, for the whole run.
  std::vector<std::string> settings_lines;
  std::vector<std::string> score_table;

  // ---------------------------------------------------------- the frame
  // The frame timer's tick: one complete frame of the current phase.
  void cas(media::TDXTimer* Sender, int LagCount);

  // Steps of the play frame, in the order cas runs them.
  void play_frame();
  void otaceni_a_strelba();                  // turning and firing
  void twinkle_star(Thvezda& s, bool menu);  // shared by play and menu
  void stars_step();                         // twinkle, reappear, draw
  void planets_step();                       // draw, animate, drift, wrap, re-stack
  void meteor_step();
  void rockets_flight();  // player and enemy rockets 1..10
  void aim_pass();        // enemies aim, fire and ram
  void remove_offscreen_enemy_rockets();
  void spawn_chance();
  void bonus_step();
  void hit_pass();         // player rockets against enemies
  void explosions_step();  // particles 1..80
  void motion_pass();      // enemies 1..10 fly, lock on, draw
  void enemy_rockets_vs_ship();
  void ship_step();  // flight, drawing, edges, display
  void ingame_display();

  // Sets the y of all nine planets, a column 2/3 of the screen height apart.
  void posun_planet(int16_t a);
  // Shifts the ship and most of the world together when the ship nears an
  // edge; sx and sy are +1 or -1.
  void presun_kdys_je_v_rohu(int8_t sx, int8_t sy);
  // Spawn pass over enemy slots 1..level waiting for placement.
  void nove();
  // Empties an enemy slot.
  void Vypnuti(int index);
  // Scatters up to count - 1 particles around (x, y).
  void exploze(uint16_t x, uint16_t y, uint8_t count);
  // Draws the decimal digits of number, the first at (x + 10, y).
  void cisla(uint16_t number, uint16_t x, uint16_t y);

  // Display size (W, H) and the screen size (the full-screen mode's).
  int32_t W() const { return DXDraw1.Width(); }
  int32_t H() const { return DXDraw1.Height(); }
  int32_t screen_width() const { return DXDraw1.Width(); }
  int32_t screen_height() const { return DXDraw1.Height(); }

 private:
  // Draw and sound shorthands over the loaded collections.
  media::TPictureCollectionItem& picture(int index) { return DXImageList1.Items.ItemAt(index); }
  media::TDirectDrawSurface* back() { return DXDraw1.Surface(); }
  void play_wave(int index, int32_t pan);
  void play_wave(int index);
  void music_loop();
  // The score of one kill, with the level-up and the end of the last level.
  void add_kill_score();
  // An enemy switched to the destroyed picture of its kind.
  static uint8_t destroyed_picture(uint8_t picture);
  void ship_destroyed_by_ram();
};

// An error box with the game's title; on stderr when there is no system
// service to show it.
void show_error(const std::string& text);

// What the help line says when nothing on the system opens its page (at
// `page`, a path of this system).
std::string help_page_unopened(const std::string& page);

}  // namespace game
