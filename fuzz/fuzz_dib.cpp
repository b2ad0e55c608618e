// Feeds arbitrary bytes to the bitmap decoder: it must load or raise a media
// error, a loaded picture must hold width x height pixels, and writing it
// out and reading that back must give the same picture.
#include <cstdint>
#include <cstdlib>

#include "media/dib.h"
#include "media/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  media::TDIB dib;
  try {
    dib.LoadFromBytes(data, size);
  } catch (const media::EMediaError&) {
    if (!dib.Empty()) std::abort();  // a failed load leaves the picture empty
    return 0;
  }
  if (!dib.Empty() && dib.RGB().size() != size_t(dib.Width()) * size_t(dib.Height())) std::abort();
  const std::vector<uint8_t> once = dib.SaveToBytes();
  media::TDIB back;
  back.LoadFromBytes(once.data(), once.size());
  if (back.Width() != dib.Width() || back.Height() != dib.Height() || back.RGB() != dib.RGB())
    std::abort();
  if (back.SaveToBytes() != once) std::abort();
  return 0;
}
