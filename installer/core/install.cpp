#include "installer/core/install.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/files.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"

namespace installer {

namespace fs = std::filesystem;

namespace {

constexpr char kSep = platform::kPathSeparator;

// Copies `from` to `to` whole: into a temporary name beside the target, then
// renamed over it, so an interrupted copy never leaves a half file under the
// real name and a reinstall replaces the old file. Returns an empty string on
// success, else the reason.
std::string copy_whole(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!fs::is_regular_file(from, ec)) return "soubor chybí";
  const std::string temp = to + ".part";
  fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::rename(temp, to, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return ec.message();
  }
  return {};
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
  return base + kSep + "zarnik";
}

std::string target_for_chosen_folder(const std::string& chosen) {
  if (!chosen.empty() && chosen.back() == kSep) return chosen + "zarnik";
  return chosen + kSep + "zarnik";
}

std::string windows_default_target(bool elevated, const std::string& local_app_data) {
  if (elevated || local_app_data.empty()) return "C:\\Program Files\\zarnik";
  std::string base = local_app_data;
  if (base.back() == '\\') base.pop_back();
  return base + "\\Programs\\zarnik";
}

std::string InstallReport::final_message() const {
  if (failures.empty()) return "INSTALACE JE HOTOVA";
  std::string text = "INSTALACE NENÍ ÚPLNÁ\n\nNepodařilo se:";
  for (const auto& f : failures) text += "\n- " + f;
  return text;
}

InstallReport install(const std::string& source, const std::string& target,
                      const std::string& windows_dir, InstallUi& ui) {
  InstallReport report;
  auto& lines = report.settings_lines;
  int progress = 0;
  auto step = [&] {
    progress += kProgressStep;
    ui.set_progress(progress);
  };
  auto shortcut_failed = [&](const std::string& path) {
    report.failures.push_back("vytvořit zástupce " + path);
    ui.show_error("Zástupce nelze vytvořit:\n" + path);
  };
  auto ikona = [&](const std::string& program, const char* link_name, bool on_desktop) {
    for (const auto& path :
         shell::ikona(target + kSep + program, kProgramFolderName, link_name, on_desktop, lines))
      shortcut_failed(path);
  };

  {
    std::error_code ec;
    fs::create_directories(target, ec);
    if (ec || !fs::is_directory(target, ec))
      report.failures.push_back("vytvořit adresář " + target + " (" +
                                (ec ? ec.message() : "není to adresář") + ")");
  }

  lines = {"800", "600", "", target + kSep + "zarnik.lnk"};
  step();

  for (const auto& file : kPayload) {
    const std::string to = target + kSep + file.target;
    const std::string why = copy_whole(source + file.source, to);
    if (!why.empty())
      report.failures.push_back("zkopírovat " + std::string(file.source) + " (" + why + ")");
    step();
    if (file.listed) lines.push_back(to);
  }
  ikona("uninstall.exe", "uninstall.lnk", false);

  // The installer's rule adds a separator after a folder that already ends in
  // one; the doubled separator is harmless and the list names the plain path.
  if (!shell::make_shortcut(target + kSep + "zarnik.exe", target + kSep, "zarnik.lnk",
                            shell::LinkPath::WithSeparator))
    shortcut_failed(target + kSep + "zarnik.lnk");
  step();
  lines.push_back(target + kSep + "zarnik.lnk");

  ikona("zarnik.exe", "Zarnik.lnk", ui.ask_desktop_shortcut());
  step();
  ikona("setup.exe", "setup.lnk", false);
  step();

  const std::string settings = windows_dir + kSep + "zarnik.ini";
  lines.push_back(settings);
  try {
    std::error_code ec;
    fs::create_directories(windows_dir, ec);  // a fresh account may not have it yet
    shell::write_settings_lines(settings, lines);
    report.settings_written = true;
  } catch (const std::exception& e) {
    report.failures.push_back(std::string("zapsat soubor nastavení (") + e.what() + ")");
    ui.show_error(std::string("Soubor nastavení nelze zapsat:\n") + e.what());
  }
  return report;
}

}  // namespace installer
