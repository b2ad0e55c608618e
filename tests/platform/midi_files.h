#pragma once
// Standard MIDI files made by hand for the tests of the MIDI reader and of
// what plays it.
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace test_midi {

using Bytes = std::vector<uint8_t>;

// A chunk: its four-letter id, its length (big-endian) and its body.
inline Bytes Chunk(const char* id, const Bytes& body) {
  Bytes b(id, id + 4);
  uint32_t n = static_cast<uint32_t>(body.size());
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(n >> s));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes File(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks) {
  uint16_t n = static_cast<uint16_t>(tracks.size());
  Bytes b = Chunk("MThd", {uint8_t(format >> 8), uint8_t(format), uint8_t(n >> 8), uint8_t(n),
                           uint8_t(division >> 8), uint8_t(division)});
  for (const auto& t : tracks) {
    Bytes c = Chunk("MTrk", t);
    b.insert(b.end(), c.begin(), c.end());
  }
  return b;
}

inline const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

// Format 0 at 96 ticks per quarter: a note with running status, a tempo
// change to twice as fast half way, a system-exclusive and a text event.
inline Bytes Format0() {
  return File(0, 96,
              {Cat({{0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7},        // sysex, skipped
                    {0x00, 0x90, 60, 100},                       // note on at 0
                    {0x60, 62, 100},                             // running status, 1 quarter
                    {0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90},  // 250000 us/quarter
                    {0x00, 0xFF, 0x01, 0x02, 'h', 'i'},          // text, skipped
                    {0x60, 0x80, 60, 0},                         // quarter at double speed
                    {0x00, 0xC0, 5},                             // one data byte
                    {0x30, 0xE0, 0x00, 0x40},                    // eighth later
                    kEnd})});
}

// Format 0 at 480 ticks per quarter (500 ms a quarter): piano, middle C
// held for `ticks` ticks (below 16384), then the end of the track.
inline Bytes OneNote(uint16_t ticks) {
  const Bytes delay = ticks < 128 ? Bytes{uint8_t(ticks)}
                                  : Bytes{uint8_t(0x80 | ticks >> 7), uint8_t(ticks & 0x7F)};
  return File(0, 480,
              {Cat({{0x00, 0xC0, 0x00}, {0x00, 0x90, 60, 100}, delay, {0x80, 60, 0}, kEnd})});
}

}  // namespace test_midi
