#include "platform/sdl/music.h"

#include <fluidsynth.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace platform::sdl {

namespace {

// Note-ons that are this late when they can first be delivered (the
// soundfont was still loading) are dropped rather than played in a burst.
constexpr uint32_t kLateNoteMs = 100;

void quiet_log(int, const char*, void*) {}

}  // namespace

struct FluidMusic::Synth {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  ~Synth() {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
};

std::string find_soundfont() {
  std::vector<std::string> candidates;
  if (fluid_settings_t* s = new_fluid_settings()) {
    char* def = nullptr;
    if (fluid_settings_dupstr(s, "synth.default-soundfont", &def) == FLUID_OK && def) {
      candidates.emplace_back(def);
      fluid_free(def);
    }
    delete_fluid_settings(s);
  }
  for (const char* p :
       {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/soundfonts/default.sf2"})
    candidates.emplace_back(p);
  for (const auto& c : candidates) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(c, ec)) return c;
  }
  return {};
}

std::unique_ptr<FluidMusic> FluidMusic::create(int sample_rate, std::string& error, Clock* clock) {
  // FluidSynth reports to stderr by default; the game keeps quiet and simply
  // plays without music when something is missing.
  fluid_set_log_function(FLUID_PANIC, quiet_log, nullptr);
  fluid_set_log_function(FLUID_ERR, quiet_log, nullptr);
  fluid_set_log_function(FLUID_WARN, quiet_log, nullptr);
  fluid_set_log_function(FLUID_INFO, quiet_log, nullptr);
  fluid_set_log_function(FLUID_DBG, quiet_log, nullptr);
  std::string sf = find_soundfont();
  if (sf.empty()) {
    error = "no General MIDI soundfont found";
    return nullptr;
  }
  std::unique_ptr<FluidMusic> m(new FluidMusic(sample_rate, std::move(sf), clock));
  m->loader_ = std::thread([p = m.get()] { p->load_soundfont(); });
  return m;
}

FluidMusic::FluidMusic(int sample_rate, std::string soundfont, Clock* clock)
    : seq_(clock ? clock : &sdl_clock_),
      sample_rate_(sample_rate),
      soundfont_(std::move(soundfont)) {}

FluidMusic::~FluidMusic() {
  if (loader_.joinable()) loader_.join();
}

void FluidMusic::load_soundfont() {
  // Loading takes about 70 ms of processor time while the game starts; at a
  // lower priority it yields to the display and the data files. Only this
  // thread is lowered (it starts no threads of its own).
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
  auto s = std::make_unique<Synth>();
  s->settings = new_fluid_settings();
  if (!s->settings) return;
  fluid_settings_setnum(s->settings, "synth.sample-rate", sample_rate_);
  // With the game's songs this puts the music at about -22 dB RMS with peaks
  // near -4 dB: under the sound effects, and without clipping on its own.
  fluid_settings_setnum(s->settings, "synth.gain", 0.6);
  // Our own mutex serialises every call.
  fluid_settings_setint(s->settings, "synth.threadsafe-api", 0);
  fluid_settings_setint(s->settings, "synth.cpu-cores", 1);
  s->synth = new_fluid_synth(s->settings);
  if (!s->synth) return;
  if (fluid_synth_sfload(s->synth, soundfont_.c_str(), 1) == FLUID_FAILED) return;
  std::lock_guard lock(mutex_);
  synth_ = std::move(s);
  ready_ = true;
}

bool FluidMusic::open(const std::string& path, std::string& error) {
  midi::Song song;
  if (!midi::load_file(path, song, error)) return false;
  std::lock_guard lock(mutex_);
  seq_.load(std::move(song));
  return true;
}

void FluidMusic::close() {
  std::lock_guard lock(mutex_);
  seq_.unload();
  if (synth_) fluid_synth_system_reset(synth_->synth);
}

bool FluidMusic::is_open() {
  std::lock_guard lock(mutex_);
  return seq_.loaded();
}

bool FluidMusic::play(uint32_t from_ms) {
  std::lock_guard lock(mutex_);
  if (!seq_.loaded()) return false;
  seq_.play(from_ms);
  return true;
}

void FluidMusic::stop() {
  std::lock_guard lock(mutex_);
  seq_.stop();
}

uint32_t FluidMusic::position_ms() {
  std::lock_guard lock(mutex_);
  return seq_.position_ms();
}

uint32_t FluidMusic::length_ms() {
  std::lock_guard lock(mutex_);
  return seq_.length_ms();
}

void FluidMusic::deliver(const midi::Event& e, uint32_t now_ms) {
  fluid_synth_t* fs = synth_->synth;
  const int ch = e.status & 0x0F;
  switch (e.status & 0xF0) {
    case 0x80: fluid_synth_noteoff(fs, ch, e.data1); break;
    case 0x90:
      if (e.data2 == 0) {
        fluid_synth_noteoff(fs, ch, e.data1);
      } else if (e.ms + kLateNoteMs >= now_ms) {
        fluid_synth_noteon(fs, ch, e.data1, e.data2);
      }
      break;
    case 0xA0: fluid_synth_key_pressure(fs, ch, e.data1, e.data2); break;
    case 0xB0: fluid_synth_cc(fs, ch, e.data1, e.data2); break;
    case 0xC0: fluid_synth_program_change(fs, ch, e.data1); break;
    case 0xD0: fluid_synth_channel_pressure(fs, ch, e.data1); break;
    case 0xE0: fluid_synth_pitch_bend(fs, ch, e.data1 | (e.data2 << 7)); break;
    default: break;
  }
}

void FluidMusic::render_add(float* bus, size_t frames) {
  // The game thread holds the lock only for a few bookkeeping steps.
  std::lock_guard lock(mutex_);
  if (!synth_) return;
  if (seq_.take_reset()) {
    // A jump or a stop: silence what was sounding and start from a clean
    // controller state, as a fresh play of the piece expects.
    fluid_synth_system_reset(synth_->synth);
  }
  if (seq_.loaded()) {
    const uint32_t now = seq_.position_ms();
    seq_.events_until(now + 1, [&](const midi::Event& e) { deliver(e, now); });
  }
  while (frames > 0) {
    const size_t n = std::min(frames, kScratchFrames);
    fluid_synth_write_float(synth_->synth, int(n), scratch_, 0, 2, scratch_, 1, 2);
    for (size_t i = 0; i < 2 * n; ++i) bus[i] += scratch_[i];
    bus += 2 * n;
    frames -= n;
  }
}

}  // namespace platform::sdl
