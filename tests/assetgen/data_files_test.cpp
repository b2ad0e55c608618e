// The generated data files, read back with the game's own loaders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "assets/icon.h"
#include "assets/splash.h"
#include "game/game_files.h"
#include "media/container.h"
#include "media/dib.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "platform/midi.h"
#include "tests/assetgen/smf_reader.h"
#include "tools/assetgen/icon.h"

namespace {

const std::string kRun = ZARNIK_RUN_DIR;
const std::string kIcons = ZARNIK_ICON_DIR;

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Patterns the collection cuts from an item (whole picture when no pattern size).
int pattern_count(media::TPictureCollectionItem& item) {
  int pw = item.Picture.Width(), ph = item.Picture.Height();
  int PW = item.PatternWidth > 0 ? item.PatternWidth : pw;
  int PH = item.PatternHeight > 0 ? item.PatternHeight : ph;
  if (PW == pw && PH == ph) return 1;
  return ((pw + item.SkipWidth) / (PW + item.SkipWidth)) *
         ((ph + item.SkipHeight) / (PH + item.SkipHeight));
}
int pattern_width(media::TPictureCollectionItem& item) {
  return item.PatternWidth > 0 ? item.PatternWidth : item.Picture.Width();
}
int pattern_height(media::TPictureCollectionItem& item) {
  return item.PatternHeight > 0 ? item.PatternHeight : item.Picture.Height();
}

// Pixel of pattern p at (x, y) inside the pattern.
uint32_t pattern_pixel(media::TPictureCollectionItem& item, int p, int x, int y) {
  int cols = item.Picture.Width() / pattern_width(item);
  return item.Picture.PixelRGB((p % cols) * pattern_width(item) + x,
                               (p / cols) * pattern_height(item) + y);
}

// True when a pixel falls into the black colour key on a 5-6-5 surface.
bool keyed(uint32_t rgb) {
  return ((rgb >> 16) & 0xFF) < 8 && ((rgb >> 8) & 0xFF) < 4 && (rgb & 0xFF) < 8;
}

int visible_pixels(media::TPictureCollectionItem& item, int p) {
  int n = 0;
  for (int y = 0; y < pattern_height(item); ++y)
    for (int x = 0; x < pattern_width(item); ++x) n += !keyed(pattern_pixel(item, p, x, y));
  return n;
}

// Role table: index, patterns the game uses, and the pattern size where the
// game draws it unscaled (0 = drawn scaled, any size).
struct Role {
  int index;
  const char* role;
  int patterns;
  int width = 0, height = 0;
};

const Role kGameRoles[] = {
    {0, "ship", 128},
    {1, "star", 1},
    {2, "meteor", 10},
    {3, "shot", 1},
    {4, "missile pip", 1, 6, 8},
    {5, "enemy 0", 10},
    {7, "enemy 1", 10},
    {12, "enemy 2", 10},
    {30, "enemy 3", 10},
    {9, "enemy 0 damaged", 10},
    {8, "enemy 1 damaged", 10},
    {13, "enemy 2 damaged", 10},
    {31, "enemy 3 damaged", 10},
    {10, "enemy 0 wreck", 10},
    {11, "enemy 1 wreck", 10},
    {14, "enemy 2 wreck", 10},
    {32, "enemy 3 wreck", 10},
    {6, "digits", 10, 10, 0},
    {15, "cursor", 2},
    {16, "speed gauge", 6},
    {17, "enemy rocket", 3},
    {18, "free-rocket gauge", 6},
    {21, "planet 1", 10},
    {20, "planet 2", 10},
    {19, "planet 3", 10},
    {22, "planet 4", 10},
    {35, "planet 5", 10},
    {36, "planet 6", 10},
    {37, "planet 7", 10},
    {38, "planet 8", 10},
    {39, "planet 9", 10},
    {23, "shield gauge", 11},
    {24, "particle", 4},
    {25, "score panel", 1, 102, 50},
    {26, "pause banner", 1, 100, 50},
    {27, "won banner", 1, 400, 50},
    {28, "lost banner", 1, 158, 50},
    {29, "bonus shield", 10},
    {33, "bonus missiles", 10},
    {34, "bonus both", 10},
    {40, "missile panel", 1},
};

const Role kMenuRoles[] = {
    {0, "star", 1},
    {1, "cursor", 2},
    {2, "title", 1},
    {3, "start item", 1, 100, 25},
    {4, "quit item", 1, 80, 25},
    {5, "high-score item", 1, 80, 25},
};

void check_roles(media::TPictureCollection& c, const Role* roles, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const Role& r = roles[i];
    SCOPED_TRACE(r.role);
    media::TPictureCollectionItem& item = c.ItemAt(r.index);
    ASSERT_FALSE(item.Picture.Empty());
    EXPECT_TRUE(item.Transparent);
    EXPECT_EQ(item.TransparentColor, 0u);
    EXPECT_EQ(pattern_count(item), r.patterns);
    if (r.width) {
      EXPECT_EQ(pattern_width(item), r.width);
    }
    if (r.height) {
      EXPECT_EQ(pattern_height(item), r.height);
    }
    for (int p = 0; p < r.patterns; ++p) EXPECT_GT(visible_pixels(item, p), 0) << "pattern " << p;
  }
}

