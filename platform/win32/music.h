#pragma once
// Music through the system's MIDI synthesiser (midiOut, the default device):
// the shared music device over a synthesiser that plays by itself
// (platform/sequenced_music.h) keeps the song's time from the millisecond
// clock and sends the events that fall due from a thread of its own.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sequenced_music.h"

namespace platform::win32 {

// The system synthesiser behind an open midiOut handle.
class MidiOutSynth : public MidiOutput {
 public:
  explicit MidiOutSynth(void* device) : device_(device) {}
  ~MidiOutSynth() override;
  void reset() override;
  void send(const midi::Event& e) override;
  uint64_t sent() const { return sent_.load(); }

 private:
  void message(uint32_t m);
  void* device_;  // HMIDIOUT
  std::atomic<uint64_t> sent_{0};
};

class MidiOutMusic : public PumpedMusic {
 public:
  // Null (with the reason in error) when the system has no MIDI output.
  static std::unique_ptr<MidiOutMusic> create(Clock* clock, std::string& error);

  // Channel messages sent so far (for tests).
  uint64_t messages_sent() { return static_cast<MidiOutSynth&>(output()).sent(); }

 private:
  MidiOutMusic(Clock* clock, void* device);
};

}  // namespace platform::win32
