#include "tools/xxx/xxx.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "media/container.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "platform/files.h"
#include "tests/media/bytes.h"

namespace fs = std::filesystem;
using namespace media;
using test::Bytes;

namespace {

class TempDir {
 public:
  TempDir() : path_(fs::temp_directory_path() / ("zarnik_xxx_" + std::to_string(::getpid()))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

TDIB Picture(int w, int h, int bits) {
  std::vector<uint32_t> px;
  for (int i = 0; i < w * h; ++i) px.push_back((i % (bits == 1 ? 2 : 5)) * 0x203040u);
  return TDIB::FromPixels(w, h, bits, px);
}

}  // namespace

TEST(Xxx, PatternCountFollowsTheCuttingRule) {
  TPictureCollection c;
  auto& it = c.Add();
  EXPECT_EQ(xxx::PatternCount(it), 0);  // no picture
  it.Picture = Picture(200, 50, 24);
  EXPECT_EQ(xxx::PatternCount(it), 1);
  it.PatternWidth = 50;
  it.PatternHeight = 50;
  EXPECT_EQ(xxx::PatternCount(it), 4);
  it.SkipWidth = 10;
  EXPECT_EQ(xxx::PatternCount(it), 3);  // (200 + 10) div 60
  it.PatternWidth = 300;                // wider than the picture
  it.SkipWidth = 0;
  EXPECT_EQ(xxx::PatternCount(it), 0);
  it.PatternWidth = 10;
  it.SkipWidth = -10;  // a step of zero cuts nothing
  EXPECT_EQ(xxx::PatternCount(it), 0);
}

TEST(Xxx, UnpackThenPackReproducesTheContainer) {
  TempDir dir;
  TPictureCollection pc;
  auto& a = pc.Add();
  a.Name = "lo\xE8\x5C\x01";  // Czech letter, backslash, control byte
  a.Picture = Picture(20, 10, 8);
  a.PatternWidth = 10;
  a.TransparentColor = 0x80000005;
  auto& b = pc.Add();
  b.Picture = Picture(7, 3, 16);
  b.Transparent = false;
  b.SystemMemory = true;
  b.SkipHeight = -2;
  pc.Add();
  pc.Add().Picture = Picture(5, 5, 1);
  pc.Add().Picture = Picture(3, 4, 32);
  pc.ColorTable.assign(1024, 9);
  const auto pictures = SaveCollectionStream(pc, "OBRAZKY");
  platform::write_file_atomic(dir / "obrazky.xxx", pictures);

  TWaveCollection wc;
  wc.Add();
  auto& w = wc.Add();
  w.Name = "shot";
  w.Looped = true;
  w.SetMaxPlayingCount(3);
  w.Wave = TWave::FromPCM(2, 44100, 16, {1, 2, 3, 4, 5, 6, 7, 8});
  const auto sounds = SaveCollectionStream(wc, "ZVUK");
  platform::write_file_atomic(dir / "zvuk.xxx", sounds);

  xxx::Unpack(dir / "obrazky.xxx", dir / "pic");
  xxx::Pack(dir / "pic/manifest.txt", dir / "again.xxx");
  EXPECT_EQ(platform::read_file(dir / "again.xxx"), pictures);
  EXPECT_TRUE(fs::exists(dir / "pic/000.bmp"));
  EXPECT_FALSE(fs::exists(dir / "pic/002.bmp"));

  xxx::Unpack(dir / "zvuk.xxx", dir / "snd");
  xxx::Pack(dir / "snd/manifest.txt", dir / "again2.xxx");
  EXPECT_EQ(platform::read_file(dir / "again2.xxx"), sounds);
  EXPECT_EQ(Bytes(platform::read_file(dir / "snd/001.wav")), Bytes(w.Wave.SaveToBytes()));

  const std::string list = xxx::List(pictures);
  EXPECT_NE(list.find("0 picture \"loč\\x5C\\x01\" 20x10 8 bit, pattern 10x10 count 2, "
                      "transparent 0x80000005"),
            std::string::npos)
      << list;
  EXPECT_NE(list.find("1 picture \"\" 7x3 16 bit, pattern 7x3 count 1, transparent off"),
            std::string::npos)
      << list;
  const std::string slist = xxx::List(sounds);
  EXPECT_NE(slist.find("1 sound \"shot\" PCM 2 ch 44100 Hz 16 bit, 8 bytes"), std::string::npos)
      << slist;
}

TEST(Xxx, PackRejectsBadManifests) {
  TempDir dir;
  auto write = [&](const std::string& text) {
    platform::write_file_atomic(dir / "m.txt", std::vector<uint8_t>(text.begin(), text.end()));
  };
  write("kind pictures\nitem\nPatternWidth ten\n");
  EXPECT_THROW(xxx::Pack(dir / "m.txt", dir / "out.xxx"), std::runtime_error);
  write("kind sounds\nLooped 1\n");
  EXPECT_THROW(xxx::Pack(dir / "m.txt", dir / "out.xxx"), std::runtime_error);
  write("kind sounds\nitem\nPatternWidth 1\n");
  EXPECT_THROW(xxx::Pack(dir / "m.txt", dir / "out.xxx"), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir / "out.xxx"));
}

TEST(Xxx, BmpFilesFromEditorsWithLargerHeaders) {
  // A 2 x 1 picture at 32 bits with a 108-byte header carrying bit-field
  // masks, as image editors write them.
  Bytes info;
  info.u32(108).u32(2).u32(1).u16(1).u16(32).u32(3).u32(8).u32(0).u32(0).u32(0).u32(0);
  info.u32(0xFF0000).u32(0xFF00).u32(0xFF).u32(0xFF000000);
  while (info.size() < 108) info.u8(0);
  Bytes file;
  file.str("BM").u32(uint32_t(14 + info.size() + 8)).u32(0).u32(uint32_t(14 + info.size()));
  file.append(info).u32(0x00AABBCC).u32(0x00010203);
  const auto bitmap = xxx::BmpFileToBitmap(file);
  TDIB dib;
  dib.LoadFromBytes(bitmap.data(), bitmap.size());
  EXPECT_EQ(dib.PixelRGB(0, 0), 0xAABBCCu);
  EXPECT_EQ(dib.PixelRGB(1, 0), 0x010203u);
  EXPECT_THROW(xxx::BmpFileToBitmap(Bytes().str("PNG")), std::runtime_error);
}

namespace {
// The container with its root class name replaced by another of the same
// length, as a container made by some other tool may carry.
std::vector<uint8_t> Renamed(std::vector<uint8_t> bytes, const std::string& from,
                             const std::string& to) {
  auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
  EXPECT_NE(at, bytes.end());
  std::copy(to.begin(), to.end(), at);
  return bytes;
}
}  // namespace

TEST(Xxx, KindComesFromTheContentWhenTheRootNameIsUnknown) {
  TPictureCollection pictures;
  pictures.Add().Picture = Picture(4, 2, 24);
  const auto pic = Renamed(SaveCollectionStream(pictures), "TPictureCollectionComponent",
                           "TSpritesCollectionComponent");
  EXPECT_EQ(xxx::ContainerKind(pic), xxx::Kind::Pictures);
  EXPECT_NE(xxx::List(pic).find("0 picture \"\" 4x2 24 bit"), std::string::npos);

  TWaveCollection waves;
  waves.Add().Looped = true;
  const auto wav =
      Renamed(SaveCollectionStream(waves), "TWaveCollectionComponent", "TClipCollectionComponent");
  EXPECT_EQ(xxx::ContainerKind(wav), xxx::Kind::Sounds);
  EXPECT_NE(xxx::List(wav).find("0 sound \"\" no sound, looped"), std::string::npos);

  // A known name still decides when the items would fit either kind.
  EXPECT_EQ(xxx::ContainerKind(SaveCollectionStream(TWaveCollection{})), xxx::Kind::Sounds);
  // An unknown name with nothing to tell the kinds apart needs --kind.
  const auto empty = Renamed(SaveCollectionStream(TWaveCollection{}), "TWaveCollectionComponent",
                             "TClipCollectionComponent");
  EXPECT_THROW(xxx::ContainerKind(empty), std::runtime_error);
  EXPECT_EQ(xxx::ContainerKind(empty, xxx::Kind::Pictures), xxx::Kind::Pictures);

  TempDir dir;
  platform::write_file_atomic(dir / "empty.xxx", empty);
  std::string path = dir / "empty.xxx";
  std::string list = "list", opt = "--kind", kind = "sounds", bad = "music";
  char* given[] = {nullptr, list.data(), opt.data(), kind.data(), path.data()};
  EXPECT_EQ(xxx::Main(5, given), 0);
  char* unknown[] = {nullptr, list.data(), opt.data(), bad.data(), path.data()};
  EXPECT_EQ(xxx::Main(5, unknown), 2);
  char* plain[] = {nullptr, list.data(), path.data()};
  EXPECT_EQ(xxx::Main(3, plain), 1);
}
