#pragma once
// Music: the shared sequenced music device (platform/sequenced_music.h)
// keeps the song's time from the millisecond clock, and a thread of its own
// sends the events that fall due to the system's MIDI synthesiser (midiOut,
// the default device).
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sequenced_music.h"

namespace platform::win32 {

class MidiOutMusic : public SequencedMusic {
 public:
  // Null (with the reason in error) when the system has no MIDI output.
  static std::unique_ptr<MidiOutMusic> create(Clock* clock, std::string& error);
  ~MidiOutMusic() override;

  // Plays, and wakes the thread so the first notes go out at once.
  bool play(uint32_t from_ms) override;

  // Channel messages sent so far (for tests).
  uint64_t messages_sent() const { return output_.sent.load(); }

 private:
  // The system synthesiser behind an open midiOut handle.
  struct Output : MidiOutput {
    void* device = nullptr;  // HMIDIOUT
    std::atomic<uint64_t> sent{0};
    void reset() override;
    void send(const midi::Event& e) override;
    void message(uint32_t m);
  };

  MidiOutMusic(Clock* clock, void* device);

  Output output_;
  std::unique_ptr<MusicPumpThread> thread_;
};

}  // namespace platform::win32
