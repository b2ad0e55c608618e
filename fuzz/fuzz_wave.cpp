// Feeds arbitrary bytes to the RIFF WAVE reader: it must load or raise
// EWaveError/EReadError, and what it loads must write back stably.
#include <cstdint>
#include <cstdlib>

#include "media/errors.h"
#include "media/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  media::TWave w;
  try {
    w.LoadFromBytes(data, size);
  } catch (const media::EMediaError&) {
    return 0;
  }
  const std::vector<uint8_t> once = w.SaveToBytes();
  media::TWave back;
  back.LoadFromBytes(once.data(), once.size());
  if (back.SaveToBytes() != once || back.Empty() != w.Empty()) std::abort();
  return 0;
}
