#include "game/persistence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

Lines table_of(std::initializer_list<std::pair<int, const char*>> entries) {
  Lines t;
  for (auto& [score, name] : entries) {
    t.push_back(std::to_string(score));
    t.push_back(name);
  }
  return t;
}

TEST(SettingsLines, RepairFillsMissingAndBadValuesKeepsTheRest) {
  Lines empty;
  game::repair_settings_lines(empty);
  EXPECT_EQ(empty, (Lines{"800", "600", ""}));

  Lines one{"1024"};
  game::repair_settings_lines(one);
  EXPECT_EQ(one, (Lines{"1024", "600", ""}));

  Lines bad{"wide", "-5", "PETR", "/x/zarnik.lnk", "/x/zarnik", "0"};
  game::repair_settings_lines(bad);
  EXPECT_EQ(bad, (Lines{"800", "600", "PETR", "/x/zarnik.lnk", "/x/zarnik", "0"}));

  for (const char* s : {"0", "", " 800", "800 ", "12x", "+800", "99999999999"})
    EXPECT_FALSE(game::is_positive_decimal(s)) << s;
  for (const char* s : {"1", "800", "0640"}) EXPECT_TRUE(game::is_positive_decimal(s)) << s;
}

TEST(SettingsLines, UpdateWritesFirstFourAndKeepsInstallerLines) {
  Lines three{"800", "600", ""};
  game::update_settings_lines(three, 1024, 768, "JAN", "/g/zarnik.lnk");
  EXPECT_EQ(three, (Lines{"1024", "768", "JAN", "/g/zarnik.lnk"}));

  Lines installed{"800", "600", "", "/old/zarnik.lnk", "/old/a", "/old/b"};
  game::update_settings_lines(installed, 800, 600, "X", "/new/zarnik.lnk");
  EXPECT_EQ(installed, (Lines{"800", "600", "X", "/new/zarnik.lnk", "/old/a", "/old/b"}));
}

// The game may be started in a folder whose name holds a line break; such a
// shortcut path cannot be a line, so the file keeps its line structure.
TEST(SettingsLines, AShortcutPathWithALineBreakNeverBecomesALine) {
  Lines installed{"800", "600", "", "/d/zarnik.lnk", "/d/zarnik.exe"};
  game::update_settings_lines(installed, 1024, 768, "EVA", "/home/x\n/etc/passwd\n/zarnik.lnk");
  EXPECT_EQ(installed, (Lines{"1024", "768", "EVA", "/d/zarnik.lnk", "/d/zarnik.exe"}));
  Lines three{"800", "600", ""};
  game::update_settings_lines(three, 800, 600, "", "/a\rb/zarnik.lnk");
  EXPECT_EQ(three, (Lines{"800", "600", "", ""}));
}

TEST(SettingsLines, ANameReadFromTheFileIsKeptUpToItsBound) {
  Lines l{"800", "600", std::string(1000, 'a') + "b"};
  game::repair_settings_lines(l);
  EXPECT_EQ(l[2], std::string(game::kMaxFileNameLength, 'a'));
  Lines hand{"800", "600", "jan novák s dlouhým jménem"};  // any case, over 10 characters
  game::repair_settings_lines(hand);
  EXPECT_EQ(hand[2], "jan novák s dlouhým jménem");
}

TEST(ScoreFile, ShiftIsPerPositionAndRoundTripsEveryByte) {
  EXPECT_EQ(game::shift_line("abc"), "bdf");
  EXPECT_EQ(game::unshift_line("bdf"), "abc");
  // The shift wraps at 256.
  EXPECT_EQ(game::shift_line("\xff\xff"), std::string("\x00\x01", 2));

  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(game::unshift_line(game::shift_line(all)), all);
}

TEST(ScoreFile, ExactBytesOfATable) {
  Lines table{"1250", "PETR", "0", ""};
  auto encoded = game::encode_score_file(table);
  // "1250" -> '1'+1 '2'+2 '5'+3 '0'+4 ; "PETR" -> 'P'+1 'E'+2 'T'+3 'R'+4.
  EXPECT_EQ(encoded, bytes("2484\r\nQGWV\r\n1\r\n\r\n"));
  EXPECT_EQ(game::decode_score_file(encoded), table);
}

