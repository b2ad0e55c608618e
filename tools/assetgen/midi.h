#pragma once
// Standard MIDI files (format 1) and the two pieces of the game's music.
#include <cstdint>
#include <string>
#include <vector>

namespace assets {

class MidiTrack {
 public:
  explicit MidiTrack(std::string name = {}) : name_(std::move(name)) {}
  void tempo(uint32_t tick, uint32_t us_per_quarter);
  void time_signature(uint32_t tick, uint8_t num, uint8_t denom_pow2);
  void program(uint32_t tick, uint8_t channel, uint8_t program);
  void control(uint32_t tick, uint8_t channel, uint8_t controller, uint8_t value);
  // A note from `tick` lasting `length` ticks.
  void note(uint32_t tick, uint8_t channel, uint8_t key, uint8_t velocity, uint32_t length);
  // The track chunk; the end-of-track event lies at `end_tick` (or after the
  // last event if that is later).
  std::vector<uint8_t> chunk(uint32_t end_tick) const;

 private:
  struct Event {
    uint32_t tick;
    int order;  // at one tick: meta first, then note-offs, then the rest
    std::vector<uint8_t> bytes;
  };
  std::string name_;
  std::vector<Event> events_;
};

// A format-1 file: header, then every track ending at `end_tick`.
std::vector<uint8_t> midi_file(const std::vector<MidiTrack>& tracks, uint16_t ticks_per_quarter,
                               uint32_t end_tick);

std::vector<uint8_t> menu_music();  // calm, about 110 s
std::vector<uint8_t> game_music();  // driving, drums on channel 10, about 110 s

}  // namespace assets
