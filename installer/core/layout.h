#pragma once
// Where the installer's window puts its controls on a W x H screen; every
// window toolkit places them from here. "x div 2" truncates toward zero.
namespace installer {

struct Rect {
  int x, y, w, h;
};

struct InstallerLayout {
  Rect title_picture;   // 200 x 50 at (24, 24)
  Rect credit;          // the author credit line
  Rect folder_caption;  // "Adresář:" (later "Hotovo:")
  Rect done_caption;    // where "Hotovo:" moves while installing
  Rect target;          // the target folder
  Rect progress;        // 329 x 16, hidden until installing
  Rect browse;          // "Prohlidnout"
  Rect end;             // "KONEC"
  Rect install;         // "INSTALUJ"
  Rect chooser;         // the folder chooser panel, 265 x 225 at (150, 150)
  // Inside the chooser, relative to it.
  Rect chosen_folder, drives, folders, new_folder, chooser_ok;
  // The new-folder panel over the folder tree, relative to the chooser, and
  // its controls relative to it.
  Rect new_panel, new_caption, new_edit, new_ok, new_cancel;
};

constexpr InstallerLayout installer_layout(int W, int H) {
  const int cx = W / 2, cy = H / 2;
  return InstallerLayout{
      {24, 24, 200, 50},
      {W - 200, H - 50, 200, 20},
      {cx - 150, cy - 65, 120, 15},
      {cx - 12, cy - 65, 120, 15},
      {cx - 150, cy - 50, cx + 140, 15},
      {cx - 150, cy - 35, 329, 16},
      {cx - 150, cy, 95, 25},
      {cx - 25, cy, 95, 25},
      {cx + 75, cy, 95, 25},
      {150, 150, 265, 225},
      {8, 6, 249, 18},
      {8, 26, 249, 240},  // a drop-down: the height includes its list
      {8, 54, 249, 132},
      {8, 192, 110, 25},
      {182, 192, 75, 25},
      {8, 54, 249, 132},
      {8, 8, 233, 18},
      {8, 30, 233, 24},
      {8, 64, 75, 25},
      {166, 64, 75, 25},
  };
}

}  // namespace installer
