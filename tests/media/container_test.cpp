#include "media/container.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "media/dxdraw.h"
#include "media/errors.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "tests/media/bytes.h"

using namespace media;
using test::Bytes;

namespace {

const char* kPictureRoot = "TPictureCollectionComponent";
const char* kWaveRoot = "TWaveCollectionComponent";

// Resource header + "TPF0" + root with one `List` property holding `items`.
Bytes Container(const std::string& root_class, const Bytes& items,
                const std::string& resource = "DATA", const Bytes& root_flags = {},
                const Bytes& more_root_props = {}) {
  Bytes body;
  body.str("TPF0").append(root_flags).sstr(root_class).sstr("");
  body.sstr("List").u8(14).append(items).u8(0);
  body.append(more_root_props).u8(0).u8(0);
  Bytes b;
  b.u8(0xFF).u16(10).str(resource).u8(0).u16(0x1030).u32(uint32_t(body.size()));
  return b.append(body);
}

// One collection item from name/value pairs already encoded.
Bytes Item(const Bytes& props) { return Bytes().u8(1).append(props).u8(0); }

Bytes PictureData(const TDIB& dib) { return Bytes(SavePictureData(dib)); }

Bytes Binary(const std::vector<uint8_t>& b) {
  return Bytes().u8(10).u32(uint32_t(b.size())).append(b);
}

template <typename Collection>
std::string LoadError(Collection& c, const Bytes& b) {
  try {
    LoadCollectionStream(c, b.data(), b.size());
  } catch (const EMediaError& e) {
    return e.what();
  }
  return "";
}

std::string PictureError(const Bytes& b) {
  TPictureCollection c;
  return LoadError(c, b);
}

TDIB SmallPicture(int bits) {
  std::vector<uint32_t> px;
  for (int i = 0; i < 12; ++i) px.push_back(i % 3 == 0 ? 0xFF0000 : i % 3 == 1 ? 0x00FF00 : 0);
  return TDIB::FromPixels(4, 3, bits, px);
}

}  // namespace

TEST(PictureContainer, WriterOutputReadsBackAndWritesTheSameBytes) {
  TPictureCollection c;
  auto& a = c.Add();
  a.Name = "ship";
  a.PatternWidth = 40;
  a.PatternHeight = 300;  // needs a 16-bit integer
  a.SkipWidth = -1;
  a.SkipHeight = 70000;  // needs a 32-bit integer
  a.Picture = SmallPicture(16);
  a.SystemMemory = true;
  a.Transparent = false;
  a.TransparentColor = 0x8000000F;
  c.Add();  // all defaults, no picture
  auto& b = c.Add();
  b.Name = std::string(300, 'x');  // long string
  b.Picture = SmallPicture(4);
  b.TransparentColor = 0x00FF00FF;
  c.ColorTable.assign(1024, 7);

  const auto bytes = SaveCollectionStream(c, "OBRAZKY");
  TPictureCollection back;
  LoadCollectionStream(back, bytes.data(), bytes.size());
  ASSERT_EQ(back.Count(), 3);
  const auto& r = back.ItemAt(0);
  EXPECT_EQ(r.Name, "ship");
  EXPECT_EQ(r.PatternWidth, 40);
  EXPECT_EQ(r.PatternHeight, 300);
  EXPECT_EQ(r.SkipWidth, -1);
  EXPECT_EQ(r.SkipHeight, 70000);
  EXPECT_TRUE(r.SystemMemory);
  EXPECT_FALSE(r.Transparent);
  EXPECT_EQ(r.TransparentColor, 0x8000000Fu);
  EXPECT_EQ(r.Picture.RGB(), a.Picture.RGB());
  EXPECT_TRUE(back.ItemAt(1).Picture.Empty());
  EXPECT_TRUE(back.ItemAt(1).Transparent);
  EXPECT_EQ(back.ItemAt(2).Name.size(), 300u);
  EXPECT_EQ(back.ItemAt(2).Picture.BitCount(), 4);
  EXPECT_EQ(back.ColorTable, c.ColorTable);
  EXPECT_EQ(SaveCollectionStream(back, "OBRAZKY"), bytes);

  const ContainerInfo info = ReadContainerInfo(bytes.data(), bytes.size());
  EXPECT_EQ(info.resource_name, "OBRAZKY");
  EXPECT_EQ(info.class_name, kPictureRoot);
}

TEST(PictureContainer, EmptyCollectionLayout) {
  TPictureCollection c;
  Bytes expected = Container(kPictureRoot, {}, "MENU");
  EXPECT_EQ(Bytes(SaveCollectionStream(c, "MENU")), expected);
}

