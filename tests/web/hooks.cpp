// The page's test build: the game's program with hooks the browser tests call
// (through the DevTools protocol) to hold the clock and move it tick by
// tick, and to read the world's digest, the loudest sample played and the
// frames shown. A page that sets window.zarnikHoldClock before the program
// starts has its clock held from the first pass on, so its ticks come only
// from zarnik_test_tick(), as the headless driver's do.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <string>

#include "game/form.h"
#include "game/program.h"
#include "harness/world_digest.h"
#include "platform/text.h"
#include "platform/web/backend.h"

namespace {

platform::Backend* g_backend = nullptr;
game::TForm1* g_form = nullptr;

// A Windows-1250 text as a JSON string.
std::string quoted(const std::string& cp1250) {
  std::string out = "\"";
  for (char c : platform::cp1250_to_utf8(cp1250)) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned char>(c));
      out += esc;
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// The player's rockets in flight.
int shots_in_flight(const game::TForm1& form) {
  int n = 0;
  for (int i = 1; i <= 10; ++i) n += form.player_rockets[i].active != 0 ? 1 : 0;
  return n;
}

// Attached through the backend's test interface when the program hands
// over its loop, which is the game's program (game/main.cpp).
[[maybe_unused]] const bool g_attached = [] {
  platform::web::set_test_attachment([](platform::Backend& backend, platform::ProgramLoop& loop) {
    g_backend = &backend;
    g_form = &static_cast<game::Program&>(loop).form();
    if (EM_ASM_INT({ return window.zarnikHoldClock ? 1 : 0; }) != 0)
      platform::web::hold_clock(backend);
  });
  return true;
}();

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void zarnik_test_hold_clock() {
  if (g_backend) platform::web::hold_clock(*g_backend);
}

// n passes, each after moving the held clock on by one frame (16 ms).
EMSCRIPTEN_KEEPALIVE void zarnik_test_tick(int n) {
  for (int i = 0; i < n && g_backend; ++i) platform::web::step(*g_backend, 16);
}

// One pass without moving the clock: the events that came are handled.
EMSCRIPTEN_KEEPALIVE void zarnik_test_pass() {
  if (g_backend) platform::web::step(*g_backend, 0);
}

EMSCRIPTEN_KEEPALIVE const char* zarnik_test_digest() {
  static char text[17];
  if (!g_form) return "";
  std::snprintf(text, sizeof text, "%016llx",
                static_cast<unsigned long long>(game_driver::world_digest(*g_form)));
  return text;
}

EMSCRIPTEN_KEEPALIVE int zarnik_test_audio_peak() {
  return g_backend ? platform::web::audio_peak(*g_backend) : 0;
}

EMSCRIPTEN_KEEPALIVE double zarnik_test_frames() {
  return g_backend ? double(platform::web::frames_presented(*g_backend)) : 0;
}

// A few of the game's fields, as JSON, for tests that wait for a screen.
EMSCRIPTEN_KEEPALIVE const char* zarnik_test_state() {
  static std::string json;
  if (!g_form) return "{}";
  const game::Thra& g = g_form->game;
  json = "{\"splash_frames\":" + std::to_string(int(g.splash_frames)) +
         ",\"in_menu\":" + std::to_string(int(g.in_menu)) +
         ",\"scores_shown\":" + std::to_string(int(g.scores_shown)) +
         ",\"score\":" + std::to_string(int(g.score)) +
         ",\"game_lost\":" + std::to_string(int(g.game_lost)) +
         ",\"shield\":" + std::to_string(int(g_form->ship.shield)) +
         ",\"paused\":" + std::to_string(int(g.paused)) +
         ",\"name_editing\":" + std::to_string(int(g.name_editing)) +
         ",\"speed\":" + std::to_string(int(g_form->ship.speed)) +
         ",\"heading\":" + std::to_string(int(g_form->ship.heading)) +
         ",\"missiles\":" + std::to_string(int(g_form->ship.missiles)) +
         ",\"mouse_left\":" + std::to_string(int(g_form->mouse_left)) +
         ",\"mouse_right\":" + std::to_string(int(g_form->mouse_right)) +
         ",\"shots\":" + std::to_string(shots_in_flight(*g_form)) +
         ",\"name\":" + quoted(g.player_name) + ",\"scores\":[";
  for (size_t i = 0; i < g_form->score_table.size(); ++i)
    json += (i ? "," : "") + quoted(g_form->score_table[i]);
  json += "]}";
  return json.c_str();
}
}
