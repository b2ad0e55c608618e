// sound_levels: plays the game headless through a busy scripted session with
// the real data files and measures what the player would hear: full-scale
// samples, the share of 100 ms windows that reach full scale, and the energy
// above the effects' own Nyquist frequency (11025 Hz for 22050 Hz sounds)
// relative to the energy below it. With --music the songs are rendered by
// FluidSynth and join the mix as they do in the game.
//
//   sound_levels [--seconds N] [--music] [--menu] [--raw FILE]
//   sound_levels --analyse FILE [--rate HZ]
//
// With --music the music bus and the effects are also measured apart, as
// they reach the output (the music bus's gain and the headroom applied,
// before the limiter): the RMS of each over the run and over 400 ms windows
// (median and loud end), so the balance of the two can be read off. --menu
// stays in the menu instead of playing (the menu's song and nothing else).
//
// --raw writes the mix (signed 16-bit little-endian stereo, 44100 Hz) for
// listening; --analyse measures such a file instead, e.g. one written by
// SDL's disk audio driver while the real game ran.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/sound_levels/analysis.h"
#include "harness/game_driver.h"
#include "platform/sdl/music.h"

namespace {

constexpr uint32_t kRate = platform::Mixer::kDefaultOutputRate;
constexpr size_t kBlock = 1024;  // the audio device's block

void report(const std::vector<int16_t>& pcm, uint32_t rate) {
  const auto l = sound_levels::measure_levels(pcm, rate);
  const auto s = sound_levels::average_spectrum(pcm, rate);
  std::printf("recording          %.1f s at %u Hz\n", double(l.frames) / rate, rate);
  std::printf("level              peak %.2f dBFS, rms %.1f dBFS\n", l.peak_dbfs, l.rms_dbfs);
  std::printf("full scale         %llu samples; %zu of %zu windows of 100 ms (%.1f %%)\n",
              static_cast<unsigned long long>(l.full_scale_samples), l.full_scale_windows,
              l.windows, l.windows ? 100.0 * double(l.full_scale_windows) / double(l.windows) : 0);
  const double nyq = rate / 2.0;
  std::printf("above 11025 Hz     %.1f dB relative to 0-11025 Hz\n",
              sound_levels::band_ratio_db(s, 11025, nyq, 11025));
  std::printf("16-21 kHz          %.1f dB relative to 0-11025 Hz\n",
              sound_levels::band_ratio_db(s, 16000, 21000, 11025));
}

double db(double gain) { return gain > 0 ? -20 * std::log10(gain) : 200; }

void report_limiter(const platform::LimiterStats& s, uint32_t rate) {
  const double ms = 1000.0 / rate;
  const double minutes = double(s.frames) / rate / 60;
  std::printf("limiter            reducing %.2f %% of the time (by more than 1 dB: %.3f %%)\n",
              s.frames ? 100.0 * double(s.reduced_frames) / double(s.frames) : 0.0,
              s.frames ? 100.0 * double(s.reduced_1db) / double(s.frames) : 0.0);
  std::printf(
      "                   %llu episodes (%.1f a minute), %.0f ms on average, longest %.0f ms\n",
      static_cast<unsigned long long>(s.episodes), minutes > 0 ? s.episodes / minutes : 0,
      s.episodes ? double(s.reduced_frames) / double(s.episodes) * ms : 0.0,
      double(s.longest_episode) * ms);
  std::printf("                   reduction %.2f dB on average (of the gain), deepest %.2f dB\n",
              s.reduced_frames ? db(s.gain_sum / double(s.reduced_frames)) : 0.0,
              db(s.lowest_gain));
  std::printf("                   steepest step per frame: down %.3f dB, up %.4f dB\n",
              -db(s.steepest_fall), -db(s.steepest_rise));
}

// The scripted player: starts a game, keeps firing while the cursor circles
// round the screen (so the ship turns and shots spread), launches missiles
// now and then, and starts a new game whenever the ship is lost.
class Player {
 public:
  Player(game_driver::GameDriver& d, bool menu_only) : d_(d), menu_only_(menu_only) {}
  int games = 0;
  void frame(int n) {
    if (menu_only_) return;
    auto& g = d_.form().game;
    if (std::getenv("SOUND_LEVELS_TRACE") && n % 300 == 0)
      std::fprintf(stderr, "%d menu %d lost %d score %d shield %d x %d y %d\n", n, g.in_menu,
                   g.game_lost, g.score, d_.form().ship.shield, d_.form().ship.x, d_.form().ship.y);
    if (g.in_menu == 1) {
      if (n % 50 == 0) {
        d_.move_to(400, 225);  // the start item
        d_.click();
        firing_ = false;
        ++games;
      }
      return;
    }
    if (g.game_lost == 1) {
      if (n % 60 == 0) {
        if (firing_) d_.key_up(platform::vk::kSpace);
        firing_ = false;
        d_.click();  // back to the menu
      }
      return;
    }
    if (!firing_) {
      d_.key_down(platform::vk::kSpace);
      firing_ = true;
      for (int i = 0; i < 3; ++i) d_.press(platform::vk::kUp);
    }
    // Aim at the nearest enemy in flight; with none about, sweep round.
    const auto& ship = d_.form().ship;
    int best = -1;
    double best_d = 1e18;
    for (int j = 1; j <= 10; ++j) {
      const auto& e = d_.form().enemies[j];
      if (e.respawn != 0 || e.dying != 0 || e.speed < 0) continue;
      const double dx = e.x - ship.x, dy = e.y - ship.y, dd = dx * dx + dy * dy;
      if (dd < best_d) {
        best_d = dd;
        best = j;
      }
    }
    const double a = n * 0.02;
    if (best > 0) {
      const auto& e = d_.form().enemies[best];
      d_.move_to(e.x + int(8 * std::cos(5 * a)), e.y + int(8 * std::sin(5 * a)));
    } else {
      d_.move_to(400 + int(300 * std::cos(a)), 300 + int(220 * std::sin(1.3 * a)));
    }
    // A held key repeats about 30 times a second; each repeat is a key-down.
    if (n % 2 == 0) d_.key_down(platform::vk::kSpace);
    if (n % 45 == 0) d_.press(platform::vk::kCtrl);
  }