TEST(SoundContainer, WriterOutputReadsBackAndWritesTheSameBytes) {
  TWaveCollection c;
  c.Add();  // wave 0: nothing
  auto& a = c.Add();
  a.Name = "shot";
  a.Looped = true;
  a.SetMaxPlayingCount(200);
  a.Wave = TWave::FromPCM(1, 11025, 8, {128, 130, 126});
  const auto bytes = SaveCollectionStream(c, "ZVUK");
  TWaveCollection back;
  LoadCollectionStream(back, bytes.data(), bytes.size());
  ASSERT_EQ(back.Count(), 2);
  EXPECT_TRUE(back.ItemAt(0).Wave.Empty());
  EXPECT_EQ(back.ItemAt(1).Name, "shot");
  EXPECT_TRUE(back.ItemAt(1).Looped);
  EXPECT_EQ(back.ItemAt(1).MaxPlayingCount(), 200);
  EXPECT_EQ(back.ItemAt(1).Wave.Data(), a.Wave.Data());
  EXPECT_EQ(SaveCollectionStream(back, "ZVUK"), bytes);
  EXPECT_EQ(ReadContainerInfo(bytes.data(), bytes.size()).class_name, kWaveRoot);
}

TEST(PictureContainer, ReaderTakesEveryEncodingTheLayoutAllows) {
  const TDIB pic = SmallPicture(24);
  Bytes items;
  // Order integers of each width before the items; short and long strings;
  // property names in any letter case.
  items.u8(2).u8(0).append(Item(Bytes()
                                    .sstr("Name")
                                    .u8(6)
                                    .sstr("a")
                                    .sstr("patternwidth")
                                    .u8(3)
                                    .u16(2)
                                    .sstr("Picture.Data")
                                    .append(Binary(PictureData(pic)))));
  items.u8(3).u16(1).append(Item(
      Bytes().sstr("Name").u8(12).u32(2).str("bb").sstr("TransparentColor").u8(7).sstr("clBlack")));
  items.u8(4).u32(2).append(Item(Bytes()
                                     .sstr("TransparentColor")
                                     .u8(2)
                                     .u8(0)
                                     .sstr("Transparent")
                                     .u8(8)
                                     .sstr("SystemMemory")
                                     .u8(9)));
  items.append(Item(Bytes().sstr("TransparentColor").u8(7).sstr("CLBTNFACE")));
  items.append(Item(Bytes().sstr("TransparentColor").u8(7).sstr("clNone")));
  items.append(Item(Bytes().sstr("TransparentColor").u8(7).sstr("clInfoBk")));
  items.append(Item(Bytes().sstr("TransparentColor").u8(4).u32(0x00123456)));
  // Root with a flag byte announcing a position integer; a 70-character
  // resource name.
  Bytes b = Container(kPictureRoot, items, std::string(70, 'R'), Bytes().u8(0xF2).u8(2).u8(5));
  TPictureCollection c;
  LoadCollectionStream(c, b.data(), b.size());
  ASSERT_EQ(c.Count(), 7);
  EXPECT_EQ(c.ItemAt(0).Name, "a");
  EXPECT_EQ(c.ItemAt(0).PatternWidth, 2);
  EXPECT_EQ(c.ItemAt(0).Picture.RGB(), pic.RGB());
  EXPECT_EQ(c.ItemAt(0).PatternHeight, 0);  // absent: default
  EXPECT_EQ(c.ItemAt(1).Name, "bb");
  // clBlack and the integer 0 load the same.
  EXPECT_EQ(c.ItemAt(1).TransparentColor, c.ItemAt(2).TransparentColor);
  EXPECT_EQ(c.ItemAt(1).TransparentColor, 0u);
  EXPECT_FALSE(c.ItemAt(2).Transparent);
  EXPECT_TRUE(c.ItemAt(2).SystemMemory);
  EXPECT_EQ(c.ItemAt(3).TransparentColor, 0x8000000Fu);
  EXPECT_EQ(c.ItemAt(4).TransparentColor, 0x1FFFFFFFu);
  EXPECT_EQ(c.ItemAt(5).TransparentColor, 0x80000018u);
  EXPECT_EQ(c.ItemAt(6).TransparentColor, 0x00123456u);
}

TEST(SoundContainer, NegativeMaxPlayingCountBecomesZero) {
  Bytes b = Container(kWaveRoot,
                      Item(Bytes().sstr("MaxPlayingCount").u8(2).u8(0xFB).sstr("Looped").u8(9)));
  TWaveCollection c;
  LoadCollectionStream(c, b.data(), b.size());
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.ItemAt(0).MaxPlayingCount(), 0);
  EXPECT_TRUE(c.ItemAt(0).Looped);
}

