#include "media/wave.h"

#include <gtest/gtest.h>

#include "media/errors.h"
#include "tests/media/bytes.h"

using media::TWave;
using test::Bytes;

namespace {

Bytes Fmt() {
  Bytes f;
  f.u16(1).u16(2).u32(22050).u32(88200).u16(4).u16(16);
  return f;
}

Bytes Chunk(const char* id, const Bytes& body) {
  return Bytes().str(id).u32(uint32_t(body.size())).append(body);
}

Bytes Riff(const Bytes& chunks) {
  return Bytes().str("RIFF").u32(uint32_t(chunks.size() + 4)).str("WAVE").append(chunks);
}

TWave Load(const Bytes& b) {
  TWave w;
  w.LoadFromBytes(b.data(), b.size());
  return w;
}

const Bytes kSamples = Bytes().u8(1).u8(2).u8(3).u8(4).u8(5);  // odd length

}  // namespace

TEST(Wave, WriterLayoutAndRoundTrip) {
  TWave w = TWave::FromPCM(2, 22050, 16, kSamples);
  EXPECT_EQ(w.Channels(), 2);
  EXPECT_EQ(w.SamplesPerSec(), 22050u);
  EXPECT_EQ(w.BitsPerSample(), 16);
  EXPECT_EQ(w.FormatTag(), 1);
  const auto bytes = w.SaveToBytes();
  // No pad byte after the odd-length data chunk.
  EXPECT_EQ(bytes, Riff(Chunk("fmt ", Fmt()).append(Chunk("data", kSamples))));
  EXPECT_EQ(Load(Bytes(bytes)).SaveToBytes(), bytes);
  EXPECT_TRUE(TWave().SaveToBytes().empty());
  EXPECT_TRUE(TWave::FromPCM(1, 8000, 8, {}).SaveToBytes().empty());
}

TEST(Wave, ChunkWalkSkipsOthersAndTakesAnyOrder) {
  Bytes list = Chunk("LIST", Bytes().str("INFOxyz"));  // odd length, no pad
  TWave a = Load(Riff(Chunk("fmt ", Fmt()).append(list).append(Chunk("data", kSamples))));
  EXPECT_EQ(a.Format(), Fmt());
  EXPECT_EQ(a.Data(), kSamples);
  TWave b = Load(Riff(Chunk("data", kSamples).append(Chunk("fmt ", Fmt()))));
  EXPECT_EQ(b.Format(), Fmt());
  EXPECT_EQ(b.Data(), kSamples);
}

TEST(Wave, ZeroChunkHeaderEndsTheWalk) {
  Bytes chunks = Chunk("fmt ", Fmt());
  chunks.u32(0).u32(0);
  chunks.append(Chunk("data", kSamples));
  TWave w = Load(Riff(chunks));
  EXPECT_EQ(w.Format(), Fmt());
  EXPECT_TRUE(w.Data().empty());
  EXPECT_TRUE(w.Empty());
}

TEST(Wave, BadImagesFail) {
  auto error = [](const Bytes& b) -> std::string {
    try {
      Load(b);
    } catch (const media::EWaveError& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(error(Bytes().str("RIFX").u32(4).str("WAVE")), "Wave is invalid");
  EXPECT_EQ(error(Bytes().str("RIFF").u32(4).str("AVI ")), "Wave is invalid");
  EXPECT_EQ(error(Bytes().str("RIFF")), "Wave is invalid");
  // A data chunk claiming 4 GB.
  EXPECT_EQ(error(Riff(Chunk("fmt ", Fmt()).str("data").u32(0xFFFFFFFF).u8(1))), "Wave is invalid");
  // An unknown chunk running past the end just ends the walk.
  TWave w = Load(Riff(Chunk("fmt ", Fmt()).str("junk").u32(0xFFFFFFF0).u8(1)));
  EXPECT_EQ(w.Format(), Fmt());
  EXPECT_TRUE(Load(Bytes()).Empty());
}
