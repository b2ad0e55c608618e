#pragma once
// Sound output through the system's wave output (waveOut), stereo 16-bit: a
// thread of ours keeps a few short blocks queued, each filled by the shared
// sound output's pull (platform/sound_output.h) as the device hands it back.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/sound_output.h"

namespace platform::win32 {

class WaveOutAudio : public AudioSink {
 public:
  static constexpr size_t kBlockFrames = 512;  // about 11.6 ms
  static constexpr size_t kBlocks = 4;         // queued at once: about 46 ms

  WaveOutAudio() = default;
  WaveOutAudio(const WaveOutAudio&) = delete;
  WaveOutAudio& operator=(const WaveOutAudio&) = delete;
  ~WaveOutAudio() override { close(); }

  bool open(uint32_t rate, Pull pull, std::string& error) override;
  void close() override;

 private:
  void run();

  Pull pull_;
  void* device_ = nullptr;  // HWAVEOUT
  void* wake_ = nullptr;    // event the device signals when a block is done
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace platform::win32
