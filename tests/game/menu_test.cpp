// The menu screen: stars, glows, the items, the name field and the
// high-score list, read back from the presented frame.
#include <gtest/gtest.h>

#include "game/persistence.h"
#include "harness/game_driver.h"

namespace {

using game_driver::GameDriver;
using game_driver::Mark;
namespace vk = game_driver;

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(d.create());
    d.set_cursor(-500, -500);
    d.tick(250);  // the splash
  }
  game::TForm1& f() { return d.form(); }
  game::Thra& g() { return d.form().game; }
  // Lit pixels of the last frame inside a rectangle.
  int lit(int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += d.pixel(x, y) != 0;
    return n;
  }
  GameDriver d;
};

TEST_F(MenuTest, NoStarShowsUntilAllArePlacedInThe85thMenuFrame) {
  d.tick(84);
  for (const auto& s : f().stars) {
    EXPECT_EQ(s.size, 0);
    EXPECT_EQ(s.brightening, 0);
  }
  EXPECT_EQ(f().stars[0].brightness, 4);
  d.tick(1);
  for (const auto& s : f().stars) {
    EXPECT_GE(s.size, 1);
    EXPECT_LE(s.size, 2);
    EXPECT_EQ(s.brightening, 1);
    // Random(123) x (3 - size): up to 244 for a small star, 122 for a big one.
    EXPECT_LE(s.brightness, s.size == 1 ? 244 : 122);
  }
}

TEST_F(MenuTest, StarsBrightenDimAndDriftBySize) {
  d.tick(85);
  auto& s = f().stars[7];
  s.brightening = 1;
  s.brightness = 250;
  s.size = 2;
  s.x = 100;
  s.y = 200;
  d.tick(1);
  // 250 + 3 = 253 is above 251: the star turns and dims in the same frame.
  EXPECT_EQ(s.brightening, 0);
  EXPECT_EQ(s.brightness, 250);
  EXPECT_EQ(s.x, 102);
  EXPECT_EQ(s.y, 202);
  s.brightness = 6;
  d.tick(1);
  // Re-placed: brightening again, at a fresh place.
  EXPECT_EQ(s.brightening, 1);
  EXPECT_NE(s.x, 104);
}

TEST_F(MenuTest, GlowsRiseAndFallByTwoBetween55And255) {
  EXPECT_EQ(g().start_glow, 55);
  d.move_to(f().W() / 2, f().H() / 2 - 75);
  ASSERT_EQ(g().start_selected, 1);
  d.tick(1);
  EXPECT_EQ(g().start_glow, 57);
  EXPECT_EQ(g().end_glow, 55);
  d.tick(99);
  EXPECT_EQ(g().start_glow, 255);
  d.tick(5);
  EXPECT_EQ(g().start_glow, 255);
  d.move_to(5, 5);
  d.tick(1);
  EXPECT_EQ(g().start_glow, 253);
  d.tick(99);
  EXPECT_EQ(g().start_glow, 55);
  d.tick(3);
  EXPECT_EQ(g().start_glow, 55);
  // The glows do not move while the list is shown.
  g().scores_selected = 1;
  g().scores_shown = 1;
  d.tick(4);
  EXPECT_EQ(g().scores_glow, 55);
}

TEST_F(MenuTest, ScreenLayoutAt800x600) {
  d.tick(1);
  // Title: the picture's mark at its top-left corner.
  EXPECT_EQ(game_driver::mark_of(d.pixel(300, 115)), (Mark{2, 0}));
  // The two white lines across the screen at y 50 and H - 50, drawn from
  // the right edge to x = 0, which a line leaves out.
  EXPECT_EQ(d.pixel(1, 50), 0xFFFF);
  EXPECT_EQ(d.pixel(0, 50), 0);
  EXPECT_EQ(d.pixel(799, 50), 0xFFFF);
  EXPECT_EQ(d.pixel(400, 550), 0xFFFF);
  // The version text right of x = 650 above the line, the credit and the
  // address below the lower line, the name label at (600, 520).
  EXPECT_GT(lit(650, 35, 800, 50), 0);
  EXPECT_EQ(lit(0, 35, 640, 50), 0);
  EXPECT_GT(lit(50, 554, 300, 568), 0);
  EXPECT_GT(lit(60, 570, 250, 590), 0);
  EXPECT_GT(lit(600, 520, 800, 545), 0);
  EXPECT_EQ(lit(400, 520, 595, 545), 0);
  // The items, centred at (400, 225), (400, 275) and (400, 375).
  EXPECT_GT(lit(398, 223, 402, 227), 0);
  EXPECT_GT(lit(398, 273, 402, 277), 0);
  EXPECT_GT(lit(398, 373, 402, 377), 0);
}

