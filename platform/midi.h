#pragma once
// Standard MIDI files: a reader that checks formats 0 and 1 whole when a file
// is opened, a cursor that walks the channel messages of all tracks in one
// time order with millisecond times, and a sequencer that keeps song time
// from the platform clock.
//
// A song keeps the file's bytes and reads its events from them as it plays,
// so it costs about the file's size however many events the file holds, and
// every step of the cursor reads one event of one track: the work of any call
// is bounded by the number of steps the caller allows.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

class Clock;

namespace midi {

// One channel message (note on/off, controller, program, pressure, pitch
// bend). Meta and system-exclusive events are not delivered.
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
  uint16_t division = 0;
  uint32_t length_ms = 0;    // time of the last event of any track (end of track included)
  uint64_t event_count = 0;  // channel messages in all tracks
  // The file's bytes and where each track's events lie in them, in file order.
  std::vector<uint8_t> image;
  struct Span {
    size_t begin = 0;
    size_t size = 0;
    bool has_tempo = false;  // holds a tempo change
  };
  std::vector<Span> track_spans;
};

// Checks a file image and makes a song of it (the image is kept). On failure
// returns false and sets error to a text naming what is wrong; never reads
// outside the image. The time taken grows with the file's size alone.
bool parse(std::vector<uint8_t> image, Song& song, std::string& error);
bool parse(std::span<const uint8_t> data, Song& song, std::string& error);
// The largest MIDI file load_file reads (the game's are a few kilobytes).
inline constexpr uint64_t kMaxFileBytes = uint64_t(16) << 20;
// Reads and parses a file (UTF-8 path): a regular file of at most
// kMaxFileBytes (see platform::read_file).
bool load_file(const std::string& path, Song& song, std::string& error);

// The read position in one track and the item read last there.
struct TrackReader {
  const uint8_t* p = nullptr;
  const uint8_t* end = nullptr;
  uint8_t running = 0;  // running status
  uint8_t item = 0;     // what the item read last is (midi.cpp)
  uint8_t status = 0, data1 = 0, data2 = 0;
  uint32_t tempo = 0;
  uint64_t tick = 0;  // the track's time at that item
};

// Walks a song's channel messages in time order: events of one time in track
// order, then in file order. Tempo changes are applied on the way; times are
// the tempo map's, rounded down to whole milliseconds.
class Cursor {
 public:
  // To the start of a song (which must outlive the cursor's use); reads the
  // first item of each track. Null: a cursor at its end. With tempo_only the
  // cursor walks only the tracks that change the tempo and delivers nothing
  // (the reader uses it to find the song's length).
  void reset(const Song* song, bool tempo_only = false);
  // The next channel message, without taking it. On the way it reads items
  // that are no channel messages (metas, system-exclusive, tempo changes),
  // each one step added to steps, until steps reaches max_steps. Null at the
  // end of the song or when the steps ran out first (at_end() tells which).
  const Event* peek(size_t& steps, size_t max_steps);
  // Takes the event peek() gave.
  void take();
  bool at_end() const { return heap_size_ == 0; }
  // Time of a tick at the tempo read so far.
  double ms_at(uint64_t tick) const;

 private:
  // Reads the next item of track t; false at its end.
  static bool advance(TrackReader& t);
  void sift_down(size_t i);
  bool before(uint8_t a, uint8_t b) const;

  const Song* song_ = nullptr;
  std::vector<TrackReader> tracks_;
  std::vector<uint8_t> heap_;  // tracks with an item pending, soonest first
  size_t heap_size_ = 0;
  bool have_event_ = false;
  Event event_;
  // The tempo map so far: time at the last tempo change and the factor
  // from ticks to milliseconds since then.
  bool tempo_only_ = false;
  bool smpte_ = false;
  double fixed_ms_per_tick_ = 0;
  double ms_per_tick_at_tempo_ = 0;
  uint32_t tempo_ = 500000;
  uint64_t base_tick_ = 0;
  double base_ms_ = 0;
};

// Every event of a song in playing order (for tests and tools: it holds them
// all in memory at once).
std::vector<Event> all_events(const Song& song);

// Plays a song against a clock (null: the installed services' clock). Time stands still while
// stopped; a playing song stops by itself at its length. A synthesiser pulls the events that are
// due with pull().
class Sequencer {
 public:
  explicit Sequencer(Clock* clock) : clock_(clock) {}

  // Returns the song held before (empty when none).
  Song load(Song song);
  void unload();
  bool loaded() const { return loaded_; }
  const Song& song() const { return song_; }

  // Starts from a position (clamped to the length). Events before it are not
  // delivered; the next pull() starts there.
  void play(uint32_t from_ms);
  void stop();
  bool playing();
  uint32_t position_ms();
  uint32_t length_ms() const { return song_.length_ms; }

  // Offers the events not yet delivered whose time is at or before until_ms to
  // take(const Event&) -> bool, in order, until one is not due, take refuses
  // one (it is offered again next time), or max_steps items of the file have
  // been read (events before the position play started from are passed over
  // on the way and count too). Returns the steps taken: the work of one call
  // is bounded by max_steps however the file is made.
  template <typename Take>
  size_t pull(uint32_t until_ms, size_t max_steps, Take&& take) {
    size_t steps = 0;
    while (steps < max_steps) {
      const Event* e = cursor_.peek(steps, max_steps);
      // peek() may have read up to the bound on the way to this event: it
      // then waits for the next call.
      if (e == nullptr || steps >= max_steps || e->ms > until_ms) break;
      if (e->ms >= skip_before_ && !take(*e)) break;
      cursor_.take();
      ++steps;
    }
    return steps;
  }
  // Set by load(), unload(), play() and stop(); a synthesiser clears it after
  // silencing its voices (a jump or a stop must not leave notes hanging).
  bool take_reset() {
    bool r = reset_;
    reset_ = false;
    return r;
  }

 private:
  uint32_t now();
  Clock* clock_;
  Song song_;
  Cursor cursor_;
  bool loaded_ = false;
  bool playing_ = false;
  uint32_t start_pos_ = 0;    // song position when play started (or where it stopped)
  uint32_t start_clock_ = 0;  // clock when play started
  uint32_t skip_before_ = 0;  // events before this time are passed over
  bool reset_ = false;
};

}  // namespace midi

}  // namespace platform
