// What a data file at its read limit costs the program: the file is made,
// then loaded through the game's own loaders with the headless sound device
// running, and the tool prints the peak of the heap (through the counting
// operator new) above what was in use before, the heap still held after,
// and the process's peak resident size.
//
//   data_memory midi-changes   16 MiB of program changes (8.4 million)
//   data_memory midi-notes     a million notes at one instant (3 MB)
//   data_memory sound          a 62 MiB 8-bit sound in zvuk.xxx
//   data_memory tiny-sounds    65536 sounds of one sample each
//   data_memory pictures       a picture container at the pixel budget
//
// One case per process, so the resident peaks do not mix.
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "harness/alloc_count.h"
#include "media/container.h"
#include "media/dib.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "platform/headless/headless.h"
#include "platform/midi.h"
#include "platform/sequenced_music.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

void u32be(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

// A format-0 file whose track is `body` (ended by an end-of-track event).
Bytes midi_file(const Bytes& body) {
  Bytes f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
  u32be(f, uint32_t(body.size() + 4));
  f.insert(f.end(), body.begin(), body.end());
  f.insert(f.end(), {0x00, 0xFF, 0x2F, 0x00});
  return f;
}

Bytes program_changes(size_t bytes) {
  Bytes body = {0x00, 0xC0, 0x00};
  body.reserve(bytes);
  while (body.size() + 2 + 26 <= bytes)
    body.insert(body.end(), {0x00, uint8_t(body.size() & 0x7F)});
  return midi_file(body);
}

Bytes notes_at_once(size_t notes) {
  Bytes body = {0x00, 0x90, 60, 100};
  body.reserve(notes * 3);
  for (size_t i = 1; i < notes; ++i) body.insert(body.end(), {0x00, uint8_t(i % 128), 100});
  return midi_file(body);
}

// Little-endian pieces of a container.
struct Writer {
  Bytes b;
  Writer& u8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Writer& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
  Writer& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
  Writer& str(const char* s) {
    b.insert(b.end(), s, s + std::strlen(s));
    return *this;
  }
  Writer& sstr(const char* s) { return u8(uint8_t(std::strlen(s))).str(s); }
  Writer& bytes(const Bytes& v) {
    b.insert(b.end(), v.begin(), v.end());
    return *this;
  }
};

Bytes sound_container(const std::vector<Bytes>& waves) {
  Writer items;
  for (const auto& w : waves)
    items.u8(1).sstr("Wave.WAVE").u8(10).u32(uint32_t(w.size())).bytes(w).u8(0);
  Writer body;
  body.str("TPF0").sstr("TWaveCollectionComponent").sstr("");
  body.sstr("List").u8(14).bytes(items.b).u8(0).u8(0).u8(0);
  Writer c;
  c.u8(0xFF).u16(10).str("ZVUK").u8(0).u16(0x1030).u32(uint32_t(body.b.size())).bytes(body.b);
  return c.b;
}

long peak_resident_kib() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

int report(const char* what, size_t file_bytes, const std::function<void()>& load) {
  const int64_t before = alloc_count::bytes_in_use();
  const int64_t peak = alloc_count::peak_bytes_during(load);
  const int64_t held = alloc_count::bytes_in_use() - before;
  std::printf(
      "%-14s file %8.1f MiB  heap peak %8.1f MiB  held after %8.1f MiB  resident peak %8.1f MiB\n",
      what, double(file_bytes) / (1 << 20), double(peak) / (1 << 20), double(held) / (1 << 20),
      double(peak_resident_kib()) / 1024);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: data_memory midi-changes|midi-notes|sound|tiny-sounds|pictures\n");
    return 2;
  }
  const std::string what = argv[1];
  const std::string path = "/tmp/zarnik-data-memory-" + what;
  platform::headless::Backend hb;
  hb.install(true);
  if (what == "midi-changes" || what == "midi-notes") {
    const Bytes f = what == "midi-changes" ? program_changes(size_t(platform::midi::kMaxFileBytes))
                                           : notes_at_once(1000000);
    put(path, f);
    platform::SilentMusicDevice music(&hb.clock);
    std::string error;
    report(what.c_str(), f.size(), [&] {
      if (!music.open(path, error)) std::fprintf(stderr, "%s\n", error.c_str());
    });
  } else if (what == "sound" || what == "tiny-sounds") {
    size_t size = 0;
    {
      std::vector<Bytes> waves;
      if (what == "sound")
        waves.push_back(
            media::TWave::FromPCM(1, 11025, 8, Bytes(size_t(62) << 20, 0x90)).SaveToBytes());
      else
        waves.assign(size_t(media::kMaxCollectionItems),
                     media::TWave::FromPCM(1, 11025, 8, {0x90}).SaveToBytes());
      const Bytes f = sound_container(waves);
      size = f.size();
      put(path, f);
    }
    media::TDXSound sound;
    sound.Loaded();
    media::TDXWaveList list;
    list.SetDXSound(&sound);
    report(what.c_str(), size, [&] { list.Items.LoadFromFile(path); });
  } else if (what == "pictures") {
    // Two 4096 x 2048 pictures, together the collection's pixel budget, as
    // 24-bit bitmaps (the largest plain form).
    media::TPictureCollection pictures;
    for (int i = 0; i < 2; ++i) {
      auto& item = pictures.Add();
      item.Picture =
          media::TDIB::FromPixels(4096, 2048, 24, std::vector<uint32_t>(4096 * 2048, 0x123456));
    }
    const Bytes f = media::SaveCollectionStream(pictures, "OBRAZKY");
    put(path, f);
    pictures.Clear();
    media::TDXDraw display;
    display.InitializeDisplay();
    media::TDXImageList images;
    images.SetDXDraw(&display);
    report(what.c_str(), f.size(), [&] { images.Items.LoadFromFile(path); });
  } else {
    std::fprintf(stderr, "unknown case %s\n", what.c_str());
    return 2;
  }
  std::remove(path.c_str());
  return 0;
}