TEST(PictureContainer, LayoutErrorsCarryTheirMessages) {
  const Bytes good = Container(kPictureRoot, Item(Bytes().sstr("Name").u8(6).sstr("x")));
  ASSERT_EQ(PictureError(good), "");
  auto with = [&](size_t at, uint8_t v) {
    Bytes b = good;
    b[at] = v;
    return b;
  };
  EXPECT_EQ(PictureError(with(0, 0xFE)), "Invalid stream format");
  EXPECT_EQ(PictureError(with(1, 11)), "Invalid stream format");
  EXPECT_EQ(PictureError(with(14, 'X')), "Invalid stream format");  // "TPF0" -> "XPF0"
  EXPECT_EQ(PictureError(Bytes()), "Invalid stream format");
  EXPECT_EQ(PictureError(Bytes().u8(0xFF).u16(10).str(std::string(100, 'n'))),
            "Invalid stream format");  // no name terminator in the first 79 bytes
  // Garbage after the signature.
  Bytes garbage = Bytes().u8(0xFF).u16(10).str("D").u8(0).u16(0).u32(0).str("TPF0");
  garbage.u8(3).str("abc").u8(0).u8(40).str("not a property name at all");
  EXPECT_FALSE(PictureError(garbage).empty());

  auto item = [](const Bytes& props) { return Container(kPictureRoot, Item(props)); };
  EXPECT_EQ(PictureError(item(Bytes().sstr("Colour").u8(2).u8(1))), "Property does not exist");
  EXPECT_EQ(PictureError(item(Bytes().sstr("Picture.Bits").u8(2).u8(1))),
            "Property does not exist");
  EXPECT_EQ(PictureError(item(Bytes().sstr("Name.Data").u8(2).u8(1))), "Invalid property path");
  EXPECT_EQ(PictureError(item(Bytes().sstr("Transparent").u8(2).u8(1))), "Invalid property value");
  EXPECT_EQ(PictureError(item(Bytes().sstr("PatternWidth").u8(9))), "Invalid property value");
  EXPECT_EQ(PictureError(item(Bytes().sstr("Name").u8(2).u8(1))), "Invalid property value");
  EXPECT_EQ(PictureError(item(Bytes().sstr("TransparentColor").u8(7).sstr("clPink"))),
            "Invalid property value");
  EXPECT_EQ(PictureError(item(Bytes().sstr("Picture").u8(10).u32(0))), "Invalid property value");
  EXPECT_EQ(PictureError(Container(kPictureRoot, {}, "D", {}, Bytes().sstr("Tag").u8(2).u8(0))),
            "Property does not exist");
  EXPECT_EQ(PictureError(Container(kPictureRoot, {}, "D", {},
                                   Bytes().sstr("List.ColorTable").append(Binary({1, 2, 3})))),
            "Invalid property value");
  // An item must open with a list tag.
  EXPECT_EQ(PictureError(Container(kPictureRoot, Bytes().u8(2).u8(0).u8(9).u8(0))),
            "Invalid property value");
  // Picture data errors come through.
  EXPECT_EQ(
      PictureError(item(Bytes().sstr("Picture.Data").append(Binary(Bytes().sstr("TDIB").u32(41))))),
      "DIB is invalid");
  TWaveCollection w;
  EXPECT_EQ(
      LoadError(w, Container(kWaveRoot,
                             Item(Bytes().sstr("Wave.WAVE").append(Binary(Bytes().str("junk")))))),
      "Wave is invalid");
  EXPECT_EQ(LoadError(w, Container(kWaveRoot, Item(Bytes().sstr("List.ColorTable").u8(8)))),
            "Property does not exist");
}

TEST(PictureContainer, FailureKeepsTheItemsReadSoFar) {
  Bytes items = Item(Bytes().sstr("Name").u8(6).sstr("first").sstr("PatternWidth").u8(2).u8(9));
  items.append(Item(Bytes().sstr("Name").u8(6).sstr("second").sstr("Bogus").u8(2).u8(1)));
  items.append(Item(Bytes().sstr("Name").u8(6).sstr("third")));
  TPictureCollection c;
  c.Add().Name = "old";
  EXPECT_EQ(LoadError(c, Container(kPictureRoot, items)), "Property does not exist");
  ASSERT_EQ(c.Count(), 2);
  EXPECT_EQ(c.ItemAt(0).Name, "first");
  EXPECT_EQ(c.ItemAt(0).PatternWidth, 9);
  EXPECT_EQ(c.ItemAt(1).Name, "second");
}

TEST(PictureContainer, LoadingReplacesTheWholeCollection) {
  TPictureCollection c;
  for (int i = 0; i < 3; ++i) c.Add();
  c.ColorTable.assign(1024, 1);
  Bytes b = Container(kPictureRoot, Item(Bytes().sstr("Name").u8(6).sstr("only")));
  LoadCollectionStream(c, b.data(), b.size());
  ASSERT_EQ(c.Count(), 1);
  EXPECT_EQ(c.ItemAt(0).Name, "only");
  EXPECT_TRUE(c.ColorTable.empty());
}

