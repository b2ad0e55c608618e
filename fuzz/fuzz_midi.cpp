// Feeds arbitrary bytes to the MIDI reader: it must fail with a text or give
// a song that holds the file's bytes and nothing that grows with its events,
// whose events come in time order inside its length, and which a sequencer
// hands out in bounded parts: every pull reads at most the steps it is
// allowed, an event refused is offered again, and a play from a position
// passes over exactly the events before it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/midi.h"

namespace {

struct StillClock : platform::Clock {
  uint32_t now = 0;
  uint32_t now_ms() override { return now; }
  void sleep_ms(uint32_t ms) override { now += ms; }
};

bool same(const platform::midi::Event& a, const platform::midi::Event& b) {
  return a.ms == b.ms && a.status == b.status && a.data1 == b.data1 && a.data2 == b.data2 &&
         a.track == b.track;
}

// Plays the song from `from` with pulls of at most `steps` items, refusing
// every third event once; the events taken must be exactly those of `all`
// from the first at or after `from`.
void check_pulls(const platform::midi::Song& song, const std::vector<platform::midi::Event>& all,
                 uint32_t from, size_t steps) {
  StillClock clock;
  platform::midi::Sequencer seq(&clock);
  seq.load(song);
  seq.play(from);
  size_t next = 0;
  while (next < all.size() && all[next].ms < seq.position_ms()) ++next;
  unsigned offered = 0;
  // Enough rounds to read every item of the file a few steps at a time.
  for (size_t round = 0; round < 4 * song.image.size() + 16; ++round) {
    const size_t taken = seq.pull(0xFFFFFFFFu, steps, [&](const platform::midi::Event& e) {
      if (++offered % 3 == 0) return false;  // refused: offered again next time
      if (next >= all.size() || !same(e, all[next])) std::abort();
      ++next;
      return true;
    });
    if (taken > steps) std::abort();
    if (taken == 0 && next == all.size()) break;
  }
  if (next != all.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::midi::Song song;
  std::string error;
  if (!platform::midi::parse(std::span<const uint8_t>(data, size), song, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  // What a song keeps: the file and one place per track.
  if (song.image.size() != size || song.track_spans.size() != song.tracks) std::abort();
  const std::vector<platform::midi::Event> all = platform::midi::all_events(song);
  if (all.size() != song.event_count) std::abort();
  uint32_t last = 0;
  for (const auto& e : all) {
    if (e.ms < last || e.ms > song.length_ms || e.status < 0x80 || e.status > 0xEF) std::abort();
    last = e.ms;
  }
  check_pulls(song, all, 0, 1 + size % 7);
  if (!all.empty()) check_pulls(song, all, all[all.size() / 2].ms, 3);
  return 0;
}
