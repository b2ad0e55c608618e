// The two front-end screens: the splash picture and the menu.
#include <version.h>

#include "game/form.h"
#include "game/persistence.h"
#include "platform/services.h"
#include "platform/system.h"

namespace game {

const char* const TForm1::kCreditLine = "Hru napsal tým zarnik";
const char* const TForm1::kHelpLine = "Nápověda ke hře";

namespace {
constexpr media::TColor kWhite = media::RGBColor(255, 255, 255);
constexpr media::TColor kGrey = media::RGBColor(128, 128, 128);
constexpr media::TColor kBlue = media::RGBColor(0, 0, 255);
// Text placed this far below the screen's bottom edge leaves no ink on it
// (accents rise only a few pixels above a line's cell).
constexpr int kBelowScreenMargin = 50;

// A glow brightens by 2 per frame while its item is highlighted (up to 255)
// and fades back by 2 to 55 when it is not.
void update_glow(uint8_t selected, uint8_t& glow) {
  if (selected != 0 && glow < 254) glow = static_cast<uint8_t>(glow + 2);
  if (selected == 0 && glow > 55) glow = static_cast<uint8_t>(glow - 2);
}
}  // namespace

platform::Point TForm1::cursor_position() {
  if (auto* sys = platform::services().system) return sys->cursor_pos();
  return {-100000, -100000};
}

void TForm1::splash_frame() {
  back()->FillSurface(0);
  if (DXImageList2)
    DXImageList2->Items.ItemAt(0).DrawPattern(back(), W() / 2 - 160, H() / 2 - 120, 0);
  game.splash_frames = static_cast<uint8_t>(game.splash_frames + 1);
  // The splash is shown once per run; its picture is not needed again.
  if (game.splash_frames == 250) DXImageList2.reset();
}

void TForm1::menu_frame() {
  back()->FillSurface(0);
  front_stars();
  picture(slots::menu::kTitle).DrawPattern(back(), W() / 2 - 100, H() / 2 - 185, 0);
  front_texts();
  if (game.scores_shown == 0) front_items();
  if (game.scores_shown == 1) front_score_list();
  front_cursor();
}

void TForm1::front_stars() {
  // The menu's own star rules. Brightness wraps in 8 bits: the all-zero
  // stars of a fresh start wrap to 253 and fade unseen (size 0) until they
  // are all placed together in the 85th menu frame.
  for (int i = Stars::low; i <= Stars::high; ++i) {
    Thvezda& s = stars[i];
    twinkle_star(s, true);
    picture(slots::menu::kStar)
        .DrawPatternRotatedBlended(back(), s.x, s.y, 2 * s.size, 2 * s.size, 0, 0.5, 0.5, 255,
                                   s.brightness);
    s.x += s.size;
    s.y += s.size;
  }
}

void TForm1::front_texts() {
  auto& c = back()->GetCanvas();
  c.Brush.Style = media::TBrushStyle::bsClear;
  c.Font.Name = "Arial Black";
  c.Font.Size = 8;
  c.Font.Color = kWhite;
  c.Pen.Color = kWhite;
  c.MoveTo(W(), 50);
  c.LineTo(0, 50);
  c.TextOut(W() - 150, 35, "verze " ZARNIK_VERSION);
  c.MoveTo(W(), H() - 50);
  c.LineTo(0, H() - 50);
  c.TextOut(50, H() - 46, kCreditLine);
  c.Font.Size = 6;
  c.Font.Color = game.link_hover == 1 ? kBlue : kGrey;
  c.TextOut(60, H() - 30, kHelpLine);
  back()->ReleaseCanvas();
}

void TForm1::front_items() {
  update_glow(game.start_selected, game.start_glow);
  picture(slots::menu::kStartItem)
      .DrawPatternRotatedAdditive(back(), W() / 2, H() / 2 - 75, 100, 25, 0, 0.5, 0.5, 0,
                                  game.start_glow);
  update_glow(game.end_selected, game.end_glow);
  picture(slots::menu::kQuitItem)
      .DrawPatternRotatedAdditive(back(), W() / 2, H() / 2 + 75, 80, 25, 0, 0.5, 0.5, 0,
                                  game.end_glow);
  update_glow(game.scores_selected, game.scores_glow);
  picture(slots::menu::kScoresItem)
      .DrawPatternRotatedAdditive(back(), W() / 2, H() / 2 - 25, 80, 25, 0, 0.5, 0.5, 0,
                                  game.scores_glow);

  auto& c = back()->GetCanvas();
  c.Brush.Style = media::TBrushStyle::bsClear;
  const media::TColor colour = game.name_editing == 1 ? kWhite : kGrey;
  c.Font.Name = "Impact";
  c.Font.Size = 10;
  c.Font.Color = colour;
  c.TextOut(W() - 200, H() - 80, "Jméno hráče :  ");
  c.Font.Name = "Arial black";
  c.Font.Size = 10;
  c.Font.Color = colour;
  // The name is stored 8-bit text (it may come from the settings file).
  c.TextOutAnsi(W() - 125, H() - 80, bounded_name(game.player_name));
  back()->ReleaseCanvas();
}

void TForm1::front_score_list() {
  auto& c = back()->GetCanvas();
  c.Brush.Style = media::TBrushStyle::bsClear;
  c.Font.Name = "Impact";
  c.Font.Size = 10;
  c.Font.Color = kGrey;
  // A score file edited by hand can hold any number of entries and lines of
  // any length; the rows below the screen and the characters past the
  // bounded length would not show, so they are not drawn.
  const size_t entries = score_table.size() / 2;
  const int64_t last_visible_row = H() + kBelowScreenMargin;
  for (size_t l = 1; l <= entries; ++l) {
    const int64_t y = H() / 2 - 145 + 15 * static_cast<int64_t>(l);
    if (y > last_visible_row) break;
    c.TextOutAnsi(W() / 2 - 100, static_cast<int>(y), bounded_name(score_table[2 * l - 1]));
    c.TextOutAnsi(W() / 2 + 60, static_cast<int>(y), bounded_name(score_table[2 * l - 2]));
  }
  back()->ReleaseCanvas();
}

void TForm1::front_cursor() {
  const platform::Point p = cursor_position();
  picture(slots::menu::kCursor)
      .DrawPatternRotatedBlended(back(), p.x, p.y, 20, 20, cursor.pressed, 0.5, 0.5, 225, 255);
}

}  // namespace game