// The build names the data files once (ZARNIK_DATA_NAMES, for the copies
// into packages and installations); it must name the game's, and the
// generator must have written each of them.
TEST(GameFiles, TheBuildNamesTheGamesDataFilesAndTheGeneratorWroteThem) {
  std::set<std::string> built, games;
  std::istringstream names(ZARNIK_DATA_NAMES);
  for (std::string name; std::getline(names, name, ',');) built.insert(name);
  for (const char* name : game::kDataFiles) games.insert(name);
  EXPECT_EQ(built, games);
  for (const std::string& name : games)
    EXPECT_TRUE(std::filesystem::is_regular_file(kRun + "/" + name)) << name;
}

TEST(GameFiles, PictureContainersHoldEveryRole) {
  media::TPictureCollection game;
  media::LoadCollectionFile(game, kRun + "/obrazky.xxx");
  EXPECT_EQ(game.Count(), 41);
  check_roles(game, kGameRoles, std::size(kGameRoles));
  EXPECT_LT(std::filesystem::file_size(kRun + "/obrazky.xxx"), 10u * 1024 * 1024);

  media::TPictureCollection menu;
  media::LoadCollectionFile(menu, kRun + "/menu.xxx");
  EXPECT_EQ(menu.Count(), 6);
  check_roles(menu, kMenuRoles, std::size(kMenuRoles));
}

// Panels are drawn over the digits and pips, which must show through.
TEST(GameFiles, PanelsLeaveWindowsForTheReadouts) {
  media::TPictureCollection game;
  media::LoadCollectionFile(game, kRun + "/obrazky.xxx");
  auto& score = game.ItemAt(25);
  // Level digits at rows 2..21, score digits at rows 27..46, from x 52 to 101.
  auto& digits = game.ItemAt(6);
  for (int d = 0; d < 10; ++d)
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 10; ++x) {
        if (keyed(pattern_pixel(digits, d, x, y))) continue;
        for (int k = 0; k < 5; ++k) {
          int px = 52 + k * 10 + x;
          if (px >= 102) continue;
          EXPECT_TRUE(keyed(score.Picture.PixelRGB(px, 2 + y))) << "level digit at " << px;
          EXPECT_TRUE(keyed(score.Picture.PixelRGB(px, 27 + y))) << "score digit at " << px;
        }
      }
  // Missile pips: 6 x 8 at x 26 + 6 (k - 1), rows 12..19 of the missile panel.
  auto& panel = game.ItemAt(40);
  auto& pip = game.ItemAt(4);
  for (int k = 0; k < 20; ++k)
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 6; ++x)
        if (!keyed(pip.Picture.PixelRGB(x, y))) {
          EXPECT_TRUE(keyed(panel.Picture.PixelRGB(26 + 6 * k + x, 12 + y))) << "pip " << k;
        }
}

