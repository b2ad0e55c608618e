#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

TEST(Text, Cp1250RoundTripsCzechLetters) {
  std::string utf8 = "Jméno hráče ř š č ž ů Ř";
  std::string ansi = platform::utf8_to_cp1250(utf8);
  EXPECT_EQ(ansi.size(), 23u);                           // one byte a letter
  EXPECT_EQ(static_cast<unsigned char>(ansi[2]), 0xE9);  // é
  EXPECT_EQ(platform::cp1250_to_utf8(ansi), utf8);
  EXPECT_EQ(platform::utf8_to_cp1250("€ ✓"), "\x80 ?");
  // Broken UTF-8 never reads past the end.
  EXPECT_EQ(platform::utf8_to_utf32("a\xC5"), U"a?");
}
