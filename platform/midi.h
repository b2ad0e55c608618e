#pragma once
// Standard MIDI files: a parser that turns formats 0 and 1 into one
// time-ordered list of channel messages with millisecond times, a sequencer
// that keeps song time from the platform clock, and a silent music device
// built on it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/music_device.h"

namespace platform {

class Clock;

namespace midi {

// One channel message (note on/off, controller, program, pressure, pitch
// bend). Meta and system-exclusive events are not kept.
struct Event {
  uint32_t ms = 0;     // time from the start of the piece
  uint8_t status = 0;  // 0x80..0xEF
  uint8_t data1 = 0;
  uint8_t data2 = 0;  // 0 for one-byte messages
  uint8_t track = 0;  // source track (events of one time keep track order)
};

struct Song {
  uint16_t format = 0;
  uint16_t tracks = 0;
  std::vector<Event> events;  // sorted by time
  uint32_t length_ms = 0;     // time of the last event of any track (end of track included)
};

// Parses a file image. On failure returns false and sets error to a text
// naming what is wrong; never reads outside data.
bool parse(std::span<const uint8_t> data, Song& song, std::string& error);
// The largest MIDI file load_file reads (the game's are a few kilobytes).
inline constexpr uint64_t kMaxFileBytes = uint64_t(16) << 20;
// Reads and parses a file (UTF-8 path): a regular file of at most
// kMaxFileBytes (see platform::read_file).
bool load_file(const std::string& path, Song& song, std::string& error);

// Plays a song against a clock (null: the installed services' clock). Time stands still while
// stopped; a playing song stops by itself at its length. A synthesiser pulls the events that are
// due with events_until().
class Sequencer {
 public:
  explicit Sequencer(Clock* clock) : clock_(clock) {}

  void load(Song song);
  void unload();
  bool loaded() const { return loaded_; }
  const Song& song() const { return song_; }

  // Starts from a position (clamped to the length). Events before it are not
  // delivered; the next events_until() starts there.
  void play(uint32_t from_ms);
  void stop();
  bool playing();
  uint32_t position_ms();
  uint32_t length_ms() const { return song_.length_ms; }

  // Delivers, in order, every event not yet delivered whose time is below
  // song_ms. Returns the number delivered.
  size_t events_until(uint32_t song_ms, const std::function<void(const Event&)>& deliver);
  // Same, for every event at or before the current position.
  size_t pump(const std::function<void(const Event&)>& deliver) {
    return events_until(position_ms() + 1, deliver);
  }
  // Set by play() and stop(); a synthesiser clears it after silencing its
  // voices (a jump or a stop must not leave notes hanging).
  bool take_reset() {
    bool r = reset_;
    reset_ = false;
    return r;
  }

 private:
  uint32_t now();
  Clock* clock_;
  Song song_;
  bool loaded_ = false;
  bool playing_ = false;
  uint32_t start_pos_ = 0;    // song position when play started (or where it stopped)
  uint32_t start_clock_ = 0;  // clock when play started
  size_t cursor_ = 0;         // next event to deliver
  bool reset_ = false;
};

}  // namespace midi

// A music device that keeps time and plays nothing: the headless backend's,
// and the stand-in when no synthesiser is available.
class SilentMusicDevice : public MusicDevice {
 public:
  explicit SilentMusicDevice(Clock* clock) : seq_(clock) {}
  bool open(const std::string& path, std::string& error) override;
  void close() override;
  bool is_open() override { return seq_.loaded(); }
  bool play(uint32_t from_ms) override;
  void stop() override;
  uint32_t position_ms() override;
  uint32_t length_ms() override;
  midi::Sequencer& sequencer() { return seq_; }
  // The file opened last (for tests).
  const std::string& path() const { return path_; }

 private:
  midi::Sequencer seq_;
  std::string path_;
};

}  // namespace platform
