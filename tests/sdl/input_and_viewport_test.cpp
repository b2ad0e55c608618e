// Key, button and modifier translation, the scaled viewport with its bars,
// and the own message box's word wrapping.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/sdl/keymap.h"
#include "platform/sdl/message_box.h"
#include "platform/sdl/viewport.h"

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

TEST(Viewport, SameAspectFillsTheWindowAndWholeFactorsStaySharp) {
  Viewport v = fit_viewport(800, 600, 800, 600);
  EXPECT_EQ(v.x, 0);
  EXPECT_EQ(v.w, 800);
  EXPECT_TRUE(v.integer_scale);
  v = fit_viewport(800, 600, 1600, 1200);
  EXPECT_EQ(v.w, 1600);
  EXPECT_EQ(v.h, 1200);
  EXPECT_TRUE(v.integer_scale);
  v = fit_viewport(800, 600, 1024, 768);
  EXPECT_EQ(v.w, 1024);
  EXPECT_FALSE(v.integer_scale);
}

TEST(Viewport, WiderWindowGetsBarsLeftAndRight) {
  const Viewport v = fit_viewport(800, 600, 1920, 1080);
  EXPECT_EQ(v.h, 1080);
  EXPECT_EQ(v.w, 1440);
  EXPECT_EQ(v.x, 240);
  EXPECT_EQ(v.y, 0);
  EXPECT_FALSE(v.integer_scale);
}

TEST(Viewport, TallerWindowGetsBarsAboveAndBelow) {
  const Viewport v = fit_viewport(800, 600, 1280, 1024);
  EXPECT_EQ(v.w, 1280);
  EXPECT_EQ(v.h, 960);
  EXPECT_EQ(v.y, 32);
  // A smaller window shrinks the surface, still keeping the aspect.
  const Viewport s = fit_viewport(800, 600, 400, 400);
  EXPECT_EQ(s.w, 400);
  EXPECT_EQ(s.h, 300);
  EXPECT_EQ(s.y, 50);
}

TEST(Viewport, EmptySizesGiveAnEmptyRectangle) {
  EXPECT_EQ(fit_viewport(0, 600, 800, 600).w, 0);
  EXPECT_EQ(fit_viewport(800, 600, 0, 0).w, 0);
}

TEST(Viewport, WindowPositionsMapToSurfacePixelsAndBarsAreOutside) {
  const Viewport v = fit_viewport(800, 600, 1920, 1080);  // x 240..1679, scale 1.8
  int sx = 0, sy = 0;
  window_to_surface(v, 800, 600, 240, 0, sx, sy);
  EXPECT_EQ(sx, 0);
  EXPECT_EQ(sy, 0);
  window_to_surface(v, 800, 600, 1679, 1079, sx, sy);
  EXPECT_EQ(sx, 799);
  EXPECT_EQ(sy, 599);
  window_to_surface(v, 800, 600, 960, 540, sx, sy);
  EXPECT_EQ(sx, 400);
  EXPECT_EQ(sy, 300);
  // On the left bar: negative, not rounded onto the first column.
  window_to_surface(v, 800, 600, 239, 10, sx, sy);
  EXPECT_LT(sx, 0);
  EXPECT_FALSE(inside(v, 239, 10));
  EXPECT_TRUE(inside(v, 240, 10));
  EXPECT_FALSE(inside(v, 1680, 10));
}

int width_of(const std::u32string& s, void*) { return int(s.size()) * 10; }

TEST(MessageBoxText, WrapsAtWordsAndKeepsLineBreaks) {
  auto lines = wrap_text(U"aaa bbb ccc\nd", 75, width_of, nullptr);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], U"aaa bbb");
  EXPECT_EQ(lines[1], U"ccc");
  EXPECT_EQ(lines[2], U"d");
  // A word longer than the limit stands alone instead of looping forever.
  lines = wrap_text(U"x abcdefghijklmnop y", 50, width_of, nullptr);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], U"abcdefghijklmnop");
  EXPECT_EQ(wrap_text(U"", 50, width_of, nullptr).size(), 1u);
}

}  // namespace
}  // namespace platform::sdl
