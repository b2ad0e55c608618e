// Key, button and modifier translation and the message boxes' wrapping.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/sdl/keymap.h"
#include "platform/sdl/message_box.h"
#include "platform/sdl/window.h"

namespace platform::sdl {
namespace {

TEST(VirtualKeys, TheKeysTheGameUsesHaveTheirCodes) {
  EXPECT_EQ(virtual_key(SDLK_BACKSPACE), 8);
  EXPECT_EQ(virtual_key(SDLK_RETURN), 13);
  EXPECT_EQ(virtual_key(SDLK_KP_ENTER), 13);
  EXPECT_EQ(virtual_key(SDLK_LCTRL), 17);
  EXPECT_EQ(virtual_key(SDLK_RCTRL), 17);
  EXPECT_EQ(virtual_key(SDLK_PAUSE), 19);
  EXPECT_EQ(virtual_key(SDLK_ESCAPE), 27);
  EXPECT_EQ(virtual_key(SDLK_SPACE), 32);
  EXPECT_EQ(virtual_key(SDLK_LEFT), 37);
  EXPECT_EQ(virtual_key(SDLK_UP), 38);
  EXPECT_EQ(virtual_key(SDLK_RIGHT), 39);
  EXPECT_EQ(virtual_key(SDLK_DOWN), 40);
}

TEST(VirtualKeys, LettersMapByTheirLabelToCapitals) {
  EXPECT_EQ(virtual_key(SDLK_a), 65);
  EXPECT_EQ(virtual_key(SDLK_y), 89);
  EXPECT_EQ(virtual_key(SDLK_z), 90);
  // A key whose label in the layout is not a Latin letter (the Czech row of
  // accented letters gives such labels) is no letter key.
  EXPECT_EQ(virtual_key(0xEC /* e with caron */), 0);
  EXPECT_EQ(virtual_key(SDLK_CAPSLOCK + 1000), 0);
}

TEST(MouseButtons, LeftRightMiddleOthersDropped) {
  EXPECT_EQ(mouse_button(SDL_BUTTON_LEFT), 0);
  EXPECT_EQ(mouse_button(SDL_BUTTON_RIGHT), 1);
  EXPECT_EQ(mouse_button(SDL_BUTTON_MIDDLE), 2);
  EXPECT_EQ(mouse_button(SDL_BUTTON_X1), -1);
}

TEST(Modifiers, EitherSideCountsAndBitsCombine) {
  EXPECT_EQ(shift_state(KMOD_NONE), 0u);
  EXPECT_EQ(shift_state(KMOD_RSHIFT), 1u);
  EXPECT_EQ(shift_state(KMOD_LALT), 2u);
  EXPECT_EQ(shift_state(KMOD_RCTRL), 4u);
  EXPECT_EQ(shift_state(KMOD_LSHIFT | KMOD_LCTRL | KMOD_RALT), 7u);
  EXPECT_EQ(shift_state(KMOD_NUM | KMOD_CAPS), 0u);
}

int width_of(const std::u32string& s, void*) { return int(s.size()) * 10; }

TEST(MessageBoxText, WrapsAtWordsAndKeepsLineBreaks) {
  auto lines = wrap_text(U"aaa bbb ccc\nd", 75, width_of, nullptr);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], U"aaa bbb");
  EXPECT_EQ(lines[1], U"ccc");
  EXPECT_EQ(lines[2], U"d");
  EXPECT_EQ(wrap_text(U"", 50, width_of, nullptr).size(), 1u);
}

TEST(MessageBoxText, AWordWiderThanALineIsCutIntoPiecesThatFit) {
  auto lines = wrap_text(U"x abcdefghijklmnop y", 50, width_of, nullptr);
  const std::vector<std::u32string> want = {U"x", U"abcde", U"fghij", U"klmno", U"p y"};
  EXPECT_EQ(lines, want);
  // A path breaks after a separator where one lies in the second half of
  // the piece, and nothing of it is lost.
  lines = wrap_text(U"Soubor /aaaa/bbbbbbb/cc chybí", 100, width_of, nullptr);
  const std::vector<std::u32string> path_lines = {U"Soubor", U"/aaaa/", U"bbbbbbb/cc", U"chybí"};
  EXPECT_EQ(lines, path_lines);
  const std::u32string path = U"/home/uzivatel/hry/zarnik-1.0/data/obrazky.xxx";
  std::u32string joined;
  for (const auto& l : wrap_text(path, 120, width_of, nullptr)) {
    EXPECT_LE(width_of(l, nullptr), 120) << std::string(l.begin(), l.end());
    joined += l;
  }
  EXPECT_EQ(joined, path);
  // Even a single character wider than the line ends the loop.
  EXPECT_EQ(wrap_text(U"abc", 5, width_of, nullptr).size(), 3u);
}

TEST(MessageBoxLayout, BothBoxesFitTheScreen) {
  MessageBoxContent box;
  box.buttons = {"Ano", "Ne"};
  std::string long_path = "/tmp";
  for (int i = 0; i < 12; ++i) long_path += "/slozka-s-dlouhym-jmenem-" + std::to_string(i);
  box.text = long_path + "/zvuk.xxx not loaded";
  for (auto [sw, sh] : {std::pair{640, 480}, {800, 600}, {1920, 1080}}) {
    SCOPED_TRACE(sw);
    const BoxLayout l = layout_box(box, sw, sh, 18, width_of, nullptr);
    EXPECT_LE(l.width, sw);
    EXPECT_LE(l.width, 600) << "lines stay readable on a wide screen";
    EXPECT_LE(l.height, sh);
    for (const auto& line : l.lines) EXPECT_LE(width_of(line, nullptr) + 40, l.width);
    // SDL's box gets the same lines, in UTF-8.
    const std::string text = wrapped_text(l);
    EXPECT_EQ(size_t(std::count(text.begin(), text.end(), '\n')), l.lines.size() - 1);
  }
  // A small screen and an unknown one.
  EXPECT_LE(layout_box(box, 300, 400, 18, width_of, nullptr).width, 300);
  EXPECT_LE(layout_box(box, 0, 0, 18, width_of, nullptr).width, 600);

  // More lines than the screen holds: cut, with an ellipsis at the end.
  box.text.clear();
  for (int i = 0; i < 200; ++i) box.text += "řádek " + std::to_string(i) + "\n";
  const BoxLayout tall = layout_box(box, 800, 600, 18, width_of, nullptr);
  EXPECT_LE(tall.height, 600);
  ASSERT_FALSE(tall.lines.empty());
  EXPECT_EQ(tall.lines.back().back(), U'…');
  EXPECT_EQ(tall.lines.front(), U"řádek 0");
  EXPECT_NE(wrapped_text(tall).find("řádek 0\nřádek 1\n"), std::string::npos);
}

}  // namespace
}  // namespace platform::sdl
