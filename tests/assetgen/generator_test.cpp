// The generator's own drawing, sound and MIDI routines.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/assetgen/smf_reader.h"
#include "tools/assetgen/midi.h"
#include "tools/assetgen/raster.h"
#include "tools/assetgen/sounds.h"

namespace {

using assets::Canvas;
using assets::rgb;

bool keyed(uint32_t c) { return (c >> 16 & 0xFF) < 8 && (c >> 8 & 0xFF) < 4 && (c & 0xFF) < 8; }

TEST(Canvas, EdgesAreAntiAliasedAndInteriorsSurviveTheKey) {
  Canvas c(4, 1, 4);
  c.rect(0, 0, 1.5f, 1, rgb(1, 1, 1));            // pixel 1 half covered
  c.rect(2, 0, 3, 1, rgb(0.01f, 0.01f, 0.01f));   // fully covered, nearly black
  c.rect(3, 0, 3.25f, 1, rgb(0.3f, 0.3f, 0.3f));  // a quarter covered, dim
  auto px = c.resolve();
  EXPECT_EQ(px[0], 0xFFFFFFu);
  EXPECT_NEAR(int(px[1] & 0xFF), 128, 2);
  EXPECT_FALSE(keyed(px[2])) << "an opaque dark interior must not turn transparent";
  EXPECT_EQ(px[3], 0u) << "a dim sliver goes into the key rather than making a dark fringe";
}

TEST(Canvas, PolygonWindingFillsOverlapsOnce) {
  // Two overlapping squares in one outline (nonzero rule): the overlap is
  // painted once, so half-transparent paint is not doubled there.
  Canvas c(4, 2, 2);
  c.polygon({{0, 0}, {3, 0}, {3, 2}, {0, 2}, {0, 0}, {1, 0}, {4, 0}, {4, 2}, {1, 2}, {1, 0}},
            rgb(1, 0, 0, 0.5f));
  auto px = c.resolve();
  EXPECT_EQ(px[1] >> 16 & 0xFF, px[0] >> 16 & 0xFF);
}

TEST(Sounds, FinishNormalisesAndFadesBothEnds) {
  std::vector<float> s(2000, 0.0f);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = 3.0f * std::sin(float(i) * 0.3f) + 0.5f;  // offset: click-prone
  auto out = assets::finish(s, 0.5f, 4.0f);
  int peak = 0;
  for (int16_t v : out) peak = std::max(peak, std::abs(int(v)));
  EXPECT_NEAR(peak, 16384, 40);
  EXPECT_EQ(out.front(), 0);
  EXPECT_EQ(out.back(), 0);
  EXPECT_LT(std::abs(int(out[1])), 2000) << "the fade-in ramps up gently";
}

TEST(Midi, WriterRoundTripsThroughAReader) {
  assets::MidiTrack meta, music;
  meta.tempo(0, 500000);  // 120 beats a minute
  // A note ending exactly where the same note starts again must not swallow
  // the new one (note-off first), and long gaps need multi-byte deltas.
  music.note(0, 9, 36, 100, 480);
  music.note(480, 9, 36, 100, 480);
  music.note(20000, 2, 60, 90, 100);
  auto bytes = assets::midi_file({meta, music}, 480, 480 * 120);
  smf::Song s = smf::parse(bytes);
  EXPECT_EQ(s.format, 1);
  EXPECT_EQ(s.tracks, 2);
  EXPECT_EQ(s.notes, 3);
  EXPECT_EQ(s.hanging_notes, 0);
  EXPECT_EQ(s.notes_on_channel[9], 2);
  EXPECT_DOUBLE_EQ(s.seconds, 60.0);
  EXPECT_NEAR(s.last_note_off_seconds, 20100 / 960.0, 1e-9);
}

TEST(Noise, IsDeterministicAndBounded) {
  assets::Noise a(5), b(5), c(6);
  float diff = 0;
  for (int i = 0; i < 200; ++i) {
    float x = i * 0.37f, y = i * 0.11f, z = -i * 0.23f;
    float v = a.fbm(x, y, z, 5);
    EXPECT_EQ(v, b.fbm(x, y, z, 5));
    EXPECT_LE(std::fabs(v), 1.0f);
    diff += std::fabs(v - c.fbm(x, y, z, 5));
  }
  EXPECT_GT(diff, 1.0f) << "different seeds give different noise";
}

}  // namespace
