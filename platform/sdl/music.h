#pragma once
// Music: the shared sequenced music device (platform/sequenced_music.h)
// keeps the song's time, and FluidSynth with a General MIDI soundfont turns
// the events that fall due into sound, added into the audio device's output
// on the audio thread. Only the audio thread touches the synthesiser once
// the soundfont is in.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/sdl/clock.h"
#include "platform/sequenced_music.h"

namespace platform::sdl {

// The soundfont to use: FluidSynth's configured default, then the usual
// places of Debian's General MIDI soundfonts. Empty when none exists.
std::string find_soundfont();

class FluidMusic : public SequencedMusic {
 public:
  // Null (with the reason in error) when FluidSynth cannot start or no
  // soundfont is found. The soundfont loads on a thread of its own so that
  // start-up does not wait for it; music is silent until it is in. The song's
  // time comes from clock (null: SDL's millisecond clock); a measuring tool
  // passes a clock it advances itself.
  static std::unique_ptr<FluidMusic> create(int sample_rate, std::string& error,
                                            Clock* clock = nullptr);
  ~FluidMusic() override;

  // Audio thread: hands the synthesiser the events that are due (a bounded
  // number per call) and adds the rendered block into bus (interleaved
  // stereo, 1.0 = full scale). Allocates nothing.
  void render_add(float* bus, size_t frames);

  // For start-up measurements: true once the soundfont is loaded.
  bool ready() const { return ready_.load(); }

 private:
  FluidMusic(int sample_rate, std::string soundfont, Clock* clock);
  void load_soundfont();

  SdlClock sdl_clock_;
  int sample_rate_;
  std::string soundfont_;
  struct Synth;
  std::unique_ptr<Synth> synth_;  // set once by the loader, before ready_
  std::atomic<bool> ready_{false};
  std::thread loader_;
  static constexpr size_t kScratchFrames = 256;
  float scratch_[2 * kScratchFrames];
};

}  // namespace platform::sdl
