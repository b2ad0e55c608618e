#include "platform/win32/music.h"

// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <chrono>

namespace platform::win32 {

namespace {

// How often the thread looks for events that fell due: well inside what an
// ear notices, and cheap.
constexpr auto kPumpPeriod = std::chrono::milliseconds(2);

}  // namespace

std::unique_ptr<MidiOutMusic> MidiOutMusic::create(Clock* clock, std::string& error) {
  if (midiOutGetNumDevs() == 0) {
    error = "no MIDI output device";
    return nullptr;
  }
  HMIDIOUT out = nullptr;
  const MMRESULT r = midiOutOpen(&out, MIDI_MAPPER, 0, 0, CALLBACK_NULL);
  if (r != MMSYSERR_NOERROR) {
    char text[MAXERRORLENGTH] = "";
    midiOutGetErrorTextA(r, text, MAXERRORLENGTH);
    error = text;
    return nullptr;
  }
  return std::unique_ptr<MidiOutMusic>(new MidiOutMusic(clock, out));
}

MidiOutMusic::MidiOutMusic(Clock* clock, void* device)
    : PumpedMusic(clock, std::make_unique<MidiOutSynth>(device), kPumpPeriod,
                  [] { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL); }) {}

MidiOutSynth::~MidiOutSynth() { midiOutClose(static_cast<HMIDIOUT>(device_)); }

void MidiOutSynth::message(uint32_t m) {
  midiOutShortMsg(static_cast<HMIDIOUT>(device_), m);
  ++sent_;
}

void MidiOutSynth::reset() {
  // Every channel: all sound off, reset controllers, all notes off.
  for (uint32_t ch = 0; ch < 16; ++ch) {
    message(0xB0 | ch | (120u << 8));
    message(0xB0 | ch | (121u << 8));
    message(0xB0 | ch | (123u << 8));
  }
}

void MidiOutSynth::send(const midi::Event& e) {
  message(uint32_t(e.status) | (uint32_t(e.data1) << 8) | (uint32_t(e.data2) << 16));
}

}  // namespace platform::win32
