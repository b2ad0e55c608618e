#pragma once
// The world of the game: plain records for the game state and every entity,
// the fixed pools that hold them, and the small numeric helpers that every
// rule of a frame shares (the pseudo-random generator, rounding, integer
// division, the heading-to-angle conversion and two geometry routines).
//
// Records carry no behaviour; all of it lives in TForm1 (game/form.h). Field
// widths and signedness are part of the behaviour: counters wrap where their
// width makes them wrap, and the frame code relies on it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace game {

// ---------------------------------------------------------------- records

// The game state (one instance).
struct Thra {
  uint8_t in_menu = 0;        // 1 = front end shown, 0 = a game runs
  uint8_t splash_frames = 0;  // splash frames shown so far, 0..250
  uint8_t paused = 0;
  uint8_t link_hover = 0;
  uint8_t scores_glow = 0;
  uint8_t end_glow = 0;
  uint8_t start_glow = 0;
  uint8_t start_selected = 0;
  uint8_t end_selected = 0;
  uint8_t scores_selected = 0;
  uint8_t name_editing = 0;
  std::string player_name;  // stored 8-bit text
  uint8_t scores_shown = 0;
  uint16_t score = 0;       // stops at 65535 (see add_kill_score in enemies.cpp)
  uint16_t level_mark = 0;  // next level when score > 2 * level_mark
  uint8_t game_won = 0;
  uint8_t game_lost = 0;
};

// The player's ship (one instance).
struct Tstar {
  uint8_t heading = 0;  // 0 up, 64 right, 128 down, 192 left
  uint8_t target = 0;   // enemy 1..10 locked on (meaningful while locked)
  uint8_t speed = 0;    // thrust 1..6
  int16_t shield = 0;   // at most 100
  int8_t missiles = 0;  // 0..20
  int32_t x = 0;
  int32_t y = 0;
  double scale = 0.0;  // y / H + 0.2
  uint8_t locked = 0;
  uint8_t alive = 0;
};

// A background star.
struct Thvezda {
  int32_t x = 0;
  int32_t y = 0;
  uint8_t brightness = 0;
  uint8_t brightening = 0;
  uint8_t size = 0;  // 1 or 2 (0 until it first reappears)
};

// A planet.
struct Tplaneta {
  int32_t anim_timer = 0;
  int32_t x = 0;
  int32_t y = 0;
  double scale = 0.0;
  int8_t pattern = 0;
  int8_t picture = 0;  // 0 = not drawn
  int8_t drift = 0;    // subtracted from x every frame
  uint8_t angle = 0;
};

// The meteor (one instance).
struct Tmeteor {
  uint8_t heading = 0;
  uint8_t growing = 0;
  int32_t x = 0;  // top-left corner of the drawn picture
  int32_t y = 0;
  double scale = 0.0;
  uint8_t wait_limit = 0;
  uint8_t wait_count = 0;  // live while wait_count > wait_limit
  uint8_t spin = 0;
  double anim = 0.0;
};

// The bonus (one instance).
struct Tbonusy {
  int32_t x = 0;
  int32_t y = 0;
  uint8_t alpha = 0;
  uint8_t gone = 0;  // 1 = no bonus on screen
  uint8_t pattern = 0;
  uint8_t kind = 0;  // picture index, which is also the kind: a bonus slot (game/slots.h)
  uint8_t tick = 0;
};

// A rocket: player shot or missile, or an enemy rocket.
struct Traketa {
  uint8_t heading = 0;
  uint8_t speed = 0;
  uint8_t alpha = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t x = 0;
  int32_t y = 0;
  uint8_t active = 0;
  uint8_t kind = 0;  // damage dealt; 100 marks a homing missile
  uint8_t picture = 0;
  uint8_t pattern = 0;
  uint8_t age = 0;
  uint8_t life = 0;
  double scale = 0.0;
};

// An enemy craft.
struct Tnepratel {
  uint8_t heading = 0;
  int8_t speed = 0;  // 2 or 3 in flight, -1 as a wreck
  uint8_t alpha = 0;
  uint8_t dying = 0;
  int32_t x = 0;
  int32_t y = 0;
  double scale = 0.0;
  uint8_t respawn = 0;  // 1 = slot empty, waiting for the spawn pass
  uint8_t aims = 0;
  int16_t resistance = 0;
  uint8_t picture = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint8_t anim_tick = 0;
  uint8_t pattern = 0;
};

// One explosion particle.
struct Tvybuch {
  int32_t x = 0;
  int32_t y = 0;
  uint8_t alpha = 0;
  uint8_t free = 0;  // 1 = slot free
  uint8_t heading = 0;
  uint8_t speed = 0;
  uint8_t pattern = 0;
};

// The in-game mouse cursor.
struct Tmys {
  uint8_t cursor_fade = 0;
  uint8_t pressed = 0;
  uint8_t cursor_angle = 0;
};

// A fixed pool addressed by the indices Lo..Hi (both inclusive), as the
// frame's loops count them.
template <typename T, int Lo, int Hi>
struct IndexedArray {
  static_assert(Lo <= Hi);
  static constexpr int low = Lo;
  static constexpr int high = Hi;
  std::array<T, Hi - Lo + 1> items{};

  T& operator[](int i) { return items[static_cast<size_t>(i - Lo)]; }
  const T& operator[](int i) const { return items[static_cast<size_t>(i - Lo)]; }
  auto begin() { return items.begin(); }
  auto end() { return items.end(); }
  auto begin() const { return items.begin(); }
  auto end() const { return items.end(); }
};

using PlayerRockets = IndexedArray<Traketa, 1, 10>;
using EnemyRockets = IndexedArray<Traketa, 1, 10>;
using Planets = IndexedArray<Tplaneta, 1, 9>;
using Stars = IndexedArray<Thvezda, 0, 30>;
using Enemies = IndexedArray<Tnepratel, 1, 10>;
using Explosions = IndexedArray<Tvybuch, 0, 80>;

// ---------------------------------------------------------------- helpers

// The one pseudo-random generator: a 32-bit linear congruential state that
// is 0 when the program starts and is never seeded, so every run draws the
// same sequence. Each call steps the state (state * 134775813 + 1 mod 2^32)
// and returns the upper 32 bits of n * state, a value 0..n-1.
uint32_t Random(uint32_t n);
uint32_t random_state();
// Tests and benchmarks put the generator back to a known state.
void set_random_state(uint32_t state);

// Rounds to the nearest integer, ties to even (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
int64_t Round(long double v);

// Integer division truncating toward zero.
constexpr int32_t div(int32_t a, int32_t b) { return a / b; }

// A heading byte in the radians that movement uses: 255 units (not 256)
// make a full turn, h * 360/255 degrees.
inline long double heading_angle(int h) {
  return static_cast<long double>(h) * 1.4117647058823529L / 57.295779513082321L;
}

// The heading (0..255) under which (x2, y2) is seen from (x1, y1). Results
// outside 0..255 (a point almost straight above and a little to the left
// gives 256) become 0.
int16_t heading_towards(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// True when (tx, ty) lies in the quarter plane, seen from (sx, sy), into which
// heading h points. Headings 0, 63, 127, 191 and 255 never count, and a target
// in the same row or column never counts.
bool target_in_heading_quadrant(int32_t tx, int32_t ty, int32_t sx, int32_t sy, uint8_t h);

}  // namespace game
