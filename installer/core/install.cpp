#include "installer/core/install.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "assets/icon.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "shell/desktop_entry.h"
#include "shell/settings_file.h"
#include "shell/shell_folders.h"
#include "shell/shortcut.h"

namespace installer {

namespace {

constexpr char kSep = platform::kPathSeparator;

// Copies `from` to `to` whole (see platform::copy_file_atomic): an
// interrupted copy never leaves a half file under the real name, and a
// reinstall replaces the old file. Returns an empty string on success, else
// the reason.
std::string copy_whole(const std::string& from, const std::string& to) {
  if (!platform::file_exists(from)) return "soubor chybí";
  try {
    platform::copy_file_atomic(from, to);
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

// The desktop entry beside a shortcut into `target`: it starts the program in
// the target folder, with the icon written there.
shell::DesktopEntry desktop_entry(const MenuShortcut& shortcut, const std::string& target) {
  shell::DesktopEntry e;
  e.name = shortcut.title;
  e.name_cs = shortcut.title_cs;
  e.comment = shortcut.comment;
  e.comment_cs = shortcut.comment_cs;
  e.program = target + kSep + shortcut.program;
  e.folder = target;
  e.icon = target + kSep + kIconFileName;
  const bool game = std::string(shortcut.program) == kGameProgram;
  e.categories = game ? "Game;ArcadeGame;" : "Game;";
  if (game) e.wm_class = kGameWindowClass;
  return e;
}

}  // namespace

std::string source_folder() {
  std::string s = platform::current_directory();
  if (s.empty() || s.back() != kSep) s += kSep;
  return s;
}

std::string default_target_folder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "") + "/.local/share";
  }
  return base + kSep + kGameFolderName;
}

std::string target_for_chosen_folder(const std::string& chosen) {
  if (!chosen.empty() && chosen.back() == kSep) return chosen + kGameFolderName;
  return chosen + kSep + kGameFolderName;
}

namespace {

// A path as the user can read it in a box: line breaks shown as \r and \n.
std::string visible(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string folder_refusal(const std::string& what, const std::string& path) {
  if (!shell::is_single_line(path))
    return what + " má v názvu konec řádku, hru do něj nelze nainstalovat:\n" + visible(path);
  // The settings file lists the paths in the system's code page: a path it
  // cannot spell would be listed wrongly, and the game could not find its
  // way back to it.
  const std::string unspellable = shell::unspellable_characters(path);
  if (!unspellable.empty())
    return what + " má v názvu znaky, které tento systém neumí zapsat do souboru nastavení " +
           "zarnik.ini (jeho kódová stránka je nemá): " + unspellable +
           "\nHru do něj nelze nainstalovat. Zvolte prosím adresář, jehož název tyto znaky " +
           "nemá.\n\n" + path;
  return {};
}

std::string installation_refusal(const std::string& target, const std::string& windows_dir) {
  const struct {
    const char* what;
    std::string path;
  } folders[] = {
      {"Cílový adresář", target},
      {"Adresář souboru nastavení", windows_dir},
      {"Adresář plochy", shell::shell_folder_path(platform::kDesktop)},
      {"Adresář nabídky Start", shell::shell_folder_path(platform::kPrograms)},
  };
  for (const auto& f : folders)
    if (std::string why = folder_refusal(f.what, f.path); !why.empty()) return why;
  return {};
}

std::string windows_default_target(bool elevated, const std::string& local_app_data) {
  if (elevated || local_app_data.empty()) return "C:\\Program Files\\zarnik";
  std::string base = local_app_data;
  if (base.back() == '\\') base.pop_back();
  return base + "\\Programs\\zarnik";
}

std::string InstallReport::final_message() const {
  if (!refusal.empty()) return refusal;
  if (failures.empty()) return "INSTALACE JE HOTOVA";
  std::string text = "INSTALACE NENÍ ÚPLNÁ\n\nNepodařilo se:";
  for (const auto& f : failures) text += "\n- " + f;
  return text;
}

InstallReport install(const std::string& source, const std::string& target,
                      const std::string& windows_dir, InstallUi& ui) {
  InstallReport report;
  report.refusal = installation_refusal(target, windows_dir);
  if (!report.refusal.empty()) {
    report.failures.push_back(report.refusal);
    ui.show_error(report.refusal);
    return report;
  }
  auto& lines = report.settings_lines;
  int progress = 0;
  auto step = [&] {
    progress = std::min(progress + kProgressStep, kProgressEnd);
    ui.set_progress(progress);
  };
  auto shortcut_failed = [&](const std::string& path) {
    report.failures.push_back("vytvořit zástupce " + path);
    ui.show_error("Zástupce nelze vytvořit:\n" + path);
  };
  auto ikona = [&](const MenuShortcut& shortcut, bool on_desktop) {
    const shell::DesktopEntry entry = desktop_entry(shortcut, target);
    for (const auto& path : shell::ikona(target + kSep + shortcut.program, kProgramFolderName,
                                         shortcut.link_name, on_desktop, lines, &entry))
      shortcut_failed(path);
  };

  if (!platform::make_folders(target)) report.failures.push_back("vytvořit adresář " + target);

  const std::string game_link = target + kSep + kGameLinkName;
  lines = {"800", "600", "", game_link};
  step();

  for (const auto& file : kPayload) {
    const std::string to = target + kSep + file.target;
    const std::string why = copy_whole(source + file.source, to);
    if (!why.empty())
      report.failures.push_back("zkopírovat " + std::string(file.source) + " (" + why + ")");
    step();
    if (file.listed) lines.push_back(to);
  }
  if (shell::kDesktopEntries) {
    const auto png = assets::icon_png();
    try {
      platform::write_file_atomic(target + kSep + kIconFileName, {png.begin(), png.end()});
    } catch (const std::exception& e) {
      report.failures.push_back(std::string("zapsat ikonu hry (") + e.what() + ")");
    }
  }
  ikona(kMenuShortcuts[0], false);

  // The installer's rule adds a separator after a folder that already ends in
  // one; the doubled separator is harmless and the list names the plain path.
  if (!shell::make_shortcut(target + kSep + kGameProgram, target + kSep, kGameLinkName,
                            shell::LinkPath::WithSeparator))
    shortcut_failed(game_link);
  step();
  lines.push_back(game_link);

  ikona(kMenuShortcuts[1], ui.ask_desktop_shortcut());
  step();
  ikona(kMenuShortcuts[2], false);
  step();

  const std::string settings = windows_dir + kSep + "zarnik.ini";
  lines.push_back(settings);
  try {
    platform::make_folders(windows_dir);  // a fresh account may not have it yet
    shell::write_settings_text(settings, lines);
    report.settings_written = true;
  } catch (const std::exception& e) {
    report.failures.push_back(std::string("zapsat soubor nastavení (") + e.what() + ")");
    ui.show_error(std::string("Soubor nastavení nelze zapsat:\n") + e.what());
  }
  return report;
}

}  // namespace installer
