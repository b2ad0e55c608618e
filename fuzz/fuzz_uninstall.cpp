// Feeds arbitrary bytes, as the settings file, to the settings reader and
// the uninstaller's plan, over a fixed tree: a home with an installation in
// Hry/zarnik, a desktop, a Start-menu program folder, and decoys (the
// user's files, a link inside the installation to a folder outside, a link
// to the root). Whatever the file lists, every planned file must lie in the
// resolved game folder, the desktop or the program folder, carry a name an
// installation writes there, and be a regular file, never a link.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "installer/core/ownership.h"
#include "installer/core/uninstall.h"
#include "shell/desktop_entry.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"

namespace {

namespace fs = std::filesystem;

// The tree's root has a fixed name, so that the seeds can name its paths.
const std::string kRoot = "/tmp/zarnik-fuzz-uninstall";
const std::string kHome = kRoot + "/home";
const std::string kGame = kHome + "/Hry/zarnik";
const std::string kDesktop = kHome + "/Desktop";
const std::string kPrograms = kHome + "/.local/share/applications/Programy/ZARNIK";
const std::string kSettings = kHome + "/.config/zarnik.ini";

void put(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << text;
}

void make_tree() {
  fs::remove_all(kRoot);
  for (const auto& f : installer::owned_files()) {
    const std::string folder = f.place == installer::Place::GameFolder ? kGame
                               : f.place == installer::Place::Desktop  ? kDesktop
                                                                       : kPrograms;
    if (f.proof == installer::Proof::ShellLink) {
      fs::create_directories(folder);
      shell::save_shell_link(folder + "/" + f.name, kGame + "/" + f.program, kGame + "/");
    } else if (f.proof == installer::Proof::DesktopEntry) {
      fs::create_directories(folder);
      shell::DesktopEntry entry;
      entry.name = "Zarnik";
      entry.program = kGame + "/" + f.program;
      entry.folder = kGame;
      shell::save_desktop_entry(folder + "/" + f.name, entry, false);
    } else {
      put(folder + "/" + f.name, "ours");
    }
  }
  put(kHome + "/important.txt", "the user's");
  put(kHome + "/Documents/zarnik.exe", "the user's");
  put(kHome + "/Documents/data.dat", "the user's");
  fs::create_directory_symlink(kHome + "/Documents", kGame + "/docs");
  fs::create_directory_symlink("/", kGame + "/root");
  // A link where one of our files would be.
  fs::remove(kDesktop + "/Zarnik.desktop");
  fs::create_symlink(kHome + "/important.txt", kDesktop + "/Zarnik.desktop");
  fs::create_directories(fs::path(kSettings).parent_path());
}

bool owned_here(const installer::PlannedFile& f) {
  using installer::Place;
  std::string resolved_game = installer::resolved_path(kGame);
  if (f.folder == resolved_game)
    return f.rule.place == Place::GameFolder &&
           (installer::owned_file(Place::GameFolder, f.name) != nullptr ||
            f.name.rfind(".", 0) == 0);  // a temporary file beside one of ours
  if (f.folder == installer::resolved_path(kDesktop)) return f.rule.place == Place::Desktop;
  if (f.folder == installer::resolved_path(kPrograms)) return f.rule.place == Place::ProgramFolder;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  make_tree();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(kSettings, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
  const std::vector<std::string> lines = shell::read_settings_lines(kSettings);
  for (const auto& l : lines)
    if (!shell::is_single_line(l)) std::abort();
  const installer::UninstallPlan plan =
      installer::plan_uninstall(lines, kSettings, {kDesktop, kPrograms});
  if (plan.empty() != plan.files.empty()) std::abort();
  if (!plan.refusal.empty() && !plan.files.empty()) std::abort();
  for (const auto& f : plan.files) {
    if (!owned_here(f)) std::abort();
    struct stat st;
    if (::lstat(f.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) std::abort();
    if (uint64_t(st.st_dev) != f.folder_id.volume) std::abort();
  }
  return 0;
}