// The in-game display's pictures where the game draws them (the missile row
// on the screen's last rows: its pips at H - 8, its panel at H - 20) lie
// wholly on the screen at the sizes players pick, and the missile row's box
// closes on the screen's last row, so no part of it is beyond the edge.
TEST(GameFiles, TheInGameDisplayLiesWhollyOnTheScreenAndTheMissileBoxCloses) {
  media::TPictureCollection game;
  media::LoadCollectionFile(game, kRun + "/obrazky.xxx");
  for (auto [w, h] : {std::pair{640, 480}, std::pair{800, 600}, std::pair{1920, 1080}}) {
    struct Placed {
      int picture, x, y;
    };
    const Placed placed[] = {{16, 50, 0},
                             {23, 0, h - 92},
                             {25, w - 102, 0},
                             {4, w / 2 - 29, h - 8},
                             {4, w / 2 + 85, h - 8},
                             {40, w / 2 - 55, h - 20},
                             {18, w - 97, h - 92}};
    for (const Placed& p : placed) {
      auto& item = game.ItemAt(p.picture);
      EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.x + pattern_width(item) <= w &&
                  p.y + pattern_height(item) <= h)
          << "picture " << p.picture << " at " << w << " x " << h;
    }
  }
  // The box's lower edge is its last row (the screen's last), lit all along
  // the window the pips show through.
  auto& panel = game.ItemAt(40);
  ASSERT_EQ(pattern_height(panel), 20);
  for (int x = 26; x < 146; ++x) EXPECT_FALSE(keyed(panel.Picture.PixelRGB(x, 19))) << x;
}

// Sprites drawn scaled or rotated must fit inside their pattern: anything on
// the outermost rows or columns would show as a straight cut.
TEST(GameFiles, SpritesAreNotCutOffAtTheirPatternEdges) {
  media::TPictureCollection game;
  media::LoadCollectionFile(game, kRun + "/obrazky.xxx");
  const int sprites[] = {0,  2,  5,  7,  12, 30, 9,  8,  13, 31, 10, 11, 14, 32,
                         15, 17, 21, 20, 19, 22, 35, 36, 37, 38, 39, 29, 33, 34};
  for (int index : sprites) {
    auto& item = game.ItemAt(index);
    const int w = pattern_width(item), h = pattern_height(item);
    for (int p = 0; p < pattern_count(item); ++p) {
      int edge = 0;
      for (int x = 0; x < w; ++x)
        edge += !keyed(pattern_pixel(item, p, x, 0)) + !keyed(pattern_pixel(item, p, x, h - 1));
      for (int y = 0; y < h; ++y)
        edge += !keyed(pattern_pixel(item, p, 0, y)) + !keyed(pattern_pixel(item, p, w - 1, y));
      EXPECT_EQ(edge, 0) << "picture " << index << " pattern " << p;
    }
  }
  // The splash likewise, inside its 320 x 240 frame (stars may sit anywhere).
  media::TDIB splash;
  auto data = assets::splash_picture_data();
  media::LoadPictureData(splash, data.data(), data.size());
  int bright_edge = 0;
  for (int x = 0; x < 320; ++x)
    for (int y : {0, 239}) bright_edge += (splash.PixelRGB(x, y) & 0xFF) > 200;
  for (int y = 0; y < 240; ++y)
    for (int x : {0, 319}) bright_edge += (splash.PixelRGB(x, y) & 0xFF) > 200;
  EXPECT_LT(bright_edge, 6);
}

// The ship's patterns turn clockwise with the heading: its engines glow
// behind it, so the glow lies opposite the direction of flight.
TEST(GameFiles, ShipPatternsFollowTheHeading) {
  media::TPictureCollection game;
  media::LoadCollectionFile(game, kRun + "/obrazky.xxx");
  auto& ship = game.ItemAt(0);
  auto glow_offset = [&](int p) {
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 100; ++x) {
        uint32_t c = pattern_pixel(ship, p, x, y);
        int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
        if (r > 200 && g > 90 && g < 200 && b < 100) sx += x, sy += y, n += 1;
      }
    EXPECT_GT(n, 0) << "pattern " << p;
    return std::pair<double, double>{sx / n - 50, sy / n - 25};
  };
  // (Flying down, towards the viewer, the hull hides the engines.)
  auto up = glow_offset(0), right = glow_offset(32), left = glow_offset(96);
  EXPECT_GT(up.second, 5);      // heading 0 flies up: glow below
  EXPECT_LT(right.first, -15);  // heading 64 flies right: glow on the left
  EXPECT_GT(left.first, 15);    // heading 192 flies left: glow on the right
}

