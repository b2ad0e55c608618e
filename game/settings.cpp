// The settings file "zarnik.ini" in the config folder: display size, player
// name, the game's shortcut path, then the installer's lines.
#include <exception>

#include "game/form.h"
#include "game/game_files.h"
#include "game/persistence.h"
#include "platform/files.h"
#include "shell/settings_file.h"

namespace game {

void TForm1::load_settings() {
  settings_lines = shell::read_settings_lines(shell::settings_file_path());
  // A missing file, or one with missing or unusable lines, gives the
  // defaults for what is missing: "800", "600" and an empty name.
  repair_settings_lines(settings_lines);
}

void TForm1::save_settings() {
  update_settings_lines(settings_lines, DXDraw1.Width(), DXDraw1.Height(), game.player_name,
                        game_dir + kGameShortcut);
  // A fresh account may have no config folder yet.
  platform::make_folders(platform::settings_directory());
  shell::write_settings_lines(shell::settings_file_path(), settings_lines);
}

void TForm1::keep_settings() {
  if (!created_) return;
  try {
    save_settings();
  } catch (const std::exception&) {}
}

}  // namespace game
