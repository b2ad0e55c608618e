#pragma once
// Music: FluidSynth with a General MIDI soundfont as the software
// synthesiser of the shared music device (platform/sequenced_music.h),
// which keeps the song's time; the sound output renders it into its music
// bus on the audio thread. Only the audio thread touches the synthesiser
// once the soundfont is in.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sdl/clock.h"
#include "platform/sequenced_music.h"

namespace platform::sdl {

// The soundfont to use: FluidSynth's configured default, then the usual
// places of Debian's General MIDI soundfonts. Empty when none exists.
std::string find_soundfont();

class FluidMusic : public SynthMusic {
 public:
  // Null (with the reason in error) when no soundfont is found. The
  // soundfont loads on a thread of its own so that start-up does not wait
  // for it; music is silent until it is in (ready()), and stays silent
  // where FluidSynth cannot start. The song's time comes from clock (null:
  // SDL's millisecond clock); a measuring tool passes a clock it advances
  // itself.
  static std::unique_ptr<FluidMusic> create(int sample_rate, std::string& error,
                                            Clock* clock = nullptr);

 private:
  FluidMusic(int sample_rate, std::string soundfont, Clock* clock);
  SdlClock sdl_clock_;
};

}  // namespace platform::sdl
