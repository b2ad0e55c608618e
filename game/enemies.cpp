// Enemy craft: spawning at the edges, aiming and firing at the ship,
// ramming it, being hit by the player's rockets, flying, the mouse lock-on,
// and the score and level that kills drive.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "game/form.h"
#include "platform/services.h"
#include "platform/system.h"

namespace game {

namespace {

struct EnemyKind {
  int8_t speed;
  uint8_t aims;
  int16_t resistance;
  int32_t width;
  int32_t height;
  uint8_t picture;
};

constexpr EnemyKind kEnemyKinds[4] = {
    {3, 1, 100, 100, 50, 5},
    {2, 0, 70, 75, 50, 7},
    {3, 1, 70, 100, 50, 12},
    {2, 0, 100, 100, 50, 30},
};

bool is_destroyed_picture(uint8_t p) { return p == 10 || p == 11 || p == 14 || p == 32; }

int32_t rounded(long double v) { return static_cast<int32_t>(Round(v)); }

}  // namespace

uint8_t TForm1::destroyed_picture(uint8_t picture) {
  switch (picture) {
    case 5:
    case 9: return 10;
    case 7:
    case 8: return 11;
    case 12:
    case 13: return 14;
    case 30:
    case 31: return 32;
    default: return picture;
  }
}

void TForm1::Vypnuti(int index) { enemies[index].respawn = 1; }

void TForm1::nove() {
  for (int i = 1; i <= level; ++i) {
    Tnepratel& e = enemies[i];
    if (e.respawn != 1) continue;
    switch (Random(4)) {
      case 0:  // top
        e.x = static_cast<int32_t>(Random(static_cast<uint32_t>(W())));
        e.y = 0;
        e.heading = static_cast<uint8_t>(63 + Random(127));
        break;
      case 1:  // right
        e.x = W();
        e.y = static_cast<int32_t>(Random(static_cast<uint32_t>(H())));
        e.heading = static_cast<uint8_t>(127 + Random(127));
        break;
      case 2: {  // bottom
        e.x = static_cast<int32_t>(Random(static_cast<uint32_t>(W())));
        e.y = H();
        int h = static_cast<int>(Random(127)) - 63;
        if (h < 0) h += 255;
        e.heading = static_cast<uint8_t>(h);
        break;
      }
      default:  // left
        e.x = 0;
        e.y = static_cast<int32_t>(Random(static_cast<uint32_t>(H())));
        e.heading = static_cast<uint8_t>(Random(127));
        break;
    }
    const EnemyKind& k = kEnemyKinds[Random(4)];
    e.speed = k.speed;
    e.aims = k.aims;
    e.resistance = k.resistance;
    e.picture = k.picture;
    e.width = k.width;
    e.height = k.height;
    e.scale = 0.0;
    e.respawn = 0;
    e.alpha = 255;
    e.dying = 0;
    e.pattern = 0;
    e.anim_tick = 0;
  }
}

void TForm1::spawn_chance() {
  if (Random(10) == 0) nove();
}

void TForm1::ship_destroyed_by_ram() {
  // The shield reads 100 again after a ram death, so enemy rockets still in
  // flight go on hitting the wreck's position (and may destroy it again).
  ship.shield = 100;
  play_wave(3, (ship.x - 400) * 10);
  picture(28).DrawPattern(back(), 321, 275, 0);
  ship.alive = 0;
  game.game_lost = 1;
  exploze(static_cast<uint16_t>(ship.x), static_cast<uint16_t>(ship.y), 80);
}

void TForm1::aim_pass() {
  uint8_t launch_permit = 1;  // at most one enemy rocket per frame
  for (int i = 1; i <= level; ++i) {
    Tnepratel& e = enemies[i];
    const long double hw = static_cast<long double>(e.width / 2) * e.scale;
    const long double hh = static_cast<long double>(e.height / 2) * e.scale;
    // The aim test does not look at respawn: a slot freed by leaving the
    // screen keeps its place and heading and may still fire (its rocket
    // starts off screen and is removed before it is drawn).
    if (target_in_heading_quadrant(ship.x, ship.y, e.x, e.y, e.heading) && e.dying == 0 &&
        e.resistance >= 70 && Random(4) == 0) {
      if (auto* s = back()) {
        auto& c = s->GetCanvas();
        c.Pen.Color = media::RGBColor(255, 0, 0);
        c.Brush.Style = media::TBrushStyle::bsClear;
        c.Ellipse(rounded(e.x + hw), rounded(e.y + hh), rounded(e.x - hw), rounded(e.y - hh));
        c.MoveTo(e.x, e.y);
        c.LineTo(ship.x, ship.y);
        c.Font.Color = media::RGBColor(255, 0, 0);
        c.Font.Size = 8;
        c.Font.Name = "Arial";
        c.TextOut(rounded(e.x - hw), rounded(e.y + hh), "Zamířen");
        s->ReleaseCanvas();
      }
      if (enemy_fire_timer % 2 == 0) play_wave(7);
      enemy_fire_timer = static_cast<uint8_t>(enemy_fire_timer + 1);
      if (enemy_fire_timer > 30) {
        // With no free slot nothing is launched and the timer stays reset.
        enemy_fire_timer = 0;
        if (launch_permit == 1) {
          for (int j = 1; j <= 10; ++j) {
            Traketa& r = enemy_rockets[j];
            if (r.active != 0) continue;
            launch_permit = 0;
            play_wave(4, (e.x - 400) * 10);
            r.x = e.x;
            r.y = e.y;
            r.heading = e.aims == 0
                            ? e.heading
                            : static_cast<uint8_t>(heading_towards(e.x, e.y, ship.x, ship.y));
            r.scale = e.scale;
            r.picture = 17;
            switch (Random(3)) {
              case 0:
                r.pattern = 0;
                r.kind = 10;
                break;
              case 1:
                r.pattern = 1;
                r.kind = 30;
                break;
              default:
                r.pattern = 2;
                r.kind = 20;
                break;
            }
            r.width = 9;
            r.height = 9;
            r.alpha = 255;
            r.speed = 5;
            r.active = 1;
            break;
          }
        }
      }
    }
    // Ramming: no score, no bonus. Later enemies of the loop are still
    // handled in this frame even when this one destroyed the ship.
    if (e.respawn == 0 && e.dying == 0 && std::abs(e.x - ship.x) < 100.0L * ship.scale &&
        std::abs(e.y - ship.y) < 50.0L * ship.scale) {
      play_wave(3, (e.x - 400) * 10);
      exploze(static_cast<uint16_t>(e.x), static_cast<uint16_t>(e.y), 40);
      e.picture = destroyed_picture(e.picture);
      e.pattern = 0;
      e.speed = -1;
      ship.shield = static_cast<int16_t>(ship.shield - 30);
      e.dying = 1;
      if (ship.shield <= 0) ship_destroyed_by_ram();
    }
  }
}

void TForm1::add_kill_score() {
  // The score stops at 65535 rather than wrapping to a small number.
  game.score = game.score > 65535 - 50 ? 65535 : static_cast<uint16_t>(game.score + 50);
  if (static_cast<int32_t>(game.score) > 2 * static_cast<int32_t>(game.level_mark)) {
    level = static_cast<uint8_t>(level + 1);
    // Computed in 16 bits: after level 8 (mark 56550) the threshold lies
    // beyond any score, so no further level-up comes.
    game.level_mark = static_cast<uint16_t>(game.score + 100 * level);
  }
  if (level >= 11) {
    ship.alive = 0;
    game.game_won = 1;
    level = 10;
  }
}

void TForm1::hit_pass() {
  for (int i = 1; i <= level; ++i) {
    Tnepratel& e = enemies[i];
    for (int j = 1; j <= 10; ++j) {
      Traketa& r = player_rockets[j];
      if (!(std::abs(e.x - r.x) < e.width * static_cast<long double>(e.scale) * 3 / 4 &&
            std::abs(e.y - r.y) < e.height * static_cast<long double>(e.scale) * 3 / 4 &&
            r.active == 1 && e.respawn == 0 && e.dying == 0))
        continue;
      e.resistance = static_cast<int16_t>(e.resistance - r.kind);
      if (e.resistance > 0) {
        play_wave(5, (e.x - 400) * 10);
        exploze(static_cast<uint16_t>(e.x), static_cast<uint16_t>(e.y), 10);
        switch (e.picture) {
          case 5: e.picture = 9; break;
          case 12: e.picture = 13; break;
          case 30: e.picture = 31; break;
          case 7:
            // A kind-1 enemy's first hit nudges it an eighth of the way
            // toward the rocket's heading (signed difference, truncated).
            e.picture = 8;
            e.heading = static_cast<uint8_t>(
                e.heading - (static_cast<int>(e.heading) - static_cast<int>(r.heading)) / 8);
            break;
          default: break;
        }
        r.active = 0;
      } else {
        play_wave(3, (e.x - 400) * 10);
        exploze(static_cast<uint16_t>(e.x), static_cast<uint16_t>(e.y), 40);
        e.picture = destroyed_picture(e.picture);
        e.pattern = 0;
        e.speed = -1;
        r.active = 0;
        e.dying = 1;
        if (bonus.gone == 1 && Random(2) == 0) {
          bonus.gone = 0;
          bonus.alpha = 255;
          bonus.x = e.x;
          bonus.y = e.y;
          static constexpr uint8_t kinds[3] = {29, 33, 34};
          bonus.kind = kinds[Random(3)];
        }
        add_kill_score();
      }
    }
  }
}

void TForm1::motion_pass() {
  char readout[32];
  for (int i = 1; i <= 10; ++i) {
    Tnepratel& e = enemies[i];
    if (e.respawn != 0) continue;
    // A wreck has speed -1: D is 1 while its scale is at most 0.5 and 0 up to
    // 1.5, so wrecks high on the screen drift on and the others stand still.
    const long double theta = heading_angle(e.heading);
    const long double d = 1 + Round(e.speed * static_cast<long double>(e.scale));
    e.x += rounded(std::sin(theta) * d);
    e.y -= rounded(std::cos(theta) * d);
    e.scale = static_cast<double>(static_cast<long double>(e.y) / H() + 0.2L);

    // Leaving the box empties the slot, but the enemy is still lock-tested,
    // drawn and animated in this frame.
    if (e.x < -5 || e.x > W() + 5 || e.y < -5 || e.y > H() + 5) Vypnuti(i);

    // The lock flag is cleared at every enemy in play, not once before the
    // loop: it stays set only when the highest-numbered enemy in play is the
    // one under the cursor, while the marker is drawn for any of them.
    ship.locked = 0;
    const platform::Point cur = cursor_position();
    if (std::abs(e.x - cur.x) < e.width / 2 && std::abs(e.y - cur.y) < e.height / 2 &&
        e.dying == 0 && game.game_lost == 0) {
      ship.target = static_cast<uint8_t>(i);
      ship.locked = 1;
      if (e.anim_tick == 4) play_wave(8);
      if (auto* s = back()) {
        const long double hw = static_cast<long double>(e.width / 2) * e.scale;
        const long double hh = static_cast<long double>(e.height / 2) * e.scale;
        auto& c = s->GetCanvas();
        c.Pen.Color = media::RGBColor(0, 128, 0);
        if (e.anim_tick <= 4) {
          c.MoveTo(e.x, rounded(e.y - hh));
          c.LineTo(rounded(e.x - hw), e.y);
          c.LineTo(e.x, rounded(e.y + hh));
          c.LineTo(rounded(e.x + hw), e.y);
          c.LineTo(e.x, rounded(e.y - hh));
        } else {
          const long double tw = static_cast<long double>(e.width / 3) * e.scale;
          const long double th = static_cast<long double>(e.height / 3) * e.scale;
          c.MoveTo(rounded(e.x - tw), rounded(e.y - th));
          c.LineTo(rounded(e.x - tw), rounded(e.y + th));
          c.LineTo(rounded(e.x + tw), rounded(e.y + th));
          c.LineTo(rounded(e.x + tw), rounded(e.y - th));
          c.LineTo(rounded(e.x - tw), rounded(e.y - th));
        }
        c.Brush.Style = media::TBrushStyle::bsClear;
        c.Font.Color = media::RGBColor(0, 128, 0);
        c.Font.Size = 8;
        c.Font.Name = "Arial";
        const int n =
            std::snprintf(readout, sizeof readout, "Odolnost %d%%", static_cast<int>(e.resistance));
        c.TextOut(rounded(e.x - hw), rounded(e.y - hh - 8),
                  std::string_view(readout, static_cast<size_t>(n)));
        s->ReleaseCanvas();
      }
    }

    // Enemies are drawn unrotated, over the marker.
    picture(e.picture).DrawPatternRotatedBlended(
        back(), e.x, e.y, rounded(e.width * static_cast<long double>(e.scale)) + 1,
        rounded(e.height * static_cast<long double>(e.scale)) + 1, e.pattern, 0.5, 0.5, 0, e.alpha);

    e.anim_tick = static_cast<uint8_t>(e.anim_tick + 1);
    if (e.anim_tick == 9) {
      e.pattern = static_cast<uint8_t>(e.pattern + 1);
      const bool wreck = is_destroyed_picture(e.picture);
      if (wreck) e.alpha = static_cast<uint8_t>(e.alpha - 25);
      if (e.pattern == 10) {
        e.pattern = 0;
        if (wreck) e.respawn = 1;
      }
      e.anim_tick = 0;
    }
  }
}

}  // namespace game
