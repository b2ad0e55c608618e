// The tools' PNG writer, read back with libpng.
#include "tools/png/png_write.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Read {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> bytes;
};

Read read_png(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Read r;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return r;
  r.channels = (image.format & PNG_FORMAT_FLAG_ALPHA) ? 4 : 3;
  image.format = r.channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  r.bytes.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, r.bytes.data(), 0, nullptr)) return {};
  r.width = int(image.width);
  r.height = int(image.height);
  return r;
}

class PngWrite : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("zarnik_png_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_;
};

TEST_F(PngWrite, FramesOf565WidenEachChannelAndMagnify) {
  // Black, full red, full green, full blue, and a middle grey of 5-6-5 steps.
  const std::vector<uint16_t> px = {
      0x0000, 0xF800, 0x07E0, 0x001F, uint16_t(16 << 11 | 32 << 5 | 16), 0xFFFF};
  ASSERT_TRUE(assets::write_png_565(path("f.png"), 3, 2, px, 2));
  const Read r = read_png(path("f.png"));
  ASSERT_EQ(r.width, 6);
  ASSERT_EQ(r.height, 4);
  ASSERT_EQ(r.channels, 3);
  auto at = [&](int x, int y) {
    const uint8_t* p = &r.bytes[(size_t(y) * 6 + size_t(x)) * 3];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(at(0, 0), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(at(3, 1), (std::vector<int>{255, 0, 0}));  // pixel (1, 0), magnified
  EXPECT_EQ(at(4, 0), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(at(1, 3), (std::vector<int>{0, 0, 255}));  // pixel (0, 1)
  EXPECT_EQ(at(2, 2), (std::vector<int>{132, 130, 132}));
  EXPECT_EQ(at(5, 3), (std::vector<int>{255, 255, 255}));
}

TEST_F(PngWrite, SheetsMarkTheColourKeyAndIconsKeepTheirAlpha) {
  ASSERT_TRUE(assets::write_png(path("s.png"), 2, 1, {0x070307, 0x123456}, 1));
  Read r = read_png(path("s.png"));
  ASSERT_EQ(r.bytes.size(), 6u);
  EXPECT_EQ((std::vector<uint8_t>(r.bytes.begin(), r.bytes.begin() + 3)),
            (std::vector<uint8_t>{0x10, 0x18, 0x30}));  // keyed: dark blue
  EXPECT_EQ((std::vector<uint8_t>(r.bytes.begin() + 3, r.bytes.end())),
            (std::vector<uint8_t>{0x12, 0x34, 0x56}));
  ASSERT_TRUE(assets::write_png(path("u.png"), 1, 1, {0x070307}, 1, false));
  EXPECT_EQ(read_png(path("u.png")).bytes, (std::vector<uint8_t>{7, 3, 7}));

  ASSERT_TRUE(assets::write_png_argb(path("i.png"), 2, 1, {0x80FF0000u, 0x00000000u}));
  r = read_png(path("i.png"));
  ASSERT_EQ(r.channels, 4);
  EXPECT_EQ(r.bytes, (std::vector<uint8_t>{255, 0, 0, 128, 0, 0, 0, 0}));
}

TEST_F(PngWrite, FailuresAreReportedAndLeaveNoFile) {
  // Too few pixels for the size, no size, no zoom: nothing is written.
  EXPECT_FALSE(assets::write_png_565(path("a.png"), 3, 2, std::vector<uint16_t>(5), 1));
  EXPECT_FALSE(assets::write_png_565(path("b.png"), 0, 2, {}, 1));
  EXPECT_FALSE(assets::write_png(path("c.png"), 1, 1, {0}, 0));
  EXPECT_FALSE(assets::write_png_argb(path("d.png"), 2, 2, {0, 0, 0}));
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"})
    EXPECT_FALSE(fs::exists(path(name)));
  // A folder that does not exist.
  EXPECT_FALSE(assets::write_png_565((dir_ / "none" / "x.png").string(), 1, 1, {0}, 1));
}

}  // namespace
