#pragma once
// The slots of the game's data files: the index of every picture in the two
// picture files and of every sound in the sound file. The game addresses
// items by index only, so these numbers are the layout of the files: the
// generator writes its items into these slots, the game draws and plays
// them from here, and the driver and the benchmarks fill the same slots.
// Loading a picture file replaces the collection, so a picture index means
// the file loaded last (obrazky.xxx in play, menu.xxx in the menu).
#include <cstdint>

namespace slots {

// obrazky.xxx: the pictures of play. Patterns are counted from 0.
namespace play {
// The ship and what it fires.
inline constexpr uint8_t kShip = 0;     // 128 patterns, one per two heading units
inline constexpr uint8_t kShot = 3;     // the ship's shot
inline constexpr uint8_t kMissile = 4;  // the ship's missile, also a pip of the missile row

// The sky and what flies through it.
inline constexpr uint8_t kStar = 1;          // the star dot
inline constexpr uint8_t kMeteor = 2;        // patterns 1..9 of its tumble
inline constexpr uint8_t kEnemyRocket = 17;  // patterns 0..2: light, heavy, medium
inline constexpr uint8_t kParticle = 24;     // explosion particle, patterns 0..3

// The bonus: its picture is also its kind, what picking it up gives.
inline constexpr uint8_t kBonusShield = 29;
inline constexpr uint8_t kBonusMissiles = 33;
inline constexpr uint8_t kBonusBoth = 34;  // missiles and shield

// The in-game display.
inline constexpr uint8_t kDigits = 6;            // pattern = digit
inline constexpr uint8_t kCursor = 15;           // pattern 1 while a mouse button is held
inline constexpr uint8_t kSpeedGauge = 16;       // pattern = thrust level - 1
inline constexpr uint8_t kFreeRocketGauge = 18;  // patterns 0..5
inline constexpr uint8_t kShieldGauge = 23;      // pattern = shield / 10
inline constexpr uint8_t kScorePanel = 25;       // the frame over the level and score digits
inline constexpr uint8_t kMissilePanel = 40;     // the frame over the missile pips

// The banners over the whole play.
inline constexpr uint8_t kPauseBanner = 26;
inline constexpr uint8_t kWonBanner = 27;
inline constexpr uint8_t kLostBanner = 28;

// Enemy craft of the four kinds (the spawn's choice 0..3), ten patterns each:
// as it enters, after a hit it survives, and destroyed (while it fades).
struct EnemyPictures {
  uint8_t intact, damaged, destroyed;
};
inline constexpr EnemyPictures kEnemies[4] = {{5, 9, 10}, {7, 8, 11}, {12, 13, 14}, {30, 31, 32}};

// Planets 1..9 in the order of the world's planet records, ten patterns each.
inline constexpr uint8_t kPlanets[9] = {21, 20, 19, 22, 35, 36, 37, 38, 39};

// Every slot 0..kCount - 1 holds a picture.
inline constexpr int kCount = 41;
}  // namespace play

// menu.xxx: the pictures of the menu.
namespace menu {
inline constexpr uint8_t kStar = 0;
inline constexpr uint8_t kCursor = 1;  // pattern 1 while a mouse button is held
inline constexpr uint8_t kTitle = 2;
inline constexpr uint8_t kStartItem = 3;
inline constexpr uint8_t kQuitItem = 4;
inline constexpr uint8_t kScoresItem = 5;
inline constexpr int kCount = 6;
}  // namespace menu

// zvuk.xxx: the sounds.
namespace wave {
inline constexpr int kUnused = 0;       // never played
inline constexpr int kShot = 1;         // the ship fires a shot
inline constexpr int kMissile = 2;      // the ship fires a missile
inline constexpr int kExplosion = 3;    // an enemy destroyed or ramming, the ship destroyed
inline constexpr int kEnemyRocket = 4;  // an enemy fires a rocket
inline constexpr int kHit = 5;          // a hit an enemy survives, an enemy rocket hits the ship
inline constexpr int kBonus = 6;        // the ship picks up a bonus
inline constexpr int kTargeted = 7;     // an enemy takes aim at the ship
inline constexpr int kLockOn = 8;       // the beep of the enemy locked on
inline constexpr int kMenuClick = 9;    // keys and clicks of the name field
inline constexpr int kCount = 10;
}  // namespace wave

}  // namespace slots
