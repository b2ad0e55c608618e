// The settings file "zarnik.ini" in the config folder: display size, player
// name, the game's shortcut path, then the installer's lines.
#include <filesystem>
#include <system_error>

#include "game/form.h"
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
                        game_dir + "zarnik.lnk");
  // A fresh account may have no config folder yet.
  std::error_code ec;
  std::filesystem::create_directories(platform::settings_directory(), ec);
  shell::write_settings_lines(shell::settings_file_path(), settings_lines);
}

}  // namespace game
