#pragma once
// Sound output through the system's wave output (waveOut), 44.1 kHz stereo
// 16-bit: a thread of ours keeps a few short blocks queued, each filled from
// the software mixer as the device hands it back. Without an output device
// the same thread pulls the mixer at the device's pace into nothing, so
// sounds still start, run their length and end as they would.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/mixer.h"

namespace platform::win32 {

class WaveOutAudio {
 public:
  static constexpr uint32_t kRate = 44100;
  static constexpr size_t kBlockFrames = 512;  // about 11.6 ms
  static constexpr size_t kBlocks = 4;         // queued at once: about 46 ms

  WaveOutAudio() = default;
  WaveOutAudio(const WaveOutAudio&) = delete;
  WaveOutAudio& operator=(const WaveOutAudio&) = delete;
  ~WaveOutAudio() { close(); }

  // Opens the default output and starts feeding it from the mixer; false
  // (with the reason in error) when there is no device, in which case the
  // mixer is pulled silently instead.
  bool open(Mixer* mixer, std::string& error);
  void close();
  bool has_device() const { return device_ != nullptr; }
  // Blocks handed to the device (or pulled silently) so far.
  uint64_t blocks_done() const { return blocks_.load(); }

 private:
  void run();

  Mixer* mixer_ = nullptr;
  void* device_ = nullptr;  // HWAVEOUT
  void* wake_ = nullptr;    // event the device signals when a block is done
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> blocks_{0};
};

}  // namespace platform::win32
