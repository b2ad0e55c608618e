#include "platform/sdl/music.h"

#include <fluidsynth.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace platform::sdl {

namespace {

void quiet_log(int, const char*, void*) {}

}  // namespace

struct FluidMusic::Synth : MidiOutput {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  ~Synth() override {
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
  void reset() override { fluid_synth_system_reset(synth); }
  void send(const midi::Event& e) override {
    const int ch = e.status & 0x0F;
    switch (e.status & 0xF0) {
      case 0x80: fluid_synth_noteoff(synth, ch, e.data1); break;
      case 0x90:
        if (e.data2 == 0)
          fluid_synth_noteoff(synth, ch, e.data1);
        else
          fluid_synth_noteon(synth, ch, e.data1, e.data2);
        break;
      case 0xA0: fluid_synth_key_pressure(synth, ch, e.data1, e.data2); break;
      case 0xB0: fluid_synth_cc(synth, ch, e.data1, e.data2); break;
      case 0xC0: fluid_synth_program_change(synth, ch, e.data1); break;
      case 0xD0: fluid_synth_channel_pressure(synth, ch, e.data1); break;
      case 0xE0: fluid_synth_pitch_bend(synth, ch, e.data1 | (e.data2 << 7)); break;
      default: break;
    }
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

// The base keeps only the clock's address; SDL's clock is ready before any
// call reads it.
FluidMusic::FluidMusic(int sample_rate, std::string soundfont, Clock* clock)
    : SequencedMusic(clock ? clock : &sdl_clock_),
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
  // Only the audio thread calls it once it is published.
  fluid_settings_setint(s->settings, "synth.threadsafe-api", 0);
  fluid_settings_setint(s->settings, "synth.cpu-cores", 1);
  s->synth = new_fluid_synth(s->settings);
  if (!s->synth) return;
  if (fluid_synth_sfload(s->synth, soundfont_.c_str(), 1) == FLUID_FAILED) return;
  synth_ = std::move(s);
  ready_.store(true, std::memory_order_release);
}

void FluidMusic::render_add(float* bus, size_t frames) {
  if (!ready_.load(std::memory_order_acquire)) return;
  Synth& s = *synth_;
  pump(s);
  while (frames > 0) {
    const size_t n = std::min(frames, kScratchFrames);
    fluid_synth_write_float(s.synth, int(n), scratch_, 0, 2, scratch_, 1, 2);
    for (size_t i = 0; i < 2 * n; ++i) bus[i] += scratch_[i];
    bus += 2 * n;
    frames -= n;
  }
}

}  // namespace platform::sdl