// Menu items are added onto the screen, so they hold only greys: white text
// on black, which the glow alpha dims evenly.
TEST(GameFiles, MenuItemsAreWhiteOnBlack) {
  media::TPictureCollection menu;
  media::LoadCollectionFile(menu, kRun + "/menu.xxx");
  for (int index : {3, 4, 5}) {
    auto& item = menu.ItemAt(index);
    int white = 0;
    for (int y = 0; y < item.Picture.Height(); ++y)
      for (int x = 0; x < item.Picture.Width(); ++x) {
        uint32_t c = item.Picture.PixelRGB(x, y);
        int r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
        EXPECT_LE(std::max({r, g, b}) - std::min({r, g, b}), 12) << "item " << index;
        white += r > 240;
      }
    EXPECT_GT(white, 40) << "item " << index;
  }
}

// Each gauge pattern shows more than the one below it.
TEST(GameFiles, GaugesGrowWithTheirValue) {
  media::TPictureCollection game;
  media::LoadCollectionFile(game, kRun + "/obrazky.xxx");
  for (int index : {16, 23, 18}) {
    auto& g = game.ItemAt(index);
    auto lit = [&](int p) {
      int n = 0;
      for (int y = 0; y < pattern_height(g); ++y)
        for (int x = 0; x < pattern_width(g); ++x) {
          uint32_t c = pattern_pixel(g, p, x, y);
          int r = c >> 16 & 0xFF, gr = c >> 8 & 0xFF, b = c & 0xFF;
          n += std::max({r, gr, b}) > 140 && std::max({r, gr, b}) - std::min({r, gr, b}) > 60;
        }
      return n;
    };
    for (int p = 1; p < pattern_count(g); ++p)
      EXPECT_GT(lit(p), lit(p - 1)) << "picture " << index << " pattern " << p;
  }
}

TEST(GameFiles, SoundsAreShortCleanPcm) {
  media::TWaveCollection waves;
  media::LoadCollectionFile(waves, kRun + "/zvuk.xxx");
  ASSERT_EQ(waves.Count(), 10);
  for (int i = 0; i < waves.Count(); ++i) {
    SCOPED_TRACE(i);
    const media::TWave& w = waves.ItemAt(i).Wave;
    ASSERT_FALSE(w.Empty());
    EXPECT_EQ(w.FormatTag(), 1);
    EXPECT_EQ(w.BitsPerSample(), 16);
    EXPECT_EQ(w.Channels(), 1);
    const auto& d = w.Data();
    size_t n = d.size() / 2;
    auto at = [&](size_t k) { return int16_t(uint16_t(d[2 * k] | d[2 * k + 1] << 8)); };
    double seconds = double(n) / w.SamplesPerSec();
    EXPECT_LT(seconds, 2.0);
    int peak = 0;
    for (size_t k = 0; k < n; ++k) peak = std::max(peak, std::abs(int(at(k))));
    EXPECT_LE(peak, 29204);  // -1 dBFS
    if (i == 0) {
      EXPECT_EQ(peak, 0);
      continue;
    }
    EXPECT_GT(peak, 8000) << "audible";
    // Starts and stops at rest: no click at either end.
    EXPECT_LT(std::abs(int(at(0))), 300);
    EXPECT_LT(std::abs(int(at(n - 1))), 300);
  }
}

TEST(GameFiles, MusicParsesAndLoopsInOneToTwoMinutes) {
  for (const char* name : {"menu.mid", "hra.mid"}) {
    SCOPED_TRACE(name);
    smf::Song song = smf::parse(read_file(kRun + "/" + name));
    EXPECT_EQ(song.format, 1);
    EXPECT_GE(song.tracks, 2);
    EXPECT_GE(song.seconds, 60.0);
    EXPECT_LE(song.seconds, 120.0);
    EXPECT_EQ(song.hanging_notes, 0) << "every note ends before the piece does";
    EXPECT_LE(song.last_note_off_seconds, song.seconds);
    EXPECT_GT(song.notes, 200);
    // The game's own sequencer reads it to the same length.
    platform::midi::Song played;
    std::string error;
    ASSERT_TRUE(platform::midi::load_file(kRun + "/" + name, played, error)) << error;
    EXPECT_NEAR(played.length_ms / 1000.0, song.seconds, 0.05);
  }
  smf::Song game = smf::parse(read_file(kRun + "/hra.mid"));
  EXPECT_GT(game.notes_on_channel[9], 100) << "drums on channel 10";
}

