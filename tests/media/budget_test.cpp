// Pictures that cost far more than their bytes: run-length pictures of a
// huge area, many pictures in one collection, a picture cut into 1 x 1
// patterns, container files that are too large or not files at all. Each is
// refused before it is decoded, or stays within the collection's budget.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "media/container.h"
#include "media/errors.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "tests/media/bytes.h"

using namespace media;
using test::Bytes;

namespace {

namespace fs = std::filesystem;

// A picture container whose items are the given `Picture.Data` values, each
// cut into patterns of `pattern` pixels (0: whole picture).
Bytes Container(const std::vector<Bytes>& pictures, int pattern = 0) {
  Bytes items;
  for (const auto& data : pictures) {
    items.u8(1);
    if (pattern > 0) items.sstr("PatternWidth").u8(2).u8(uint8_t(pattern));
    if (pattern > 0) items.sstr("PatternHeight").u8(2).u8(uint8_t(pattern));
    items.sstr("Picture.Data").u8(10).u32(uint32_t(data.size())).append(data).u8(0);
  }
  Bytes body;
  body.str("TPF0").sstr("TPictureCollectionComponent").sstr("");
  body.sstr("List").u8(14).append(items).u8(0).u8(0).u8(0);
  Bytes b;
  b.u8(0xFF).u16(10).str("MENU").u8(0).u16(0x1030).u32(uint32_t(body.size()));
  return b.append(body);
}

// "TDIB" + a run-length 8-bit bitmap of width x height whose `data_size`
// bytes of data are all end-of-line codes.
Bytes RlePicture(uint32_t width, uint32_t height, uint32_t data_size) {
  Bytes b;
  b.sstr("TDIB").u32(40).u32(width).u32(height).u16(1).u16(8).u32(1).u32(data_size);
  b.u32(0).u32(0).u32(0).u32(0);
  for (int i = 0; i < 256; ++i) b.u32(0);
  return b.append(std::vector<uint8_t>(data_size, 0));
}

// "TDIB" + a plain 1-bit bitmap of width x height.
Bytes OneBitPicture(uint32_t width, uint32_t height) {
  Bytes b;
  b.sstr("TDIB").u32(40).u32(width).u32(height).u16(1).u16(1).u32(0).u32(0);
  b.u32(0).u32(0).u32(0).u32(0).u32(0).u32(0xFFFFFF);
  return b.append(std::vector<uint8_t>(size_t((width + 31) / 32 * 4) * height, 0x55));
}

uint64_t resident_bytes() {
  std::ifstream in("/proc/self/statm");
  uint64_t size = 0, resident = 0;
  in >> size >> resident;
  return resident * uint64_t(::sysconf(_SC_PAGESIZE));
}

uint64_t peak_resident_bytes() {
  struct rusage u;
  ::getrusage(RUSAGE_SELF, &u);
  return uint64_t(u.ru_maxrss) * 1024;
}

std::string LoadError(TPictureCollection& c, const Bytes& b) {
  try {
    LoadCollectionStream(c, b.data(), b.size());
  } catch (const EMediaError& e) {
    return e.what();
  }
  return "";
}

constexpr uint64_t kMiB = 1 << 20;

// One 8192 x 8192 run-length picture in 131 KB is beyond the collection's
// budget; a 4096 x 4096 one within it is still 128 times larger than its
// 64 KB of data allow. Both are refused from their header, before anything
// of their pixels is made.
TEST(PictureBudget, ARunLengthPictureFarLargerThanItsDataIsRefusedUndecoded) {
  const Bytes bomb = Container({RlePicture(8192, 8192, 131072)});
  ASSERT_LT(bomb.size(), 140000u);
  const uint64_t before = resident_bytes();
  TPictureCollection c;
  EXPECT_EQ(LoadError(c, bomb), "Obrázek je příliš velký");
  EXPECT_TRUE(c.ItemAt(0).Picture.Empty());
  EXPECT_EQ(LoadError(c, Container({RlePicture(4096, 4096, 65536)})), "DIB is invalid");
  EXPECT_LT(peak_resident_bytes(), before + 32 * kMiB);

  // The same area described by enough data is only bounded by the budget;
  // a small picture with little data always loads.
  TPictureCollection small;
  EXPECT_EQ(LoadError(small, Container({RlePicture(256, 256, 4)})), "");
  EXPECT_EQ(small.ItemAt(0).Picture.Width(), 256);
}

// Pictures that each fit but together exceed the collection's pixel budget:
// the load fails at the first one beyond it, and what was loaded stays
// within the budget.
TEST(PictureBudget, ACollectionHoldsNoMorePixelsThanItsBudget) {
  const uint32_t w = 4096, h = 2048;  // half the budget each
  ASSERT_EQ(uint64_t(w) * h * 2, kMaxCollectionPixels);
  const Bytes three = Container({RlePicture(w, h, w * h / TDIB::kRlePixelsPerByte),
                                 RlePicture(w, h, w * h / TDIB::kRlePixelsPerByte),
                                 RlePicture(w, h, w * h / TDIB::kRlePixelsPerByte)});
  const uint64_t before = resident_bytes();
  TPictureCollection c;
  EXPECT_EQ(LoadError(c, three), "Obrázek je příliš velký");
  ASSERT_EQ(c.Count(), 3);
  EXPECT_EQ(c.ItemAt(1).Picture.Width(), int32_t(w));
  EXPECT_TRUE(c.ItemAt(2).Picture.Empty());
  // Two pictures of 8 million pixels: about 5 bytes a pixel as read.
  EXPECT_LT(peak_resident_bytes(), before + 120 * kMiB);
}

// A 512 x 512 picture in 1 x 1 patterns would be 262144 patterns: refused
// before one is cut. At the budget exactly it loads and is cut.
TEST(PictureBudget, PatternsBeyondTheBudgetAreRefusedBeforeCutting) {
  TPictureCollection c;
  EXPECT_EQ(LoadError(c, Container({OneBitPicture(512, 512)}, 1)), "Obrázek má příliš mnoho dílků");
  ASSERT_EQ(c.Count(), 1);
  EXPECT_TRUE(c.ItemAt(0).Picture.Empty()) << "the item beyond the budget keeps no picture";

  TPictureCollection at_budget;
  EXPECT_EQ(LoadError(at_budget, Container({OneBitPicture(256, 256)}, 1)), "");
  EXPECT_EQ(at_budget.ItemAt(0).PlannedPatternCount(), kMaxCollectionPatterns);
}

// The game's own pictures stay far inside both budgets.
TEST(PictureBudget, TheGamesOwnPicturesStayFarInside) {
  const std::string path = std::string(ZARNIK_BINARY_DIR) + "/run/obrazky.xxx";
  if (!fs::exists(path)) GTEST_SKIP() << "no generated " << path;
  TPictureCollection c;
  c.LoadFromFile(path);
  uint64_t pixels = 0;
  int64_t patterns = 0;
  for (int i = 0; i < c.Count(); ++i) {
    pixels += uint64_t(c.ItemAt(i).Picture.Width()) * uint64_t(c.ItemAt(i).Picture.Height());
    patterns += c.ItemAt(i).PlannedPatternCount();
  }
  EXPECT_LT(pixels, kMaxCollectionPixels / 3) << pixels;
  EXPECT_LT(patterns, kMaxCollectionPatterns / 50) << patterns;
}

// Container files: above the file limit, a pipe, a device. Each fails at
// once with the file system's kind of message naming the file.
TEST(PictureBudget, ContainerFilesThatAreTooLargeOrNotFilesAreRefused) {
  const std::string dir =
      (fs::temp_directory_path() / ("zarnik-budget-" + std::to_string(::getpid()))).string();
  fs::create_directories(dir);
  { std::ofstream(dir + "/big.xxx") << "x"; }
  fs::resize_file(dir + "/big.xxx", kMaxContainerFileBytes + 1);  // sparse: no disk used
  ASSERT_EQ(::mkfifo((dir + "/pipe.xxx").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir + "/zero.xxx");
  struct Case {
    const char* name;
    const char* reason;
  };
  for (const Case& k :
       {Case{"big.xxx", "příliš velký"}, Case{"pipe.xxx", "není to obyčejný soubor"},
        Case{"zero.xxx", "není to obyčejný soubor"}}) {
    SCOPED_TRACE(k.name);
    const auto t0 = std::chrono::steady_clock::now();
    TWaveCollection sounds;
    try {
      sounds.LoadFromFile(dir + "/" + k.name);
      ADD_FAILURE() << "loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(dir + "/" + k.name), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(k.reason), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
  }
  fs::remove_all(dir);
}

}  // namespace
