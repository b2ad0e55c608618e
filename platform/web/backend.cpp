#include "platform/web/backend.h"

#include <emscripten/emscripten.h>
#include <emscripten/eventloop.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/mixer.h"
#include "platform/web/clock.h"
#include "platform/web/display.h"
#include "platform/web/glyph_atlas.h"
#include "platform/web/js_calls.h"
#include "platform/web/music.h"
#include "platform/web/storage.h"
#include "platform/web/system.h"

namespace platform::web {

namespace {

// The mixer's rate; the page asks the browser's audio for the same.
constexpr uint32_t kRate = 44100;
// Where the page puts the glyphs it fetched with the data files.
constexpr const char* kGlyphFile = "/web/glyphs.bin";

// The rendered music as the page holds it.
class PagePieces : public RenderedMusic::Source {
 public:
  int piece(std::string_view name) override { return zarnik_js_piece(std::string(name).c_str()); }
  uint64_t frames(int piece) override {
    const double f = zarnik_js_piece_frames(piece);
    return f > 0 ? uint64_t(f) : 0;
  }
  void add(int piece, uint64_t from, float* bus, size_t count) override {
    zarnik_js_piece_add(piece, double(from), bus, int(count));
  }
};

void store_file(const std::string& path, const std::vector<uint8_t>* bytes) {
  if (bytes)
    zarnik_js_store(path.c_str(), bytes->data(), int(bytes->size()));
  else
    zarnik_js_store(path.c_str(), nullptr, -1);
}

std::unique_ptr<AtlasRasterizer> load_glyphs() {
  std::vector<AtlasFace> faces;
  try {
    const std::vector<uint8_t> bytes = read_file(kGlyphFile, uint64_t(16) << 20);
    if (!read_atlas(bytes, faces)) std::fprintf(stderr, "zarnik: %s is damaged\n", kGlyphFile);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarnik: no text: %s\n", e.what());
  }
  return std::make_unique<AtlasRasterizer>(std::move(faces));
}

}  // namespace

}  // namespace platform::web

namespace platform {

using web::NextDue;
using web::Pass;

struct Backend::Impl {
  using WebClock = web::WebClock;
  using WebDisplay = web::WebDisplay;
  using WebSystem = web::WebSystem;
  using PagePieces = web::PagePieces;
  using RenderedMusic = web::RenderedMusic;
  using AtlasRasterizer = web::AtlasRasterizer;
  using KeptFiles = web::KeptFiles;

  Impl() : system(&display, &clock), music(&clock, &pieces, web::kRate), kept(web::store_file) {}

  WebClock clock;
  WebDisplay display;
  WebSystem system;
  Mixer mixer{web::kRate};
  PagePieces pieces;
  RenderedMusic music;
  std::unique_ptr<AtlasRasterizer> fonts;
  KeptFiles kept;

  Pass pass;
  NextDue next_due;
  std::function<void()> ended;
  bool running = false;
  bool finished = false;
  bool timeout_pending = false;
  double last_frame_time = -1;
  double frame_period = 1000.0 / 60;
  // Mixing into nothing while the page's sound has not started yet.
  double silent_time = -1;
  std::vector<int16_t> block;
  int peak = 0;

  // The mixer's output with the music added.
  void mix(int16_t* out, size_t frames) {
    mixer.mix(out, frames, [this](float* bus, size_t n) { music.render_add(bus, n); });
    for (size_t i = 0; i < 2 * frames; ++i) peak = std::max(peak, std::abs(int(out[i])));
  }

  // The page's sound is fed after every pass, as far ahead as it asks.
  // Before the first key or click the page may play nothing; the mixer is
  // then pulled at the same pace into nothing, so sounds still start, run
  // their length and end as they would.
  void feed_sound() {
    const double now = emscripten_get_now();
    if (zarnik_js_audio_running() != 0) {
      silent_time = -1;
      const int wanted = zarnik_js_audio_wanted();
      if (wanted <= 0) return;
      block.resize(2 * size_t(wanted));
      mix(block.data(), size_t(wanted));
      zarnik_js_audio_push(block.data(), wanted);
      return;
    }
    if (silent_time < 0) silent_time = now;
    const auto due = size_t(std::max(0.0, (now - silent_time) * web::kRate / 1000));
    // A long pause (a hidden page) is not made up.
    const size_t frames = std::min<size_t>(due, web::kRate / 4);
    if (frames == 0) return;
    block.resize(2 * frames);
    mixer.mix(block.data(), frames);
    silent_time += double(due) * 1000 / web::kRate;
  }