TEST(GameFiles, SplashIsBuiltIn) {
  std::span<const uint8_t> data = assets::splash_picture_data();
  ASSERT_EQ(data.size(), 230445u);
  EXPECT_EQ(std::string(data.begin(), data.begin() + 5), std::string("\x04TDIB"));
  media::TDIB dib;
  media::LoadPictureData(dib, data.data(), data.size());
  EXPECT_EQ(dib.Width(), 320);
  EXPECT_EQ(dib.Height(), 240);
  EXPECT_EQ(dib.BitCount(), 24);
}

// The generator is deterministic: a fresh run gives the same bytes as the build.
TEST(GameFiles, TwoRunsGiveIdenticalBytes) {
  auto dir =
      std::filesystem::temp_directory_path() / ("zarnik_assets_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string cmd = std::string("'") + ZARNIK_ASSETGEN + "' '" + dir.string() + "' '" +
                    (dir / "splash.cpp").string() + "' '" + (dir / "icons").string() + "' '" +
                    (dir / "icon.cpp").string() + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  for (const char* name : {"obrazky.xxx", "menu.xxx", "zvuk.xxx", "menu.mid", "hra.mid"}) {
    EXPECT_TRUE(read_file(kRun + "/" + name) == read_file((dir / name).string())) << name;
  }
  const std::string png = "/hicolor/48x48/apps/zarnik.png";
  EXPECT_TRUE(read_file(kIcons + png) == read_file((dir / "icons").string() + png));
  std::filesystem::remove_all(dir);
}

// The icon: a round patch on clear ground with the ship in it, drawn for
// every theme size; the window's copy compiled in is the same picture.
TEST(GameFiles, IconIsRoundOnClearGroundInEverySize) {
  for (int size : assets::kIconSizes) {
    SCOPED_TRACE(size);
    const std::vector<uint8_t> file = read_file(kIcons + "/hicolor/" + std::to_string(size) + "x" +
                                                std::to_string(size) + "/apps/zarnik.png");
    ASSERT_GT(file.size(), 33u);
    EXPECT_EQ(std::string(file.begin() + 1, file.begin() + 4), "PNG");
    auto be32 = [&](size_t at) {
      return uint32_t(file[at]) << 24 | uint32_t(file[at + 1]) << 16 | uint32_t(file[at + 2]) << 8 |
             file[at + 3];
    };
    EXPECT_EQ(be32(16), uint32_t(size));
    EXPECT_EQ(be32(20), uint32_t(size));
    EXPECT_EQ(file[25], 6) << "RGBA";

    const std::vector<uint32_t> px = assets::icon_picture(size);
    auto at = [&](float fx, float fy) { return px[size_t(fy * size) * size + size_t(fx * size)]; };
    for (auto [x, y] : {std::pair{0.0f, 0.0f}, {0.97f, 0.0f}, {0.0f, 0.97f}, {0.97f, 0.97f}})
      EXPECT_EQ(at(x, y) >> 24, 0u) << "corner " << x << "," << y;
    EXPECT_EQ(at(0.5f, 0.15f) >> 24, 255u) << "inside the patch";
    // The ship's light hull near the middle.
    int hull = 0;
    for (int y = size / 3; y < size * 2 / 3; ++y)
      for (int x = size / 3; x < size * 2 / 3; ++x) {
        const uint32_t c = px[size_t(y) * size + x];
        const int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
        if (r > 110 && g > 110 && b > 110 && std::abs(r - b) < 60) ++hull;
      }
    EXPECT_GT(hull, size * size / 200) << "no ship in the middle";
  }
  const std::vector<uint32_t> window = assets::icon_picture(assets::kWindowIconSize);
  std::span<const uint8_t> built_in = assets::window_icon_argb();
  ASSERT_EQ(built_in.size(), window.size() * 4);
  for (size_t i = 0; i < window.size(); ++i)
    ASSERT_EQ(uint32_t(built_in[4 * i]) | uint32_t(built_in[4 * i + 1]) << 8 |
                  uint32_t(built_in[4 * i + 2]) << 16 | uint32_t(built_in[4 * i + 3]) << 24,
              window[i])
        << i;
}

}  // namespace
