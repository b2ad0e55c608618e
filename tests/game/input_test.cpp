// Keyboard and mouse in the menu and in play.
#include <gtest/gtest.h>

#include "harness/game_driver.h"
#include "platform/file_names.h"
#include "platform/files.h"

namespace {

using game_driver::GameDriver;
namespace vk = game_driver;

// A driver whose game is up with sound on, past the splash, in the menu.
class InputTest : public ::testing::Test {
 protected:
  static game_driver::Options sound_on() {
    game_driver::Options o;
    o.with_sound = true;
    return o;
  }
  void SetUp() override {
    ASSERT_TRUE(d.create());
    d.set_cursor(-500, -500);
    d.tick(250);
  }
  game::TForm1& f() { return d.form(); }
  game::Thra& g() { return d.form().game; }
  // Plays of the menu's sound so far: no copy finishes while no time is
  // mixed, so every play leaves one more copy of wave 9.
  size_t menu_sounds() { return f().DXWaveList1.Items.ItemAt(9).DuplicateCount(); }
  int highlight() {
    return g().start_selected * 1 + g().scores_selected * 2 + g().end_selected * 4;
  }
  void to_play() {
    while (g().start_selected == 0) d.press(vk::kDown);
    d.press(vk::kEnter);
    ASSERT_EQ(g().in_menu, 0);
  }

