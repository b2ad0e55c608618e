#include "harness/world_digest.h"

#include <string>

namespace game_driver {

uint64_t world_digest(const game::TForm1& f) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](int64_t v) {
    for (int i = 0; i < 8; ++i) {
      h ^= uint64_t(v >> (8 * i)) & 0xFF;
      h *= 1099511628211ull;
    }
  };
  auto mixd = [&mix](double d) { mix(int64_t(d * 1e9)); };
  auto mixs = [&mix](const std::string& s) {
    mix(int64_t(s.size()));
    for (unsigned char c : s) mix(c);
  };
  const game::Thra& g = f.game;
  for (int v :
       {int(g.in_menu), int(g.splash_frames), int(g.paused), int(g.link_hover), int(g.scores_glow),
        int(g.end_glow), int(g.start_glow), int(g.start_selected), int(g.end_selected),
        int(g.scores_selected), int(g.name_editing), int(g.scores_shown), int(g.score),
        int(g.level_mark), int(g.game_won), int(g.game_lost)})
    mix(v);
  mixs(g.player_name);
  const game::Tstar& s = f.ship;
  for (int v : {int(s.heading), int(s.target), int(s.speed), int(s.shield), int(s.missiles), s.x,
                s.y, int(s.locked), int(s.alive)})
    mix(v);
  mixd(s.scale);
  const game::Tmeteor& m = f.meteor;
  for (int v : {int(m.heading), int(m.growing), m.x, m.y, int(m.wait_limit), int(m.wait_count),
                int(m.spin)})
    mix(v);
  mixd(m.scale);
  mixd(m.anim);
  const game::Tbonusy& b = f.bonus;
  for (int v : {b.x, b.y, int(b.alpha), int(b.gone), int(b.pattern), int(b.kind), int(b.tick)})
    mix(v);
  for (const auto* pool : {&f.player_rockets.items, &f.enemy_rockets.items})
    for (const auto& r : *pool) {
      for (int v :
           {int(r.heading), int(r.speed), int(r.alpha), r.width, r.height, r.x, r.y, int(r.active),
            int(r.kind), int(r.picture), int(r.pattern), int(r.age), int(r.life)})
        mix(v);
      mixd(r.scale);
    }
  for (const auto& p : f.planets) {
    for (int v :
         {p.anim_timer, p.x, p.y, int(p.pattern), int(p.picture), int(p.drift), int(p.angle)})
      mix(v);
    mixd(p.scale);
  }
  for (const auto& st : f.stars)
    for (int v : {st.x, st.y, int(st.brightness), int(st.brightening), int(st.size)}) mix(v);
  for (const auto& e : f.enemies) {
    for (int v : {int(e.heading), int(e.speed), int(e.alpha), int(e.dying), e.x, e.y,
                  int(e.respawn), int(e.aims), int(e.resistance), int(e.picture), e.width, e.height,
                  int(e.anim_tick), int(e.pattern)})
      mix(v);
    mixd(e.scale);
  }
  for (const auto& p : f.explosions)
    for (int v :
         {p.x, p.y, int(p.alpha), int(p.free), int(p.heading), int(p.speed), int(p.pattern)})
      mix(v);
  for (int v : {int(f.level), int(f.fire_delay), int(f.missile_delay), int(f.enemy_fire_timer),
                int(f.key_left), int(f.key_right), int(f.key_fire), int(f.key_missile),
                int(f.mouse_left), int(f.mouse_right), int(f.cursor.cursor_fade),
                int(f.cursor.pressed), int(f.cursor.cursor_angle)})
    mix(v);
  for (const auto& line : f.score_table) mixs(line);
  mix(int64_t(game::random_state()));
  return h;
}

}  // namespace game_driver