TEST_F(MenuTest, LinkTurnsBlueWhileHovered) {
  auto blue_pixels = [&] {
    int n = 0;
    for (int y = 570; y < 590; ++y)
      for (int x = 60; x < 260; ++x) {
        const uint16_t p = d.pixel(x, y);
        n += p != 0 && (p >> 11) == 0 && ((p >> 5) & 0x3F) == 0;
      }
    return n;
  };
  d.tick(1);
  EXPECT_EQ(blue_pixels(), 0);
  d.move_to(100, f().H() - 18);
  d.tick(1);
  EXPECT_GT(blue_pixels(), 0);
}

TEST_F(MenuTest, HighScoreListReplacesTheItemsWithFifteenRows) {
  for (int i = 0; i < 15; ++i) f().add_score("HRAC", static_cast<uint16_t>(1000 - i));
  g().scores_shown = 1;
  d.tick(1);
  // No items, no name field.
  EXPECT_EQ(lit(398, 223, 402, 227), 0);
  EXPECT_EQ(lit(398, 373, 402, 377), 0);
  EXPECT_EQ(lit(600, 520, 800, 545), 0);
  // Fifteen rows 15 pixels apart from H/2 - 130: names from x = 300,
  // scores from x = 460, nothing below the last row.
  for (int l = 1; l <= 15; ++l) {
    const int y = 300 - 145 + 15 * l;
    EXPECT_GT(lit(300, y, 380, y + 15), 0) << l;
    EXPECT_GT(lit(460, y, 520, y + 15), 0) << l;
    EXPECT_EQ(lit(380, y, 455, y + 15), 0) << l;
  }
  EXPECT_EQ(lit(300, 400, 520, 440), 0);
  // An empty table shows no rows.
  f().score_table.clear();
  d.tick(1);
  EXPECT_EQ(lit(300, 150, 520, 400), 0);
}

// A table read from a file may be far longer than the screen and its lines
// far wider: the frame is exactly what the rows and characters that reach
// the screen draw.
TEST_F(MenuTest, AListLongerAndWiderThanTheScreenShowsExactlyItsVisiblePart) {
  game::Thra& game = g();
  game.scores_shown = 1;
  std::vector<std::string> full;
  for (int i = 0; i < 100000; ++i) {
    full.push_back(std::string(400, char('0' + i % 10)));
    full.push_back(std::string(400 + i % 7, char('A' + i % 26)) + "\xc8");
  }
  std::vector<std::string> visible;
  for (int i = 0; i < 2 * 40; ++i) visible.push_back(full[i].substr(0, game::kMaxFileNameLength));
  f().score_table = visible;
  d.tick(1);
  const std::vector<uint16_t> expected = d.frame();
  f().score_table = full;
  d.tick(1);
  EXPECT_TRUE(d.frame() == expected);
  EXPECT_GT(lit(300, 160, 800, 600), 1000);
}

TEST_F(MenuTest, AStoredNameIsDrawnAsWindows1250Text) {
  // "\x8a\xd8" is "ŠŘ" in Windows-1250; the frame must show exactly what
  // the canvas draws for those two letters (no stars are out yet).
  g().player_name = "\x8a\xd8";
  d.tick(1);
  media::TDirectDrawSurface expected(200, 30);
  expected.FillSurface(0);
  auto& c = expected.GetCanvas();
  c.Brush.Style = media::TBrushStyle::bsClear;
  c.Font.Name = "Arial black";
  c.Font.Size = 10;
  c.Font.Color = media::RGBColor(128, 128, 128);
  c.TextOut(0, 0, "ŠŘ");
  expected.ReleaseCanvas();
  int lit_pixels = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) {
      ASSERT_EQ(d.pixel(f().W() - 125 + x, f().H() - 80 + y), expected.Pixel(x, y))
          << x << "," << y;
      lit_pixels += expected.Pixel(x, y) != 0;
    }
  EXPECT_GT(lit_pixels, 20);
}

TEST_F(MenuTest, CursorPatternFollowsTheButton) {
  d.move_to(200, 400);
  d.tick(1);
  EXPECT_EQ(game_driver::mark_of(d.pixel(200, 400)), (Mark{1, 0}));
  d.mouse_down();
  d.tick(1);
  EXPECT_EQ(game_driver::mark_of(d.pixel(200, 400)), (Mark{1, 1}));
}

}  // namespace
