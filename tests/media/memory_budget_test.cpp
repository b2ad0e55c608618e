// The memory a data file costs at its read limit, counted through operator
// new: a MIDI file costs its own size while it is opened and while it plays,
// a sound container at most its size plus its samples twice (the waves' own
// copy and the sound device's), and a container of many tiny items is cut
// off at the item limit.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "harness/alloc_count.h"
#include "media/container.h"
#include "media/errors.h"
#include "media/sound.h"
#include "platform/headless/headless.h"
#include "platform/midi.h"
#include "platform/sequenced_music.h"
#include "tests/media/bytes.h"

using test::Bytes;

namespace {

constexpr int64_t kMiB = int64_t(1) << 20;

std::string temp_file(const char* name) { return ::testing::TempDir() + "zarnik-budget-" + name; }

void write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A format-0 file of program changes at time 0 with running status (two
// bytes each), as many as fit in `bytes`.
std::vector<uint8_t> program_changes(size_t bytes) {
  const size_t n = (bytes - 27) / 2;  // 27: the headers, the first change and the end
  std::vector<uint8_t> f = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
  const uint32_t len = uint32_t(n * 2 + 1 + 4);
  for (int s = 24; s >= 0; s -= 8) f.push_back(uint8_t(len >> s));
  f.insert(f.end(), {0x00, 0xC0, 0x00});
  f.reserve(bytes);
  for (size_t i = 1; i < n; ++i) f.insert(f.end(), {0x00, uint8_t(i & 0x7F)});
  f.insert(f.end(), {0x00, 0xFF, 0x2F, 0x00});
  return f;
}

// A sound container of the given RIFF WAVE images, one item each, made in
// one piece (a 62 MiB sound is copied once).
std::vector<uint8_t> sound_container(const std::vector<std::vector<uint8_t>>& waves) {
  const std::string root = "TWaveCollectionComponent";
  size_t body_size = 4 + 1 + root.size() + 1 + 5 + 1 + 3;
  for (const auto& w : waves) body_size += 1 + 10 + 1 + 4 + w.size() + 1;
  Bytes b;
  b.reserve(body_size + 16);
  b.u8(0xFF).u16(10).str("ZVUK").u8(0).u16(0x1030).u32(uint32_t(body_size));
  b.str("TPF0").sstr(root).sstr("").sstr("List").u8(14);
  for (const auto& w : waves)
    b.u8(1).sstr("Wave.WAVE").u8(10).u32(uint32_t(w.size())).append(w).u8(0);
  return b.u8(0).u8(0).u8(0);
}

}  // namespace

// 8.4 million program changes in a 16 MiB file: opening it costs the file's
// size (its bytes become the song), and playing it through allocates nothing.
TEST(MemoryBudget, AMidiFileCostsItsOwnSize) {
  const std::string path = temp_file("changes.mid");
  write(path, program_changes(size_t(platform::midi::kMaxFileBytes)));
  platform::headless::HeadlessClock clock;
  platform::SilentMusicDevice music(&clock);
  std::string error;
  const int64_t before = alloc_count::bytes_in_use();
  const int64_t peak =
      alloc_count::peak_bytes_during([&] { ASSERT_TRUE(music.open(path, error)) << error; });
  EXPECT_LE(peak, int64_t(platform::midi::kMaxFileBytes) + kMiB);
  EXPECT_LE(alloc_count::bytes_in_use() - before, int64_t(platform::midi::kMaxFileBytes) + kMiB);

  struct Nothing : platform::MidiOutput {
    size_t sent = 0;
    void reset() override {}
    void send(const platform::midi::Event&) override { ++sent; }
  } out;
  music.play(0);
  EXPECT_EQ(alloc_count::allocations_during([&] {
              for (int i = 0; i < 100; ++i) music.pump(out);
            }),
            0);
  EXPECT_EQ(out.sent, 100 * platform::SequencedMusic::kMaxEventsPerPump);
  music.close();
  std::remove(path.c_str());
}

// A 62 MiB 8-bit sound in a sound container, loaded into a wave list whose
// sound device runs: the file, the wave's samples and the device's copy, each
// once (the device keeps 8-bit samples as bytes, not as floats).
TEST(MemoryBudget, ASoundContainerCostsItsSizeAndItsSamplesTwice) {
  const size_t samples = size_t(62) << 20;
  const std::string path = temp_file("zvuk.xxx");
  write(
      path,
      sound_container(
          {media::TWave::FromPCM(1, 11025, 8, std::vector<uint8_t>(samples, 0x90)).SaveToBytes()}));
  platform::headless::Backend hb;
  hb.install(true);
  media::TDXSound sound;
  sound.Loaded();
  media::TDXWaveList waves;
  waves.SetDXSound(&sound);
  const int64_t before = alloc_count::bytes_in_use();
  const int64_t peak = alloc_count::peak_bytes_during([&] { waves.Items.LoadFromFile(path); });
  ASSERT_EQ(waves.Items.Count(), 1);
  EXPECT_TRUE(waves.Items.ItemAt(0).Initialized());
  EXPECT_LE(peak, 3 * int64_t(samples) + 2 * kMiB);
  EXPECT_LE(alloc_count::bytes_in_use() - before, 2 * int64_t(samples) + kMiB);
  std::remove(path.c_str());
}

// Tiny sounds cost a few hundred bytes each, whatever their size: a container
// of them holds at most kMaxCollectionItems, and one more is refused.
TEST(MemoryBudget, ManyTinySoundsStopAtTheItemLimit) {
  const std::vector<uint8_t> tiny = media::TWave::FromPCM(1, 11025, 8, {0x90}).SaveToBytes();
  platform::headless::Backend hb;
  hb.install(true);
  media::TDXSound sound;
  sound.Loaded();
  for (const int count : {media::kMaxCollectionItems, media::kMaxCollectionItems + 1}) {
    SCOPED_TRACE(count);
    const std::vector<uint8_t> file =
        sound_container(std::vector<std::vector<uint8_t>>(size_t(count), tiny));
    media::TDXWaveList waves;
    waves.SetDXSound(&sound);
    std::string error;
    const int64_t before = alloc_count::bytes_in_use();
    const int64_t peak = alloc_count::peak_bytes_during([&] {
      try {
        media::LoadCollectionStream(waves.Items, file.data(), file.size());
      } catch (const media::EMediaError& e) {
        error = e.what();
      }
    });
    if (count > media::kMaxCollectionItems) {
      EXPECT_EQ(error, "Too many items");
    } else {
      EXPECT_EQ(error, "");
      EXPECT_EQ(waves.Items.Count(), count);
    }
    // About 700 bytes an item, samples and the device's buffer included.
    EXPECT_LE(peak, int64_t(count) * 1024) << double(peak) / count << " bytes an item";
    EXPECT_LE(alloc_count::bytes_in_use() - before, int64_t(count) * 1024);
  }
}
