#pragma once
#include <cstdint>
#include <string>

namespace platform {

// The music device: plays one standard MIDI file at a time.
class MusicDevice {
 public:
  virtual ~MusicDevice() = default;
  // Opens a file; on failure returns false and sets error to a readable text.
  virtual bool open(const std::string& path, std::string& error) = 0;
  virtual void close() = 0;
  virtual bool is_open() = 0;
  // Plays from a position in milliseconds.
  virtual bool play(uint32_t from_ms) = 0;
  virtual void stop() = 0;
  virtual uint32_t position_ms() = 0;
  virtual uint32_t length_ms() = 0;
};

}  // namespace platform
