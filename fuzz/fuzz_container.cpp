// Feeds arbitrary bytes to the container reader, as both kinds of
// collection. Any input must end in a clean load or an EMediaError; when it
// loads, writing it out and reading that back must give the same bytes.
// It is loaded a second time into collections whose display and sound
// device run, as the game loads them: the pictures are cut into patterns on
// surfaces and drawn, the waves get their sound buffers. A loaded picture
// collection must stay within its pixel and pattern budget and hold exactly
// the patterns it planned.
#include <cstdint>
#include <cstdlib>

#include "media/container.h"
#include "media/dxdraw.h"
#include "media/errors.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "platform/headless/headless.h"

namespace {

template <typename Collection>
bool RoundTrip(const uint8_t* data, size_t size) {
  Collection c;
  try {
    media::LoadCollectionStream(c, data, size);
  } catch (const media::EMediaError&) {
    return false;
  }
  const std::vector<uint8_t> once = media::SaveCollectionStream(c);
  Collection back;
  media::LoadCollectionStream(back, once.data(), once.size());
  if (media::SaveCollectionStream(back) != once) std::abort();
  return true;
}

// The devices the collections are bound to, made once.
struct Devices {
  platform::headless::Backend backend;
  media::TDXDraw display;
  media::TDXImageList images;
  media::TDXSound sound;
  media::TDXWaveList waves;
  Devices() {
    backend.install(true);
    images.SetDXDraw(&display);
    display.InitializeDisplay();
    waves.SetDXSound(&sound);
    sound.Initialize();
  }
};

Devices& devices() {
  static Devices* d = new Devices;  // kept to the end of the process
  return *d;
}

void Pictures(const uint8_t* data, size_t size) {
  Devices& dev = devices();
  media::TPictureCollection& c = dev.images.Items;
  try {
    media::LoadCollectionStream(c, data, size);
  } catch (const media::EMediaError&) {
    c.Clear();
    return;
  }
  uint64_t pixels = 0;
  int64_t patterns = 0;
  media::TDirectDrawSurface* back = dev.display.Surface();
  for (int i = 0; i < c.Count(); ++i) {
    media::TPictureCollectionItem& item = c.ItemAt(i);
    if (!item.Initialized()) std::abort();
    if (item.PatternCount() != item.PlannedPatternCount()) std::abort();
    pixels += uint64_t(item.Picture.Width()) * uint64_t(item.Picture.Height());
    patterns += item.PatternCount();
    if (item.PatternCount() > 0) {
      item.DrawPattern(back, 3, 5, 0);
      item.DrawPatternRotated(back, 40, 40, 30, 20, item.PatternCount() - 1, 0.5, 0.5, 77);
    }
  }
  if (pixels > media::kMaxCollectionPixels || patterns > media::kMaxCollectionPatterns)
    std::abort();
  c.Clear();
}

void Waves(const uint8_t* data, size_t size) {
  media::TWaveCollection& c = devices().waves.Items;
  try {
    media::LoadCollectionStream(c, data, size);
  } catch (const media::EMediaError&) {
    c.Clear();
    return;
  }
  c.Clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (RoundTrip<media::TPictureCollection>(data, size)) Pictures(data, size);
  if (RoundTrip<media::TWaveCollection>(data, size)) Waves(data, size);
  return 0;
}