 private:
  game_driver::GameDriver& d_;
  bool menu_only_;
  bool firing_ = false;
};

// One part of the mix as it reaches the output: interleaved stereo floats,
// 1.0 = full scale.
struct Part {
  std::vector<float> samples;
  void add(const float* bus, size_t frames, float gain) {
    for (size_t i = 0; i < 2 * frames; ++i) samples.push_back(bus[i] * gain);
  }
};

double power_db(double mean_square) {
  return mean_square > 0 ? 10 * std::log10(mean_square) : -200;
}

// RMS over the whole part and over windows of 400 ms: the median window and
// the loud end (the 90th percentile), and the share of windows with any
// sound (above -60 dBFS).
void report_part(const char* name, const Part& p) {
  const size_t window = size_t(kRate) * 2 / 5;
  std::vector<double> db;
  double total = 0;
  for (size_t i = 0; i + 2 * window <= p.samples.size(); i += 2 * window) {
    double sum = 0;
    for (size_t j = i; j < i + 2 * window; ++j) sum += double(p.samples[j]) * p.samples[j];
    total += sum;
    db.push_back(power_db(sum / double(2 * window)));
  }
  if (db.empty()) return;
  std::vector<double> sorted = db;
  std::sort(sorted.begin(), sorted.end());
  const size_t audible =
      size_t(std::count_if(db.begin(), db.end(), [](double v) { return v > -60; }));
  std::printf(
      "%-18s rms %.1f dBFS; 400 ms windows: median %.1f, 90th percentile %.1f dBFS; "
      "sounding in %.0f %%\n",
      name, power_db(total / double(db.size() * 2 * window)), sorted[sorted.size() / 2],
      sorted[sorted.size() * 9 / 10], 100.0 * double(audible) / double(db.size()));
}

// Plays (or, with menu_only, stays in the menu) for seconds and reports the
// mix; with music, the music bus's part too, and the effects' part when
// effects is given (the same deterministic run without music).
int run_game(int seconds, bool with_music, bool menu_only, const std::string& raw_path,
             Part* effects) {
  game_driver::Options o;
  o.data_from = ZARNIK_RUN_DIR;
  o.with_sound = true;
  // The music outlives the game window, which closes it at the end.
  std::unique_ptr<platform::sdl::FluidMusic> music;
  auto driver = std::make_unique<game_driver::GameDriver>(o);
  auto& d = *driver;
  if (with_music) {
    std::string error;
    music = platform::sdl::FluidMusic::create(int(kRate), error, &d.backend().clock);
    if (!music) {
      std::fprintf(stderr, "no music: %s\n", error.c_str());
      return 1;
    }
    for (int i = 0; i < 500 && !music->ready(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!music->ready()) {
      std::fprintf(stderr, "the soundfont did not load\n");
      return 1;
    }
    platform::services().music = music.get();
  }
  if (!d.create()) {
    std::fprintf(stderr, "the game did not start (are the data files built in %s?)\n",
                 ZARNIK_RUN_DIR);
    return 1;
  }
  auto& mixer = d.backend().sound;
  // The music renders into the mixer's music bus, as on the audio device;
  // what it adds is kept (as it reaches the output) for the balance.
  Part music_part;
  platform::Mixer::BusSource add_music;
  if (music)
    add_music = [m = music.get(), &music_part](float* bus, size_t n) {
      m->render_add(bus, n);
      music_part.add(bus, n, platform::Mixer::kMusicGain * platform::Limiter::kHeadroom);
    };
  Player player(d, menu_only);
  const int frames = seconds * 1000 / 16;
  std::vector<int16_t> pcm;
  pcm.reserve(size_t(seconds + 1) * kRate * 2);
  std::vector<int16_t> block(2 * kBlock);
  size_t mixed = 0;
  for (int n = 0; n < frames && !d.terminated(); ++n) {
    player.frame(n);
    d.tick();
    // The device pulls whole blocks as time passes.
    const size_t due = size_t(uint64_t(n + 1) * 16 * kRate / 1000);
    while (mixed + kBlock <= due) {
      mixer.mix(block.data(), kBlock, add_music);
      pcm.insert(pcm.end(), block.begin(), block.end());
      mixed += kBlock;
    }
  }
  if (!raw_path.empty()) {
    std::ofstream f(raw_path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(pcm.data()), std::streamsize(pcm.size() * 2));
  }
  std::printf("%s %d frames, %d games started%s\n",
              menu_only ? "menu              " : "busy play         ", frames, player.games,
              music ? ", with music" : "");
  report(pcm, kRate);
  report_limiter(mixer.limiter_stats(), kRate);
  if (effects != nullptr && !music) {
    // This run has no music: its output is the effects' part.
    effects->samples.reserve(pcm.size());
    for (int16_t v : pcm) effects->samples.push_back(float(v) / 32768.0f);
  }
  if (music) {
    std::printf("music bus gain     %.2f (%.1f dB)\n", double(platform::Mixer::kMusicGain),
                20 * std::log10(double(platform::Mixer::kMusicGain)));
    report_part("music part", music_part);
    if (effects != nullptr && !effects->samples.empty()) report_part("effects part", *effects);
  }
  driver.reset();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 120;
  bool music = false, menu = false;
  std::string raw, analyse;
  uint32_t rate = kRate;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--seconds" && more)
      seconds = std::atoi(argv[++i]);
    else if (a == "--music")
      music = true;
    else if (a == "--menu")
      menu = true;
    else if (a == "--raw" && more)
      raw = argv[++i];
    else if (a == "--analyse" && more)
      analyse = argv[++i];
    else if (a == "--rate" && more)
      rate = uint32_t(std::atoi(argv[++i]));
    else {
      std::fprintf(stderr,
                   "usage: sound_levels [--seconds N] [--music] [--menu] [--raw FILE]\n"
                   "       sound_levels --analyse FILE [--rate HZ]\n");
      return 2;
    }
  }
  if (!analyse.empty()) {
    std::ifstream f(analyse, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    if (!f && bytes.empty()) {
      std::fprintf(stderr, "cannot read %s\n", analyse.c_str());
      return 1;
    }
    std::vector<int16_t> pcm(bytes.size() / 4 * 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    report(pcm, rate);
    return 0;
  }
  if (!music) return run_game(seconds, false, menu, raw, nullptr);
  // The effects alone first (the run is deterministic, so the same effects
  // come in the run with music), then the mix with the music measured apart.
  Part effects;
  if (!menu && run_game(seconds, false, false, "", &effects) != 0) return 1;
  std::printf("\n");
  return run_game(seconds, true, menu, raw, menu ? nullptr : &effects);
}
