// Glyphs stored ahead of time: the page lays out the same text, pixel for
// pixel, as the Linux rasteriser, for every face and size the game draws
// in; a damaged file is refused whole.
#include "platform/web/glyph_atlas.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "harness/alloc_count.h"
#include "harness/game_driver.h"
#include "platform/fonts.h"
#include "platform/freetype/rasterized_glyphs.h"
#include "platform/services.h"

namespace platform::web {
namespace {

std::vector<AtlasFace> game_atlas() {
  static const std::vector<AtlasFace> faces = [] {
    std::vector<AtlasFace> out;
    for (size_t i = 0; i < kGameFaceCount; ++i) {
      AtlasFace f;
      f.family = std::string(kGameFaces[i].family);
      f.pixel_height = kGameFaces[i].pixel_height;
      for (char32_t c : atlas_characters())
        EXPECT_TRUE(
            rasterized_glyph(f.family, f.pixel_height, c, f.glyphs[c], f.ascent, f.descent));
      rasterized_glyph(f.family, f.pixel_height, 0x10FFFF, f.glyphs[kMissingGlyph], f.ascent,
                       f.descent);
      out.push_back(std::move(f));
    }
    return out;
  }();
  return faces;
}

bool same(const TextBitmap& a, const TextBitmap& b) {
  return a.width == b.width && a.height == b.height && a.top == b.top &&
         a.cell_height == b.cell_height && a.coverage == b.coverage;
}

TEST(GlyphAtlas, LinesAreTheLinuxRasterisersThroughTheFile) {
  std::vector<AtlasFace> read;
  ASSERT_TRUE(read_atlas(write_atlas(game_atlas()), read));
  AtlasRasterizer atlas(std::move(read));
  FontRasterizer& linux_fonts = default_font_rasterizer();
  const std::u32string texts[] = {
      U"Příliš žluťoučký kůň úpěl ďábelské ódy",
      U"ŘEDITEL ŠŤASTNÝ ŽÁK Ů",
      U"REKORDY 12950",
      U"a\u20ACb\u00A0c",
      U"\u0378 unknown",  // a character no face has
  };
  for (size_t i = 0; i < kGameFaceCount; ++i) {
    for (const std::u32string& t : texts) {
      SCOPED_TRACE(std::string(kGameFaces[i].family) + " " +
                   std::to_string(kGameFaces[i].pixel_height));
      // The game asks by its own spelling of the name.
      const std::string asked = i == 0 ? "Arial" : std::string(kGameFaces[i].family);
      EXPECT_TRUE(same(atlas.render(asked, kGameFaces[i].pixel_height, t),
                       linux_fonts.render(asked, kGameFaces[i].pixel_height, t)));
    }
  }
  // A size the game does not use takes the nearest of the family.
  EXPECT_TRUE(same(atlas.render("Impact", 14, U"KONEC"), atlas.render("impact", 13, U"KONEC")));
  EXPECT_TRUE(same(atlas.render("Tahoma", 11, U"x"), atlas.render("Arial", 11, U"x")));
  EXPECT_EQ(atlas.render("Arial", 11, U"").width, 0);
}

TEST(GlyphAtlas, EveryFaceAndSizeTheGameDrawsIsInTheFile) {
  // The whole game run headless on its real data, with every request of a
  // face seen: the splash, the menu, the high scores, a game.
  struct Recorder : FontRasterizer {
    FontRasterizer* inner;
    std::set<std::pair<std::string, int>> asked;
    void render_into(std::string_view f, int px, std::u32string_view t, TextBitmap& out) override {
      std::string key(f);
      for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
      asked.emplace(key, px);
      inner->render_into(f, px, t, out);
    }
  } recorder;
  game_driver::Options o;
  o.data_from = ZARNIK_BINARY_DIR "/run";
  game_driver::GameDriver d(o);
  recorder.inner = services().fonts;
  services().fonts = &recorder;
  ASSERT_TRUE(d.create());
  d.form().add_score("PETR", 100);
  d.tick(260);
  d.move_to(400, 225);
  d.tick(100);
  d.press(game_driver::kDown);
  d.press(game_driver::kDown);
  d.press(game_driver::kEnter);  // the high scores
  d.tick(5);
  d.press(game_driver::kEsc);
  d.press(game_driver::kUp);
  d.press(game_driver::kUp);
  d.press(game_driver::kEnter);  // a game
  d.key_down(game_driver::kSpace);
  d.tick(600);
  services().fonts = recorder.inner;
  ASSERT_FALSE(recorder.asked.empty());
  for (const auto& [family, px] : recorder.asked) {
    bool found = false;
    for (size_t i = 0; i < kGameFaceCount; ++i)
      found |= kGameFaces[i].family == family && kGameFaces[i].pixel_height == px;
    EXPECT_TRUE(found) << family << " " << px;
  }
}

TEST(GlyphAtlas, FacesAskedForByTurnsAllocateNothing) {
  // Names longer than a short string holds even where size_t is 64-bit, as
  // "Arial Black" is where it is 32-bit (wasm32): the game asks for its
  // faces by turns every frame, in its own spelling.
  std::vector<AtlasFace> faces(2);
  faces[0].family = "a face whose name is longer than a short string";
  faces[1].family = "another face whose name is longer than that";
  for (AtlasFace& f : faces) {
    f.pixel_height = 11;
    f.ascent = 10;
    f.descent = 3;
    f.glyphs[U'A'] = Glyph{1, 9, 7, 6, 9, std::vector<uint8_t>(54, 200)};
  }
  AtlasRasterizer atlas(std::move(faces));
  const std::string asked[] = {"A Face Whose Name Is Longer Than A Short String",
                               "Another Face Whose Name Is Longer Than That"};
  TextBitmap out;
  for (const std::string& name : asked) atlas.render_into(name, 11, U"AAA", out);
  EXPECT_EQ(alloc_count::allocations_during([&] {
              for (int frame = 0; frame < 50; ++frame)
                for (const std::string& name : asked) atlas.render_into(name, 11, U"AA", out);
            }),
            0);
  EXPECT_EQ(out.width, 14);
}

TEST(GlyphAtlas, ADamagedFileIsRefusedWhole) {
  AtlasFace f;
  f.family = "Arial";
  f.pixel_height = 11;
  f.ascent = 10;
  f.descent = 3;
  f.glyphs[U'A'] = Glyph{1, 9, 7, 6, 9, std::vector<uint8_t>(54, 200)};
  const std::vector<uint8_t> good = write_atlas({f});
  std::vector<AtlasFace> out;
  ASSERT_TRUE(read_atlas(good, out));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].family, "arial");
  EXPECT_EQ(out[0].glyphs.at(U'A').coverage, f.glyphs[U'A'].coverage);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(read_atlas(std::span(good).first(cut), out)) << cut;
    EXPECT_TRUE(out.empty());
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_FALSE(read_atlas(longer, out));
  // A glyph that claims more pixels than any face has.
  std::vector<uint8_t> huge = good;
  const size_t width_at = good.size() - 54 - 4;
  huge[width_at] = 0xFF;
  huge[width_at + 1] = 0xFF;
  EXPECT_FALSE(read_atlas(huge, out));
  std::vector<uint8_t> faces = good;
  faces[8] = 0xFF;  // the face count
  EXPECT_FALSE(read_atlas(faces, out));
}

}  // namespace
}  // namespace platform::web