  GameDriver d{sound_on()};
};

TEST_F(InputTest, UpAndDownCycleTheHighlightFromEveryState) {
  // none -> start -> high scores -> quit -> none, and back the other way.
  const int down_from[] = {1, 2, 4, 0};  // for none, start, scores, quit
  const int states[] = {0, 1, 2, 4};
  for (int i = 0; i < 4; ++i) {
    for (bool editing : {false, true}) {
      for (bool list : {false, true}) {
        g().start_selected = states[i] == 1;
        g().scores_selected = states[i] == 2;
        g().end_selected = states[i] == 4;
        g().name_editing = editing;
        g().scores_shown = list;
        d.press(vk::kDown);
        EXPECT_EQ(highlight(), down_from[i]) << i << editing << list;
        d.press(vk::kUp);
        EXPECT_EQ(highlight(), states[i]) << i << editing << list;
      }
    }
  }
  g().name_editing = 0;
  g().scores_shown = 0;
}

TEST_F(InputTest, EnterAndEscWithNameEditingAndTheList) {
  // Enter while editing only ends the editing, even on the start item.
  g().start_selected = 1;
  g().name_editing = 1;
  d.press(vk::kEnter);
  EXPECT_EQ(g().in_menu, 1);
  EXPECT_EQ(g().name_editing, 0);
  EXPECT_EQ(menu_sounds(), 1u);

  // Esc while editing ends it and does not close.
  g().start_selected = 0;
  g().name_editing = 1;
  d.press(vk::kEsc);
  EXPECT_FALSE(f().Closed());
  EXPECT_EQ(g().name_editing, 0);

  // Enter on the high scores shows the list; Esc hides it without closing.
  g().scores_selected = 1;
  d.press(vk::kEnter);
  EXPECT_EQ(g().scores_shown, 1);
  d.press(vk::kEsc);
  EXPECT_EQ(g().scores_shown, 0);
  EXPECT_FALSE(f().Closed());

  // With the list shown the keyboard highlight still acts: Up from high
  // scores to start, Enter starts a game.
  d.press(vk::kEnter);
  ASSERT_EQ(g().scores_shown, 1);
  d.press(vk::kUp);
  d.press(vk::kEnter);
  EXPECT_EQ(g().in_menu, 0);
}

TEST_F(InputTest, EnterOnQuitAndEscInThePlainMenuClose) {
  g().end_selected = 1;
  g().name_editing = 1;
  d.press(vk::kEnter);  // only ends the editing
  EXPECT_FALSE(f().Closed());
  d.press(vk::kEnter);
  EXPECT_TRUE(f().Closed());
  EXPECT_TRUE(d.terminated());
}

TEST_F(InputTest, NameEditingAcceptsTenCapitalsAndSpaceOnly) {
  d.set_cursor(f().W() - 10, f().H() - 72);
  d.click();
  ASSERT_EQ(g().name_editing, 1);
  EXPECT_EQ(menu_sounds(), 1u);  // the click on the field
  g().player_name.clear();

  d.press(vk::kBackspace);  // on an empty name: nothing, silently
  EXPECT_EQ(g().player_name, "");
  EXPECT_EQ(menu_sounds(), 1u);

  d.type("JAN NOVAK");
  d.press('1');  // not a letter
  d.press(vk::kLeft);
  EXPECT_EQ(g().player_name, "JAN NOVAK");
  EXPECT_EQ(menu_sounds(), 10u);
  d.type("XY");  // the 10th is taken, the 11th is silent
  EXPECT_EQ(g().player_name, "JAN NOVAKX");
  EXPECT_EQ(menu_sounds(), 11u);
  d.press(vk::kBackspace);
  EXPECT_EQ(g().player_name, "JAN NOVAK");
  EXPECT_EQ(menu_sounds(), 12u);

  // Typing does nothing once editing has ended.
  d.press(vk::kEnter);
  EXPECT_EQ(menu_sounds(), 13u);
  d.type("Q");
  EXPECT_EQ(g().player_name, "JAN NOVAK");
  EXPECT_EQ(menu_sounds(), 13u);
}

TEST_F(InputTest, DoubleClickOnTheNameEmptiesItAndKeepsEditing) {
  g().player_name = "OLD";
  d.set_cursor(f().W() - 126, f().H() - 72 + 13);
  d.double_click();
  EXPECT_EQ(g().player_name, "");
  EXPECT_EQ(g().name_editing, 1);
  // Outside its narrower zone a double click only ends the editing (the
  // second press then starts it again, as any press on the field does).
  g().player_name = "OLD";
  d.set_cursor(f().W() - 127, f().H() - 72);
  f().DXDraw1DblClick();
  EXPECT_EQ(g().player_name, "OLD");
  EXPECT_EQ(g().name_editing, 0);
}

TEST_F(InputTest, MenuZonesAreStrictAtTheirEdges) {
  const int W = f().W(), H = f().H();
  struct Probe {
    int x, y;
    int highlight;
  };
  const Probe probes[] = {
      {W / 2, H / 2 - 75, 1},           {W / 2 + 39, H / 2 - 75 + 12, 1},
      {W / 2 + 40, H / 2 - 75, 0},      {W / 2 - 40, H / 2 - 75, 0},
      {W / 2, H / 2 - 75 - 13, 0},      {W / 2, H / 2 - 25, 2},
      {W / 2 - 39, H / 2 - 25 - 12, 2}, {W / 2, H / 2 - 25 + 13, 0},
      {W / 2, H / 2 + 75, 4},           {W / 2, H / 2 + 75 + 13, 0},
  };
  for (const auto& p : probes) {
    d.move_to(p.x, p.y);
    EXPECT_EQ(highlight(), p.highlight) << p.x << "," << p.y;
    EXPECT_EQ(g().link_hover, 0);
  }
  // The web-address line: 60 < x < 190, |y - (H - 18)| < 8.
  const Probe links[] = {{61, H - 18, 1},  {189, H - 11, 1}, {60, H - 18, 0},
                         {190, H - 18, 0}, {100, H - 26, 0}, {100, H - 25, 1}};
  for (const auto& p : links) {
    d.move_to(p.x, p.y);
    EXPECT_EQ(g().link_hover, p.highlight) << p.x << "," << p.y;
  }
  // While the list is shown only the link reacts.
  g().scores_shown = 1;
  d.move_to(W / 2, H / 2 - 75);
  EXPECT_EQ(highlight(), 0);
  d.move_to(100, H - 18);
  EXPECT_EQ(g().link_hover, 1);
}

TEST_F(InputTest, NameFieldZoneForAPress) {
  const int W = f().W(), H = f().H();
  for (auto [x, y, editing] :
       {std::tuple{W - 199, H - 72, 1}, std::tuple{W - 200, H - 72, 0},
        std::tuple{W - 10, H - 72 - 13, 1}, std::tuple{W - 10, H - 72 + 14, 0}}) {
    d.set_cursor(x, y);
    d.click();
    EXPECT_EQ(g().name_editing, editing) << x << "," << y;
  }
}

TEST_F(InputTest, ClickOnTheLinkOpensTheHelpPageBesideTheGameAndCloses) {
  d.move_to(100, f().H() - 18);
  d.click();
  ASSERT_EQ(d.backend().system.shell_opens.size(), 1u);
  EXPECT_EQ(d.backend().system.shell_opens[0],
            platform::document_address(f().game_dir + "napoveda.html"));
  EXPECT_TRUE(d.backend().system.error_boxes.empty());
  EXPECT_TRUE(f().Closed());
}

TEST(InputLink, AFailedOpenShowsTheMessageAndStillCloses) {
  GameDriver d;
  ASSERT_TRUE(d.create());
  d.backend().system.shell_open_result = false;
  d.move_to(100, d.form().H() - 18);
  d.click();
  ASSERT_EQ(d.backend().system.error_boxes.size(), 1u);
  EXPECT_EQ(d.backend().system.error_boxes[0].text, "Chyba ve spojení");
  EXPECT_TRUE(d.form().Closed());
}

TEST_F(InputTest, MousePressesActivateTheItems) {
  // High scores, then any press hides the list again.
  d.move_to(f().W() / 2, f().H() / 2 - 25);
  d.click();
  EXPECT_EQ(g().scores_shown, 1);
  d.move_to(5, 5);
  d.click();
  EXPECT_EQ(g().scores_shown, 0);
  // The cursor's pattern follows the button.
  d.mouse_down();
  EXPECT_EQ(f().cursor.pressed, 1);
  d.mouse_up();
  EXPECT_EQ(f().cursor.pressed, 0);
  // Start.
  d.move_to(f().W() / 2, f().H() / 2 - 75);
  d.click();
  EXPECT_EQ(g().in_menu, 0);
}

TEST_F(InputTest, PlayKeysSetFlagsUntilReleasedAndStopWhilePaused) {
  to_play();
  d.key_down(vk::kSpace);
  d.key_down(vk::kCtrl);
  d.key_down(vk::kLeft);
  d.key_down(vk::kRight);
  EXPECT_EQ(f().key_fire + f().key_missile + f().key_left + f().key_right, 4);
  d.key_up(vk::kSpace);
  d.key_up(vk::kCtrl);
  d.key_up(vk::kLeft);
  d.key_up(vk::kRight);
  EXPECT_EQ(f().key_fire + f().key_missile + f().key_left + f().key_right, 0);

  // Thrust: auto-repeated Up climbs to 6 and stays; Down stops at 1.
  for (int i = 0; i < 8; ++i) d.key_down(vk::kUp);
  EXPECT_EQ(f().ship.speed, 6);
  for (int i = 0; i < 8; ++i) d.key_down(vk::kDown);
  EXPECT_EQ(f().ship.speed, 1);
  const double scale = f().ship.scale;
  d.press('A');
  EXPECT_DOUBLE_EQ(f().ship.scale, scale + 0.1);
  d.press('Y');
  EXPECT_NEAR(f().ship.scale, scale, 1e-12);

  d.press(vk::kPause);
  EXPECT_EQ(g().paused, 1);
  d.key_down(vk::kSpace);
  d.key_down(vk::kUp);
  EXPECT_EQ(f().key_fire, 0);
  EXPECT_EQ(f().ship.speed, 1);
  // The wheel works while paused.
  d.wheel(1);
  EXPECT_EQ(f().ship.speed, 2);
  d.wheel(-1);
  d.wheel(-1);
  EXPECT_EQ(f().ship.speed, 1);
  d.press(vk::kPause);
  EXPECT_EQ(g().paused, 0);
}

TEST_F(InputTest, AKeyHeldAtTheEndOfAGameKeepsItsFlag) {
  to_play();
  d.key_down(vk::kSpace);
  d.press(vk::kEsc);
  ASSERT_EQ(g().in_menu, 1);
  to_play();
  EXPECT_EQ(f().key_fire, 1);
  d.key_up(vk::kSpace);
  EXPECT_EQ(f().key_fire, 0);
}

TEST_F(InputTest, EscWhilePausedEndsTheGameAndEntersTheScore) {
  g().player_name = "PAVEL";
  to_play();
  d.tick(5);
  g().score = 450;
  d.press(vk::kPause);
  d.press(vk::kEsc);
  EXPECT_EQ(g().in_menu, 1);
  EXPECT_EQ(f().score_table, (std::vector<std::string>{"450", "PAVEL"}));
  EXPECT_EQ(d.backend().music.path(),
            d.game_dir() + platform::kPathSeparator + platform::kPathSeparator + "menu.mid");
}

TEST_F(InputTest, MouseInPlayLostWonAndRunning) {
  to_play();
  d.mouse_down(0);
  d.mouse_down(1);
  EXPECT_EQ(f().mouse_left, 1);
  EXPECT_EQ(f().mouse_right, 1);
  d.mouse_up(0);
  EXPECT_EQ(f().mouse_left, 0);
  EXPECT_EQ(f().mouse_right, 1);
  d.mouse_up(1);
  d.mouse_down(2);  // the middle button sets neither flag
  EXPECT_EQ(f().mouse_left + f().mouse_right, 0);
  EXPECT_EQ(f().cursor.pressed, 1);
  d.mouse_up(2);

  // A won game is not left by a click.
  g().game_won = 1;
  f().ship.alive = 0;
  d.click();
  EXPECT_EQ(g().in_menu, 0);
  EXPECT_EQ(f().mouse_left, 0);  // set by the press, cleared by the release

  // A lost game is.
  g().game_won = 0;
  g().game_lost = 1;
  g().score = 100;
  d.mouse_down();
  EXPECT_EQ(g().in_menu, 1);
  EXPECT_EQ(f().score_table.size(), 2u);
  EXPECT_EQ(f().mouse_left, 0);
}

TEST_F(InputTest, MouseMoveInPlayTurnsTheShipAndShowsTheCursor) {
  to_play();
  f().cursor.cursor_fade = 0;
  d.move_to(f().ship.x + 100, f().ship.y);
  EXPECT_EQ(f().ship.heading, 64);
  EXPECT_EQ(f().cursor.cursor_fade, 255);
  d.press(vk::kPause);
  d.move_to(f().ship.x, f().ship.y + 50);
  EXPECT_EQ(f().ship.heading, 128);
}

TEST_F(InputTest, WheelInTheMenuChangesTheShipsSpeed) {
  f().ship.speed = 3;
  d.wheel(1);
  EXPECT_EQ(f().ship.speed, 4);
  d.wheel(-1);
  d.wheel(-1);
  EXPECT_EQ(f().ship.speed, 2);
}

TEST_F(InputTest, AClickBesideTheDrawingSurfaceCloses) {
  platform::Event inside;
  inside.type = platform::EventType::Click;
  inside.x = 10;
  inside.y = 10;
  d.send(inside);
  EXPECT_FALSE(f().Closed());
  platform::Event outside = inside;
  outside.x = f().W() + 5;
  d.send(outside);
  EXPECT_TRUE(f().Closed());
}

}  // namespace
