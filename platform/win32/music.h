#pragma once
// Music: our MIDI sequencer keeps the song's time from the millisecond clock,
// and a thread of ours sends the events that fall due to the system's MIDI
// synthesiser (midiOut, the default device). One mutex guards the sequencer.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/midi.h"
#include "platform/music_device.h"

namespace platform::win32 {

class MidiOutMusic : public MusicDevice {
 public:
  // Null (with the reason in error) when the system has no MIDI output.
  static std::unique_ptr<MidiOutMusic> create(Clock* clock, std::string& error);
  ~MidiOutMusic() override;

  bool open(const std::string& path, std::string& error) override;
  void close() override;
  bool is_open() override;
  bool play(uint32_t from_ms) override;
  void stop() override;
  uint32_t position_ms() override;
  uint32_t length_ms() override;

  // Channel messages sent so far (for tests).
  uint64_t messages_sent() const { return sent_.load(); }

 private:
  MidiOutMusic(Clock* clock, void* device);
  void run();
  void silence();
  void send(uint32_t message);

  std::mutex mutex_;
  std::condition_variable wake_;
  midi::Sequencer seq_;
  void* device_;  // HMIDIOUT
  bool stop_thread_ = false;
  std::atomic<uint64_t> sent_{0};
  std::thread thread_;
};

}  // namespace platform::win32