  void one_pass(double frame_time) {
    if (finished) return;
    clock.set_frame_time(frame_time);
    system.sample_gamepads();
    const uint64_t shown = display.frames_presented();
    const double start = emscripten_get_now();
    const bool more = pass();
    const double passed = emscripten_get_now();
    clock.set_frame_time(-1);
    kept.check();
    feed_sound();
    // A pass that showed a frame is timed, for the page's benchmark.
    if (display.frames_presented() != shown)
      zarnik_js_frame_time(emscripten_get_now() - start, passed - start, display.last_present_ms());
    if (!more) finish();
  }

  void finish() {
    if (finished) return;
    finished = true;
    running = false;
    system.unlisten();
    if (ended) ended();
    kept.check();
    zarnik_js_ended();
  }

  static void on_timeout(void* user) {
    auto* self = static_cast<Impl*>(user);
    self->timeout_pending = false;
    if (!self->clock.held()) self->one_pass(-1);
  }

  // Before each display frame. Where frames come further apart than a tick
  // (a display of 50 Hz, or a tick falling due just after a frame of a fast
  // display), a timer makes the pass when the tick is due instead.
  static EM_BOOL on_frame(double time, void* user) {
    auto* self = static_cast<Impl*>(user);
    if (self->finished) return EM_FALSE;
    if (self->last_frame_time >= 0) {
      const double d = time - self->last_frame_time;
      if (d > 0 && d < 100) self->frame_period += (d - self->frame_period) * 0.1;
    }
    self->last_frame_time = time;
    self->one_pass(self->clock.held() ? -1 : time);
    if (self->finished) return EM_FALSE;
    const uint32_t due = self->next_due ? self->next_due() : UINT32_MAX;
    if (!self->timeout_pending && !self->clock.held() && due != UINT32_MAX &&
        double(due) + 2 < self->frame_period) {
      self->timeout_pending = true;
      emscripten_set_timeout(on_timeout, double(due), self);
    }
    return EM_TRUE;
  }

  // The page is being left: the game closes and saves, and what it wrote is
  // stored before the page goes.
  void leave() {
    if (finished || !running) return;
    system.push_close();
    one_pass(-1);
    kept.check();
  }
};

namespace {
Backend::Impl* g_impl = nullptr;
}  // namespace

// The options are the other backends': the page has its own title and icon,
// always a mixer, and its glyphs from the start.
std::unique_ptr<Backend> Backend::create(const BackendOptions&) {
  auto impl = std::make_unique<Impl>();
  impl->fonts = web::load_glyphs();
  // The folder of the settings file is ours to make in the page's file
  // system.
  std::error_code ec;
  std::filesystem::create_directories(settings_directory(), ec);
  g_impl = impl.get();
  const Services table{.display = &impl->display,
                       .sound = &impl->mixer,
                       .music = &impl->music,
                       .clock = &impl->clock,
                       .system = &impl->system,
                       .fonts = impl->fonts.get()};
  return std::unique_ptr<Backend>(new Backend(std::move(impl), table));
}

Backend::Backend(std::unique_ptr<Impl> impl, const Services& services)
    : impl_(std::move(impl)), services_(services) {}

Backend::~Backend() {
  if (g_impl == impl_.get()) g_impl = nullptr;
}

}  // namespace platform

namespace platform::web {

void run(Backend& backend, Pass pass, NextDue next_due, std::function<void()> ended) {
  Backend::Impl& i = backend.impl();
  i.pass = std::move(pass);
  i.next_due = std::move(next_due);
  i.ended = std::move(ended);
  i.running = true;
  // What the game writes from now on is kept.
  const std::string dir = current_directory();
  i.kept.keep(settings_directory() + "/zarnik.ini");
  i.kept.keep(dir + (dir.empty() || dir.back() != '/' ? "/" : "") + "data.dat");
  i.system.listen();
  zarnik_js_listen();
  emscripten_request_animation_frame_loop(&Backend::Impl::on_frame, &i);
}

void hold_clock(Backend& backend) { backend.impl().clock.hold(); }

void step(Backend& backend, uint32_t ms) {
  backend.impl().clock.advance(ms);
  backend.impl().one_pass(-1);
}

int audio_peak(Backend& backend) {
  const int p = backend.impl().peak;
  backend.impl().peak = 0;
  return p;
}

uint64_t frames_presented(Backend& backend) { return backend.impl().display.frames_presented(); }

}  // namespace platform::web

extern "C" {

EMSCRIPTEN_KEEPALIVE void zarnik_web_layout() {
  if (platform::g_impl) platform::g_impl->system.layout_changed();
}

EMSCRIPTEN_KEEPALIVE void zarnik_web_leave() {
  if (platform::g_impl) platform::g_impl->leave();
}
}
