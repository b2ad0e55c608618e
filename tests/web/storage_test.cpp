// The score table every tab shares: each tab's merges made again on the
// shared copy, one transaction after another, keep every tab's results, and
// a tab's own copy follows the shared one without losing what still waits.
#include "platform/web/storage.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "game/persistence.h"

namespace platform::web {
namespace {

using Bytes = std::vector<uint8_t>;

bool storage_there(const std::string&, int) { return true; }
bool no_storage(const std::string&, int) { return false; }

// The merge the game makes when a game ends: the result entered into the
// table the file holds.
FileMerge result(const std::string& name, uint16_t score) {
  return [name, score](const Bytes* present) {
    std::vector<std::string> table =
        present ? game::decode_score_file(*present) : std::vector<std::string>{};
    game::insert_score(table, name, score);
    return game::encode_score_file(table);
  };
}

// What the page's transaction does: the shared copy read, merged, written,
// and the tab told.
void transaction(SharedCopies& tab, int file, Bytes& shared) {
  uint64_t through = 0;
  shared = tab.merge_into(file, shared, through);
  tab.written(file, through);
}

std::vector<std::string> table(const Bytes& b) { return game::decode_score_file(b); }

TEST(SharedScores, ThreeTabsEndingGamesAtOnceKeepEveryResult) {
  Bytes shared = game::encode_score_file({"500", "OLD"});
  SharedCopies a(storage_there), b(storage_there), c(storage_there);
  const std::string path = "/zarnik/data.dat";
  const int fa = a.share(path), fb = b.share(path), fc = c.share(path);
  // Each tab merged into its own stale copy; then their transactions run
  // one after another under the lock.
  a.merged(path, result("ADAM", 100));
  b.merged(path, result("BARA", 900));
  c.merged(path, result("CYRIL", 300));
  transaction(b, fb, shared);
  transaction(a, fa, shared);
  transaction(c, fc, shared);
  EXPECT_EQ(table(shared),
            (std::vector<std::string>{"900", "BARA", "500", "OLD", "300", "CYRIL", "100", "ADAM"}));
  EXPECT_EQ(a.waiting(fa) + b.waiting(fb) + c.waiting(fc), 0u);
  // A tab that gets the shared copy takes it as it is.
  EXPECT_EQ(a.local_bytes(fa, shared), shared);
}

TEST(SharedScores, AMergeMadeDuringATransactionWaitsForTheNextAndIsMadeOnce) {
  Bytes shared;  // nothing kept yet
  SharedCopies tab(storage_there);
  const int f = tab.share("/zarnik/data.dat");
  tab.merged("/zarnik/data.dat", result("ADAM", 100));
  uint64_t through = 0;
  Bytes out = tab.merge_into(f, shared, through);
  // The next game ends before the first transaction has committed.
  tab.merged("/zarnik/data.dat", result("ADAM", 200));
  shared = out;
  tab.written(f, through);
  EXPECT_EQ(tab.waiting(f), 1u);
  // Meanwhile the tab's own copy is the shared one with the waiting result.
  EXPECT_EQ(table(tab.local_bytes(f, shared)),
            (std::vector<std::string>{"200", "ADAM", "100", "ADAM"}));
  transaction(tab, f, shared);
  transaction(tab, f, shared);  // a transaction with nothing waiting
  EXPECT_EQ(table(shared), (std::vector<std::string>{"200", "ADAM", "100", "ADAM"}));
}

TEST(SharedScores, AFailedTransactionLeavesItsMergesWaitingAndNoStorageKeepsNone) {
  Bytes shared;
  SharedCopies tab(storage_there);
  const int f = tab.share("/zarnik/data.dat");
  tab.merged("/zarnik/data.dat", result("EVA", 50));
  uint64_t through = 0;
  tab.merge_into(f, shared, through);  // aborted: written() never comes
  transaction(tab, f, shared);
  EXPECT_EQ(table(shared), (std::vector<std::string>{"50", "EVA"}));

  SharedCopies alone(no_storage);
  const int g = alone.share("/zarnik/data.dat");
  alone.merged("/zarnik/data.dat", result("EVA", 50));
  EXPECT_EQ(alone.waiting(g), 0u);
  // Numbers the page does not know are refused, not followed.
  EXPECT_EQ(alone.path(7), "");
  EXPECT_EQ(alone.local_bytes(-1, shared), shared);
}

std::vector<std::pair<std::string, Bytes>> g_stored;
void store(const std::string& path, const Bytes* bytes) { g_stored.emplace_back(path, *bytes); }

TEST(SharedScores, APageLeftBeforeItsTransactionWritesItsResultsAtOnce) {
  SharedCopies tab(storage_there);
  const int f = tab.share("/zarnik/data.dat");
  // Another tab's result reached this one before its own game ended.
  tab.seen(f, game::encode_score_file({"900", "BARA"}));
  tab.merged("/zarnik/data.dat", result("ADAM", 100));
  g_stored.clear();
  tab.flush(store);
  ASSERT_EQ(g_stored.size(), 1u);
  EXPECT_EQ(table(g_stored[0].second), (std::vector<std::string>{"900", "BARA", "100", "ADAM"}));
  // The lock's transaction, should it still come, has nothing to add.
  EXPECT_EQ(tab.waiting(f), 0u);
  tab.flush(store);
  EXPECT_EQ(g_stored.size(), 1u);
}

}  // namespace
}  // namespace platform::web