TEST(ScoreFile, ReadingAcceptsAnyLineEndAndKeepsAZeroByteInItsLine) {
  EXPECT_EQ(game::decode_score_file(bytes("bdf\nbdf\rbdf\r\n")), (Lines{"abc", "abc", "abc"}));
  // 'b'-1, 0-2 (254), 'd'-3, 'f'-4: the damaged line, and the next one read.
  EXPECT_EQ(game::decode_score_file(bytes(std::string("b\0df\r\nbdf\r\n", 11))),
            (Lines{std::string("a\xFE"
                               "ab"),
                   "abc"}));
  EXPECT_TRUE(game::decode_score_file({}).empty());
}

// A zero byte in a full table's file (in a score and in a name) loses no
// entry: the file reads back whole, a damaged entry stays as it is (a score
// that is no number ranks last), and the next save writes every other
// entry back unchanged.
TEST(ScoreFile, AZeroByteDamagesOneEntryAndNeverTheRest) {
  Lines table;
  for (int k = 0; k < 15; ++k) {
    table.push_back(std::to_string(1500 - 100 * k));
    table.push_back("PILOT" + std::string(1, char('A' + k)));
  }
  std::vector<uint8_t> file = game::encode_score_file(table);
  // The sixth entry's score and the ninth entry's name each get a zero.
  auto line_start = [&](size_t line) {
    size_t at = 0;
    for (size_t l = 0; l < line; ++l)
      at = size_t(std::find(file.begin() + ptrdiff_t(at), file.end(), '\n') - file.begin()) + 1;
    return at;
  };
  file[line_start(10) + 1] = 0;
  file[line_start(17) + 2] = 0;
  Lines read = game::decode_score_file(file);
  ASSERT_EQ(read.size(), 30u);
  for (size_t i = 0; i < 30; ++i) {
    if (i != 10 && i != 17) {
      EXPECT_EQ(read[i], table[i]) << i;
    }
  }
  EXPECT_EQ(game::encode_score_file(read), file) << "written back as it was read";

  const Lines damaged = read;
  game::insert_score(read, "NEW", 1234);
  ASSERT_EQ(read.size(), 30u);
  // The damaged score ranks as 0 and is the one dropped; the damaged name
  // keeps its entry.
  std::vector<std::string> names;
  for (size_t i = 1; i < read.size(); i += 2) names.push_back(read[i]);
  EXPECT_EQ(std::count(names.begin(), names.end(), "PILOTF"), 0);
  EXPECT_EQ(std::count(names.begin(), names.end(), "NEW"), 1);
  EXPECT_EQ(read[17], damaged[17]) << "the ninth entry (NEW before it, one gone) as it was";
}

TEST(ScoreTable, EqualScoresAndTheExchangePattern) {
  // The new 7 moves past both 5s, which swaps their order.
  Lines t = table_of({{10, "A"}, {5, "FIRST"}, {5, "SECOND"}, {1, "Z"}});
  game::insert_score(t, "NEW", 7);
  EXPECT_EQ(t, table_of({{10, "A"}, {7, "NEW"}, {5, "SECOND"}, {5, "FIRST"}, {1, "Z"}}));

  // Equal to the best: placed second.
  Lines u = table_of({{300, "A"}, {200, "B"}});
  game::insert_score(u, "C", 300);
  EXPECT_EQ(u, table_of({{300, "A"}, {300, "C"}, {200, "B"}}));

  // Zero with an empty name is an entry.
  Lines v;
  game::insert_score(v, "", 0);
  EXPECT_EQ(v, (Lines{"0", ""}));
}

TEST(ScoreTable, KeepsBestFifteenAndDropsAnOddLine) {
  Lines t;
  for (int i = 1; i <= 15; ++i) {
    t.push_back(std::to_string(i * 100));
    t.push_back("P" + std::to_string(i));
  }
  game::insert_score(t, "tail", 150);
  ASSERT_EQ(t.size(), 30u);
  // The stored table was ascending: the exchange sort orders it best first.
  EXPECT_EQ(t.front(), "1500");
  EXPECT_EQ(t[26], "200");
  EXPECT_EQ(t[28], "150");  // 100 dropped
  EXPECT_EQ(t[29], "tail");

  Lines low = table_of({{900, "A"}});
  for (int i = 0; i < 14; ++i) game::insert_score(low, "B", 500);
  Lines before = low;
  game::insert_score(low, "LOW", 1);
  EXPECT_EQ(low, before);  // lower than all 15: inserted and dropped at once

  Lines odd{"10", "A", "stray"};
  game::insert_score(odd, "B", 5);
  EXPECT_EQ(odd, table_of({{10, "A"}, {5, "B"}}));
}

