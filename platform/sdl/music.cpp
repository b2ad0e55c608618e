#include "platform/sdl/music.h"

#include <fluidsynth.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace platform::sdl {

namespace {

void quiet_log(int, const char*, void*) {}

// FluidSynth with the soundfont, loaded on a thread of its own.
class FluidSynth : public SoftSynth {
 public:
  FluidSynth(int sample_rate, std::string soundfont)
      : sample_rate_(sample_rate), soundfont_(std::move(soundfont)) {
    loader_ = std::thread([this] { load(); });
  }
  ~FluidSynth() override {
    if (loader_.joinable()) loader_.join();
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
  }
  bool ready() const override { return ready_.load(std::memory_order_acquire); }
  void reset() override { fluid_synth_system_reset(synth_); }
  void send(const midi::Event& e) override {
    const int ch = e.status & 0x0F;
    switch (e.status & 0xF0) {
      case 0x80: fluid_synth_noteoff(synth_, ch, e.data1); break;
      case 0x90:
        if (e.data2 == 0)
          fluid_synth_noteoff(synth_, ch, e.data1);
        else
          fluid_synth_noteon(synth_, ch, e.data1, e.data2);
        break;
      case 0xA0: fluid_synth_key_pressure(synth_, ch, e.data1, e.data2); break;
      case 0xB0: fluid_synth_cc(synth_, ch, e.data1, e.data2); break;
      case 0xC0: fluid_synth_program_change(synth_, ch, e.data1); break;
      case 0xD0: fluid_synth_channel_pressure(synth_, ch, e.data1); break;
      case 0xE0: fluid_synth_pitch_bend(synth_, ch, e.data1 | (e.data2 << 7)); break;
      default: break;
    }
  }
  void render_add(float* bus, size_t frames) override {
    while (frames > 0) {
      const size_t n = std::min(frames, kScratchFrames);
      fluid_synth_write_float(synth_, int(n), scratch_, 0, 2, scratch_, 1, 2);
      for (size_t i = 0; i < 2 * n; ++i) bus[i] += scratch_[i];
      bus += 2 * n;
      frames -= n;
    }
  }

 private:
  void load();

  int sample_rate_;
  std::string soundfont_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;  // set by the loader, before ready_
  std::atomic<bool> ready_{false};
  std::thread loader_;
  static constexpr size_t kScratchFrames = 256;
  float scratch_[2 * kScratchFrames];
};

void FluidSynth::load() {
  // Loading takes about 70 ms of processor time while the game starts; at a
  // lower priority it yields to the display and the data files. Only this
  // thread is lowered (it starts no threads of its own).
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
  settings_ = new_fluid_settings();
  if (!settings_) return;
  fluid_settings_setnum(settings_, "synth.sample-rate", sample_rate_);
  // With the game's songs this puts the music at about -22 dB RMS with peaks
  // near -4 dB: under the sound effects, and without clipping on its own.
  fluid_settings_setnum(settings_, "synth.gain", 0.6);
  // Only the audio thread calls it once it is published.
  fluid_settings_setint(settings_, "synth.threadsafe-api", 0);
  fluid_settings_setint(settings_, "synth.cpu-cores", 1);
  synth_ = new_fluid_synth(settings_);
  if (!synth_) return;
  if (fluid_synth_sfload(synth_, soundfont_.c_str(), 1) == FLUID_FAILED) return;
  ready_.store(true, std::memory_order_release);
}

}  // namespace

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
  return std::unique_ptr<FluidMusic>(new FluidMusic(sample_rate, std::move(sf), clock));
}

// The base keeps only the clock's address; SDL's clock is ready before any
// call reads it.
FluidMusic::FluidMusic(int sample_rate, std::string soundfont, Clock* clock)
    : SynthMusic(clock ? clock : &sdl_clock_,
                 std::make_unique<FluidSynth>(sample_rate, std::move(soundfont))) {}

}  // namespace platform::sdl
