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
#include "platform/sound_output.h"
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

bool request_merge(const std::string&, int file) { return zarnik_js_merge_shared(file) != 0; }

// The bytes the page handed over with its call.
std::vector<uint8_t> handed_bytes(int length) {
  std::vector<uint8_t> bytes(size_t(std::max(length, 0)));
  if (!bytes.empty()) zarnik_js_shared_copy(bytes.data());
  return bytes;
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

struct Backend::Impl {
  using WebClock = web::WebClock;
  using WebDisplay = web::WebDisplay;
  using WebSystem = web::WebSystem;
  using PagePieces = web::PagePieces;
  using RenderedMusic = web::RenderedMusic;
  using AtlasRasterizer = web::AtlasRasterizer;
  using KeptFiles = web::KeptFiles;
  using SharedCopies = web::SharedCopies;

  Impl()
      : system(&display, &clock),
        music(&clock, &pieces, web::kRate),
        kept(web::store_file),
        shared(web::request_merge) {
    sound.set_music([this](float* bus, size_t n) { music.render_add(bus, n); });
    system.on_hidden([this] { hidden(); });
  }

  WebClock clock;
  WebDisplay display;
  WebSystem system;
  SoundOutput sound{web::kRate};
  PagePieces pieces;
  RenderedMusic music;
  std::unique_ptr<AtlasRasterizer> fonts;
  KeptFiles kept;
  SharedCopies shared;

  ProgramLoop* loop = nullptr;
  bool running = false;
  bool finished = false;
  bool timeout_pending = false;
  double last_frame_time = -1;
  double frame_period = 1000.0 / 60;
  // Pulling into nothing while the page's sound has not started yet.
  SilentPace silence{web::kRate};
  std::vector<int16_t> block;
  int peak = 0;

  // The page's sound is fed after every pass, as far ahead as it asks.
  // Before the first key or click the page may play nothing; the mixer is
  // then pulled at the same pace into nothing, so sounds still start, run
  // their length and end as they would.
  void feed_sound() {
    if (zarnik_js_audio_running() == 0) {
      sound.pull_silently(silence.due(emscripten_get_now()));
      return;
    }
    silence.restart();
    const int wanted = zarnik_js_audio_wanted();
    if (wanted <= 0) return;
    block.resize(2 * size_t(wanted));
    sound.pull(block.data(), size_t(wanted));
    for (const int16_t v : block) peak = std::max(peak, std::abs(int(v)));
    zarnik_js_audio_push(block.data(), wanted);
  }

  void one_pass(double frame_time) {
    if (finished || loop == nullptr) return;
    clock.set_frame_time(frame_time);
    system.sample_gamepads();
    const uint64_t shown = display.frames_presented();
    const double start = emscripten_get_now();
    const bool more = loop->pass();
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
    loop->ended();
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
    const uint32_t due = self->loop->next_due_ms();
    if (!self->timeout_pending && !self->clock.held() && due != UINT32_MAX &&
        double(due) + 2 < self->frame_period) {
      self->timeout_pending = true;
      emscripten_set_timeout(on_timeout, double(due), self);
    }
    return EM_TRUE;
  }

  // The page was hidden: the game hears of it (it keeps its settings) and
  // what it wrote is stored at once.
  void hidden() {
    if (finished || !running) return;
    one_pass(-1);
    kept.check();
  }

  // Another tab (or this one) wrote a shared file: this tab's copy becomes
  // the shared one, with the merges still waiting here made on it, and the
  // game reads it again.
  void shared_arrived(int file, const std::vector<uint8_t>& bytes) {
    const std::string path = shared.path(file);
    if (path.empty() || finished) return;
    shared.seen(file, bytes);
    try {
      write_file_atomic(path, shared.local_bytes(file, bytes));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "zarnik: %s\n", e.what());
      return;
    }
    platform::Event e;
    e.type = platform::EventType::SharedFileChanged;
    system.push(e);
  }

  // The page is being left: the game closes and saves, and what it wrote is
  // stored before the page goes.
  void leave() {
    if (finished || !running) return;
    system.push_close();
    one_pass(-1);
    kept.check();
    shared.flush(web::store_file);
  }
};

