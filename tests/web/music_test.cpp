// The rendered music follows the piece's time; the kept files are stored
// when they change.
#include "platform/web/music.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "harness/game_driver.h"
#include "platform/files.h"
#include "platform/headless/headless.h"
#include "platform/web/storage.h"

namespace platform::web {
namespace {

namespace fs = std::filesystem;

// Pieces whose samples are their own frame numbers (left) and the piece's
// number (right), so a bus shows what was added.
struct FakePieces : RenderedMusic::Source {
  uint64_t decoded = 1'000'000;
  int piece(std::string_view name) override { return name == "menu" ? 0 : name == "hra" ? 1 : -1; }
  uint64_t frames(int) override { return decoded; }
  void add(int piece, uint64_t from, float* bus, size_t count) override {
    for (size_t i = 0; i < count; ++i) {
      bus[2 * i] += float(from + i);
      bus[2 * i + 1] += float(piece);
    }
  }
};

struct Music : ::testing::Test {
  headless::HeadlessClock clock;
  FakePieces pieces;
  RenderedMusic music{&clock, &pieces, 1000};  // 1000 frames a second: a frame a millisecond
  std::string dir = fs::temp_directory_path() / ("zarnik-web-music-" + std::to_string(::getpid()));
  Music() {
    fs::create_directories(dir);
    write_file_atomic(dir + "/menu.mid", game_driver::tiny_midi());  // 500 ms
    write_file_atomic(dir + "/odd.mid", game_driver::tiny_midi());
  }
  ~Music() override { fs::remove_all(dir); }
  std::vector<float> render(size_t frames) {
    std::vector<float> bus(2 * frames, 0.0f);
    music.render_add(bus.data(), frames);
    return bus;
  }
};

TEST_F(Music, NamesOfPieces) {
  EXPECT_EQ(RenderedMusic::piece_name("C:\\hry\\zarnik\\\\menu.mid"), "menu");
  EXPECT_EQ(RenderedMusic::piece_name("/zarnik//HRA.MID"), "hra");
  EXPECT_EQ(RenderedMusic::piece_name("hra"), "hra");
}

TEST_F(Music, SamplesFollowThePiecesTime) {
  std::string error;
  ASSERT_TRUE(music.open(dir + "//menu.mid", error));
  EXPECT_EQ(music.length_ms(), 500u);
  EXPECT_EQ(render(4)[0], 0.0f);  // not playing: nothing
  music.play(0);
  std::vector<float> bus = render(4);
  EXPECT_EQ(bus[0], 0.0f);
  EXPECT_EQ(bus[6], 3.0f);
  EXPECT_EQ(bus[7], 0.0f);  // the menu's samples
  // Contiguous while the clock keeps up; a sound that started late (or a
  // pause) joins where the piece's time is.
  clock.advance(20);
  EXPECT_EQ(render(1)[0], 4.0f);
  clock.advance(200);
  EXPECT_EQ(render(1)[0], 220.0f);
  // Not decoded that far yet: silence, time goes on.
  pieces.decoded = 100;
  EXPECT_EQ(render(1)[0], 0.0f);
  pieces.decoded = 1'000'000;
  // At its end the piece stops; played again it starts from the beginning.
  clock.advance(400);
  EXPECT_EQ(music.position_ms(), 500u);
  EXPECT_EQ(render(1)[0], 0.0f);
  music.play(0);
  EXPECT_EQ(render(2)[2], 1.0f);
}

TEST_F(Music, APieceWithoutSamplesKeepsTimeSilently) {
  std::string error;
  ASSERT_TRUE(music.open(dir + "/odd.mid", error));
  music.play(0);
  clock.advance(100);
  EXPECT_EQ(music.position_ms(), 100u);
  for (float s : render(8)) EXPECT_EQ(s, 0.0f);
  EXPECT_FALSE(music.open(dir + "/missing.mid", error));
  EXPECT_FALSE(music.is_open());
}

TEST(KeptFiles, ChangesAreStoredOnceEach) {
  static std::map<std::string, std::string> stored;
  static int stores = 0;
  stored.clear();
  const std::string dir =
      fs::temp_directory_path() / ("zarnik-web-kept-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string ini = dir + "/zarnik.ini", scores = dir + "/data.dat";
  write_file_atomic(ini, {'8', '0', '0'});
  KeptFiles kept([](const std::string& path, const std::vector<uint8_t>* bytes) {
    ++stores;
    stored[path] = bytes ? std::string(bytes->begin(), bytes->end()) : "<gone>";
  });
  kept.keep(ini);
  kept.keep(scores);
  kept.keep(ini);
  kept.check();
  EXPECT_EQ(stores, 0);  // as it was put back
  write_file_atomic(ini, {'1', '0', '2', '4'});
  write_file_atomic(scores, {'x'});
  kept.check();
  kept.check();
  EXPECT_EQ(stores, 2);
  EXPECT_EQ(stored[ini], "1024");
  EXPECT_EQ(stored[scores], "x");
  // The same size and a new file: still a change.
  write_file_atomic(scores, {'y'});
  kept.check();
  EXPECT_EQ(stored[scores], "y");
  fs::remove(scores);
  kept.check();
  EXPECT_EQ(stored[scores], "<gone>");
  // Too large to keep: left out, and not tried again until it changes.
  write_file_atomic(scores, std::vector<uint8_t>(KeptFiles::kMaxBytes + 1, 'z'));
  const int before = stores;
  kept.check();
  kept.check();
  EXPECT_EQ(stores, before);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace platform::web
