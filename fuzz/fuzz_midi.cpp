// Feeds arbitrary bytes to the MIDI parser: it must fail with a text or give
// a time-ordered song, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/midi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::midi::Song song;
  std::string error;
  if (!platform::midi::parse(std::span<const uint8_t>(data, size), song, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  uint32_t last = 0;
  for (const auto& e : song.events) {
    if (e.ms < last || e.ms > song.length_ms || e.status < 0x80 || e.status > 0xEF) std::abort();
    last = e.ms;
  }
  return 0;
}
