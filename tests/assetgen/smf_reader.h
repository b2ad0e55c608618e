#pragma once
// A small Standard MIDI File reader for checking the generated music.
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace smf {

struct Song {
  int format = -1;
  int tracks = 0;
  double seconds = 0;  // to the last end-of-track
  double last_note_off_seconds = 0;
  int notes = 0;
  int hanging_notes = 0;  // note-ons never switched off
  int notes_on_channel[16] = {};
};

// Throws std::runtime_error on a malformed file. One tempo (the first set)
// is assumed for the whole piece.
Song parse(const std::vector<uint8_t>& bytes);

}  // namespace smf