// The whole exchange sort, as the table was first sorted: every round of
// the outer loop, then the best 15 kept. The reference for insert_score.
Lines insert_with_the_whole_sort(const Lines& table, const std::string& name, uint16_t score) {
  std::vector<std::string> s, n;
  for (size_t k = 0; k < table.size() / 2; ++k) {
    s.push_back(table[2 * k]);
    n.push_back(table[2 * k + 1]);
  }
  s.push_back(std::to_string(score));
  n.push_back(game::score_safe_name(name));
  for (size_t i = 0; i < s.size(); ++i)
    for (size_t j = i + 1; j < s.size(); ++j)
      if (game::score_value(s[i]) < game::score_value(s[j])) {
        std::swap(s[i], s[j]);
        std::swap(n[i], n[j]);
      }
  Lines out;
  for (size_t k = 0; k < s.size() && k < size_t(game::kMaxScoreEntries); ++k) {
    out.push_back(s[k]);
    out.push_back(n[k]);
  }
  return out;
}

// Random tables of every size up to a few hundred entries, in any order,
// with few distinct scores (so most are tied), odd lines and scores that are
// not numbers: the 15 kept entries, and the order of equal scores among
// them, are exactly those of the whole sort.
TEST(ScoreTable, TheFirstFifteenRoundsGiveExactlyWhatTheWholeSortGives) {
  std::mt19937 rng(2024);
  for (int round = 0; round < 3000; ++round) {
    const size_t entries = rng() % (round < 2000 ? 40 : 400);
    const uint32_t distinct = 1 + rng() % 6;
    Lines table;
    for (size_t k = 0; k < entries; ++k) {
      const uint32_t pick = rng() % 50;
      table.push_back(pick == 0 ? "x" : std::to_string(100 * (rng() % distinct)));
      table.push_back("N" + std::to_string(k));  // names tell equal scores apart
    }
    if (rng() % 4 == 0) table.push_back("stray");
    const uint16_t score = uint16_t(100 * (rng() % (distinct + 1)));
    Lines fast = table;
    game::insert_score(fast, "NEW", score);
    ASSERT_EQ(fast, insert_with_the_whole_sort(table, "NEW", score))
        << "round " << round << ", " << entries << " entries";
  }
}

TEST(ScoreTable, AStoredScoreThatIsNotANumberRanksAsZero) {
  Lines t{"abc", "BROKEN", "40", "OK"};
  game::insert_score(t, "NEW", 20);
  EXPECT_EQ(t, (Lines{"40", "OK", "20", "NEW", "abc", "BROKEN"}));
  EXPECT_EQ(game::score_value("12x"), 0);
  EXPECT_EQ(game::score_value(""), 0);
  EXPECT_EQ(game::score_value("65535"), 65535);
}

TEST(ScoreTable, NamesThatWouldBreakTheFileLinesAreMadeSafe) {
  // Position 3: code 10 - 3 = 7 would be stored as LF; position 1: 12 -> CR;
  // position 2: 254 -> 0.
  std::string name = std::string("\x0c") + "\xfe" + "\x07" + "OK";
  std::string safe = game::score_safe_name(name);
  EXPECT_EQ(safe, "???OK");
  Lines t;
  game::insert_score(t, name, 50);
  auto decoded = game::decode_score_file(game::encode_score_file(t));
  EXPECT_EQ(decoded, (Lines{"50", "???OK"}));
  // An ordinary typed or hand-written name is left alone.
  EXPECT_EQ(game::score_safe_name("Jiří Novák"), "Jiří Novák");
  // Where '?' itself would shift to zero (position 193), a space is used.
  std::string long_name(193, 'A');
  long_name[192] = static_cast<char>(256 - 193);
  EXPECT_EQ(game::score_safe_name(long_name)[192], ' ');
}

}  // namespace
