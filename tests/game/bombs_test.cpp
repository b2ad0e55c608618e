// Files beside the game that would cost it unbounded memory or time: data
// files that are pipes or devices, player names of many megabytes in either
// file, a score file of a million lines, and music with a million notes at
// one instant.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "game/persistence.h"
#include "harness/game_driver.h"
#include "platform/files.h"
#include "platform/sequenced_music.h"
#include "shell/settings_file.h"

namespace {

namespace fs = std::filesystem;
using game_driver::GameDriver;
using Lines = std::vector<std::string>;

std::string only_error(GameDriver& d) {
  const auto& boxes = d.backend().system.error_boxes;
  if (boxes.size() != 1) return "<" + std::to_string(boxes.size()) + " error boxes>";
  return boxes[0].text;
}

// A data file that is a pipe (which nobody writes) or a link to an endless
// device: start-up stops at once with a message naming it; it never waits
// and never reads without end.
TEST(Bombs, ADataFileThatIsAPipeOrADeviceStopsStartUpAtOnceWithItsName) {
  for (const char* file : {"zvuk.xxx", "menu.xxx", "menu.mid"}) {
    for (const bool pipe : {true, false}) {
      SCOPED_TRACE(std::string(file) + (pipe ? " as a pipe" : " as /dev/zero"));
      GameDriver d;
      const std::string path = d.game_dir() + "/" + file;
      fs::remove(path);
      if (pipe)
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
      else
        fs::create_symlink("/dev/zero", path);
      const auto t0 = std::chrono::steady_clock::now();
      EXPECT_FALSE(d.create());
      EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
      const std::string text = only_error(d);
      EXPECT_NE(text.find(file), std::string::npos) << text;
      EXPECT_NE(text.find("není to obyčejný soubor"), std::string::npos) << text;
    }
  }
  // The score file as a pipe is no score file: the game starts with an
  // empty table and at close writes a real file in its place.
  GameDriver d;
  ASSERT_EQ(::mkfifo((d.game_dir() + "/data.dat").c_str(), 0600), 0);
  ASSERT_TRUE(d.create());
  EXPECT_TRUE(d.form().score_table.empty());
  d.close_window();
  EXPECT_TRUE(fs::is_regular_file(d.game_dir() + "/data.dat"));
}

// Bytes in use on the heap, including blocks too large for its arenas.
size_t heap_in_use() {
  const auto m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// A name of 10 MB in the settings file and one of 30 MB in the score file:
// the menu and the score list keep and draw a bounded part of each, so the
// frames add nothing to the heap.
TEST(Bombs, HugeNamesInEitherFileKeepTheHeapBounded) {
  game_driver::Options o;
  o.settings = {"800", "600", std::string(10 << 20, 'A'), "/x/zarnik.lnk"};
  GameDriver d(o);
  // A name the shift stores as "AAAA...": no stored byte ends its line.
  std::string long_name(30 << 20, ' ');
  for (size_t i = 0; i < long_name.size(); ++i) long_name[i] = char('A' - (i + 1));
  platform::write_file_atomic(d.game_dir() + "/data.dat",
                              game::encode_score_file({"700", long_name, "500", "EVA"}));
  ASSERT_TRUE(d.create());
  EXPECT_EQ(d.form().game.player_name, std::string(game::kMaxFileNameLength, 'A'));
  d.tick(252);  // the splash, then the menu with the name field
  const size_t before = heap_in_use();
  d.form().game.scores_shown = 1;
  d.tick(3);
  d.form().game.scores_shown = 0;
  d.tick(3);
  const size_t after = heap_in_use();
  EXPECT_LT(after, before + (1 << 20)) << before << " -> " << after;
  d.close_window();
  // The score file's lines are written back whole; the name of the
  // settings file is the bounded one.
  EXPECT_EQ(game::decode_score_file(platform::read_file(d.game_dir() + "/data.dat"))[1], long_name);
  EXPECT_EQ(shell::read_settings_lines(d.settings_path())[2].size(), game::kMaxFileNameLength);
}

// A score file of a million lines: the game starts, the list shows the rows
// that fit the screen, and the end of a game enters the score and keeps the
// best 15 entries in the order the exchange sort gives.
TEST(Bombs, AMillionLineScoreFileEndsAGameWithTheBestFifteen) {
  Lines table;
  uint32_t x = 7;
  for (int i = 0; i < 500000; ++i) {
    x = x * 1103515245u + 12345u;
    table.push_back(std::to_string(x >> 16 & 0x3FF));  // 0..1023, with many ties
    table.push_back("P" + std::to_string(i));
  }
  GameDriver d;
  platform::write_file_atomic(d.game_dir() + "/data.dat", game::encode_score_file(table));
  ASSERT_TRUE(d.create());
  ASSERT_EQ(d.form().score_table.size(), table.size());
  d.tick(250);
  d.form().game.scores_shown = 1;
  d.tick(2);
  d.press(game_driver::kEsc);
  for (int i = 0; i < 4 && d.form().game.start_selected != 1; ++i) d.press(game_driver::kDown);
  d.press(game_driver::kEnter);
  ASSERT_EQ(d.form().game.in_menu, 0);
  d.tick(5);
  d.form().game.score = 1000;
  d.press(game_driver::kEsc);
  ASSERT_EQ(d.form().game.in_menu, 1);

  const Lines& kept = d.form().score_table;
  ASSERT_EQ(kept.size(), 30u);
  std::vector<int64_t> best;
  for (size_t i = 0; i < table.size(); i += 2) best.push_back(game::score_value(table[i]));
  best.push_back(1000);
  std::sort(best.begin(), best.end(), std::greater<>());
  for (size_t k = 0; k < 15; ++k) EXPECT_EQ(game::score_value(kept[2 * k]), best[k]) << k;
  // Equal scores keep the exchange sort's order: the first round carries
  // the first 1023 forward and leaves every other 1023 in file order.
  const auto first_max = std::find(table.begin(), table.end(), std::to_string(best[0]));
  EXPECT_EQ(kept[1], *(first_max + 1));
}

// A synthesiser that takes about as long as a real one for a note.
struct SlowSynth : platform::MidiOutput {
  std::atomic<uint64_t> notes{0};
  void reset() override {}
  void send(const platform::midi::Event& e) override {
    if ((e.status & 0xF0) != 0x90) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(15);
    while (std::chrono::steady_clock::now() < until) {}
    ++notes;
  }
};

// Music of a million notes at one instant (3 MB) in a game and in a menu
// whose piece has zero length, so it starts over in every frame, while a
// synthesiser thread plays it: no frame waits for the synthesiser, and Esc
// is answered at once, in a game and in the menu. Waiting for the synthesiser
// would take the million notes' 15 s; the bound of a second leaves room for a
// sanitizer build on a loaded machine, where the menu's reload alone took
// 400 ms.
TEST(Bombs, AMillionNotesAtOneInstantNeverKeepTheGameWaiting) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  GameDriver d;
  platform::write_file_atomic(d.game_dir() + "/hra.mid", game_driver::crowd_midi(1000000, 2000));
  platform::write_file_atomic(d.game_dir() + "/menu.mid", game_driver::crowd_midi(1000000, 0));
  SlowSynth synth;
  platform::MusicPumpThread pump(d.backend().music, synth, milliseconds(5));
  ASSERT_TRUE(d.create());
  auto timed = [](auto&& step) {
    const auto t0 = Clock::now();
    step();
    return std::chrono::duration_cast<milliseconds>(Clock::now() - t0);
  };
  milliseconds longest_frame{0};
  for (int i = 0; i < 260; ++i) longest_frame = std::max(longest_frame, timed([&] { d.tick(); }));
  for (int i = 0; i < 4 && d.form().game.start_selected != 1; ++i) d.press(game_driver::kDown);
  d.press(game_driver::kEnter);
  ASSERT_EQ(d.form().game.in_menu, 0);
  for (int i = 0; i < 30; ++i) longest_frame = std::max(longest_frame, timed([&] { d.tick(); }));
  EXPECT_LT(longest_frame, milliseconds(1000));

  const auto back_to_menu = timed([&] {
    d.press(game_driver::kEsc);
    d.tick();
  });
  EXPECT_EQ(d.form().game.in_menu, 1);
  EXPECT_LT(back_to_menu, milliseconds(1000));
  d.tick(10);
  const auto closed = timed([&] { d.press(game_driver::kEsc); });
  EXPECT_TRUE(d.terminated());
  EXPECT_LT(closed, milliseconds(1000));
  EXPECT_GT(synth.notes.load(), 0u) << "the synthesiser played";
}

}  // namespace