namespace {
Backend::Impl* g_impl = nullptr;
web::TestAttachment& test_attachment() {
  static web::TestAttachment attach;
  return attach;
}
}  // namespace

// The options are the desktop's: the page has its own title and icon,
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
                       .sound = &impl->sound.mixer(),
                       .music = &impl->music,
                       .clock = &impl->clock,
                       .system = &impl->system,
                       .fonts = impl->fonts.get(),
                       .shared_files = &impl->shared};
  return std::unique_ptr<Backend>(new Backend(std::move(impl), table));
}

Backend::Backend(std::unique_ptr<Impl> impl, const Services& services)
    : impl_(std::move(impl)), services_(services) {}

Backend::~Backend() {
  if (g_impl == impl_.get()) g_impl = nullptr;
}

void Backend::run(ProgramLoop& loop) {
  Impl& i = *impl_;
  // A test build holds the clock first, before any time passes.
  if (test_attachment()) test_attachment()(*this, loop);
  i.loop = &loop;
  i.running = true;
  // What the game writes from now on is kept.
  const std::string dir = current_directory();
  i.kept.keep(settings_directory() + "/zarnik.ini");
  // The score table every tab shares, merged into as each game ends.
  const std::string scores = dir + (dir.empty() || dir.back() != '/' ? "/" : "") + "data.dat";
  const int file = i.shared.share(scores);
  try {
    // As the page put it here from the storage.
    if (file_exists(scores)) i.shared.seen(file, read_file(scores, uint64_t(64) << 20));
  } catch (const std::exception&) {}
  zarnik_js_share(scores.c_str(), file);
  i.system.listen();
  zarnik_js_listen();
  emscripten_request_animation_frame_loop(&Impl::on_frame, &i);
  // main() is left for the browser's event loop without running the
  // destructors of its frame: the program lives on in the page.
  emscripten_unwind_to_js_event_loop();
}

}  // namespace platform

namespace platform::web {

void set_test_attachment(TestAttachment attach) { test_attachment() = std::move(attach); }

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

// A touch player's fingers and controls (controls.js), in CSS pixels.
EMSCRIPTEN_KEEPALIVE void zarnik_web_touch(int kind, double x, double y, int button) {
  if (!platform::g_impl) return;
  auto& s = platform::g_impl->system;
  switch (kind) {
    case 0: s.touch_move(x, y); break;
    case 1: s.touch_button(true, button, x, y); break;
    case 2: s.touch_button(false, button, x, y); break;
    case 3: s.touch_held_button(true, button); break;
    case 4: s.touch_held_button(false, button); break;
    default: break;
  }
}

EMSCRIPTEN_KEEPALIVE void zarnik_web_touch_key(int down, int vk) {
  if (platform::g_impl) platform::g_impl->system.touch_key(down != 0, vk);
}

// Inside the storage's transaction: the shared copy's bytes (length < 0:
// none kept yet) with every waiting merge made on them, handed back.
EMSCRIPTEN_KEEPALIVE void zarnik_web_shared_merge(int file, int length) {
  if (!platform::g_impl) return;
  uint64_t through = 0;
  const std::vector<uint8_t> out =
      platform::g_impl->shared.merge_into(file, platform::web::handed_bytes(length), through);
  zarnik_js_shared_result(out.data(), int(out.size()), double(through));
}

EMSCRIPTEN_KEEPALIVE void zarnik_web_shared_written(int file, double through) {
  if (platform::g_impl) platform::g_impl->shared.written(file, uint64_t(through));
}

EMSCRIPTEN_KEEPALIVE void zarnik_web_shared_arrived(int file, int length) {
  if (platform::g_impl) platform::g_impl->shared_arrived(file, platform::web::handed_bytes(length));
}
}