TEST(PictureContainer, PictureDataFormats) {
  TDIB dib;
  LoadPictureData(dib, nullptr, 0);
  EXPECT_TRUE(dib.Empty());
  Bytes no_bitmap = Bytes().sstr("TDIB");
  LoadPictureData(dib, no_bitmap.data(), no_bitmap.size());
  EXPECT_TRUE(dib.Empty());
  Bytes other = Bytes().sstr("TJPEGImage").u32(0);
  EXPECT_THROW(LoadPictureData(dib, other.data(), other.size()), EReadError);
}

// Every cut of a valid container fails cleanly, whatever field it splits.
TEST(Containers, EveryTruncationFailsWithAnError) {
  TPictureCollection pc;
  auto& p = pc.Add();
  p.Name = "p";
  p.PatternWidth = 2;
  p.TransparentColor = 0x123456;
  p.Picture = SmallPicture(8);
  pc.ColorTable.assign(1024, 0);
  const auto pictures = SaveCollectionStream(pc);
  TWaveCollection wc;
  wc.Add().Wave = TWave::FromPCM(1, 8000, 8, {1, 2, 3});
  const auto waves = SaveCollectionStream(wc);
  for (size_t n = 0; n + 1 < pictures.size(); ++n) {
    TPictureCollection c;
    EXPECT_NE(LoadError(c, Bytes(std::vector<uint8_t>(pictures.begin(), pictures.begin() + n))), "")
        << n;
  }
  for (size_t n = 0; n + 1 < waves.size(); ++n) {
    TWaveCollection c;
    EXPECT_NE(LoadError(c, Bytes(std::vector<uint8_t>(waves.begin(), waves.begin() + n))), "") << n;
  }
}

TEST(Containers, HugeCountsFailWithoutAllocating) {
  auto item = [](const Bytes& props) { return Container(kPictureRoot, Item(props)); };
  EXPECT_EQ(PictureError(item(Bytes().sstr("Picture.Data").u8(10).u32(0xFFFFFFFF).u8(4))),
            "Unexpected end of data");
  EXPECT_EQ(PictureError(item(Bytes().sstr("Name").u8(12).u32(0xFFFFFFF0).str("ab"))),
            "Unexpected end of data");
  // A 100000 x 100000 picture inside a small container.
  Bytes dib = Bytes().sstr("TDIB").u32(40).u32(100000).u32(100000).u16(1).u16(24);
  for (int i = 0; i < 6; ++i) dib.u32(0);
  EXPECT_FALSE(PictureError(item(Bytes().sstr("Picture.Data").append(Binary(dib)))).empty());
}

TEST(Containers, FilesAreReadWhole) {
  const auto dir = std::filesystem::temp_directory_path() / "zarnik_containers_test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "zvuk.xxx").string();
  TWaveCollection c;
  c.Add().Name = "beep";
  platform::write_file_atomic(path, SaveCollectionStream(c));
  TWaveCollection back;
  back.LoadFromFile(path);
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.ItemAt(0).Name, "beep");
  TPictureCollection pictures;
  EXPECT_THROW(pictures.LoadFromFile((dir / "missing.xxx").string()), std::runtime_error);
  std::filesystem::remove_all(dir);
}

// With the display or sound device running, a loaded collection can be drawn
// or played at once; without it, the items wait for the device.
TEST(Containers, LoadedCollectionsAreReadyWhenTheirDeviceRuns) {
  platform::headless::Backend backend;
  backend.install(true);
  TPictureCollection pc;
  auto& p = pc.Add();
  p.Picture = SmallPicture(24);
  p.PatternWidth = 2;
  const auto pictures = SaveCollectionStream(pc);
  TWaveCollection wc;
  wc.Add().Wave = TWave::FromPCM(1, 8000, 8, {1, 2, 3});
  const auto waves = SaveCollectionStream(wc);

  TDXDraw display;
  TDXImageList images;
  images.SetDXDraw(&display);
  LoadCollectionStream(images.Items, pictures.data(), pictures.size());
  EXPECT_FALSE(images.Items.ItemAt(0).Initialized());
  display.InitializeDisplay();
  LoadCollectionStream(images.Items, pictures.data(), pictures.size());
  EXPECT_TRUE(images.Items.ItemAt(0).Initialized());
  EXPECT_EQ(images.Items.ItemAt(0).PatternCount(), 2);

  TDXSound sound;
  TDXWaveList sounds;
  sounds.SetDXSound(&sound);
  LoadCollectionStream(sounds.Items, waves.data(), waves.size());
  EXPECT_FALSE(sounds.Items.ItemAt(0).Initialized());
  sound.Initialize();
  LoadCollectionStream(sounds.Items, waves.data(), waves.size());
  EXPECT_TRUE(sounds.Items.ItemAt(0).Initialized());
  display.FinalizeDisplay();
}
