// Feeds arbitrary bytes to the container reader, as both kinds of
// collection. Any input must end in a clean load or an EMediaError; when it
// loads, writing it out and reading that back must give the same bytes.
#include <cstdint>
#include <cstdlib>

#include "media/container.h"
#include "media/errors.h"
#include "media/pictures.h"
#include "media/sound.h"

namespace {

template <typename Collection>
void Check(const uint8_t* data, size_t size) {
  Collection c;
  try {
    media::LoadCollectionStream(c, data, size);
  } catch (const media::EMediaError&) {
    return;
  }
  const std::vector<uint8_t> once = media::SaveCollectionStream(c);
  Collection back;
  media::LoadCollectionStream(back, once.data(), once.size());
  if (media::SaveCollectionStream(back) != once) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check<media::TPictureCollection>(data, size);
  Check<media::TWaveCollection>(data, size);
  return 0;
}
