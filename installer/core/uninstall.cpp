#include "installer/core/uninstall.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "shell/shortcut.h"

namespace installer {

namespace fs = std::filesystem;

namespace {

constexpr char kSep = platform::kPathSeparator;

std::string without_trailing_separator(std::string s) {
  while (s.size() > 1 && s.back() == kSep) s.pop_back();
  return s;
}

std::string parent_of(const std::string& path) {
  return without_trailing_separator(shell::folder_part(path));
}

std::string name_of(const std::string& path) {
  size_t sep = path.rfind(kSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool absolute(const std::string& path) { return !path.empty() && path.front() == kSep; }

void add_once(std::vector<std::string>& list, const std::string& item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

// A path listed as a shortcut is removed only when it holds one, so a listed
// shortcut path that never got written cannot take someone else's file.
bool is_shell_link(const std::string& path) {
  if (path.size() < 4 || path.compare(path.size() - 4, 4, ".lnk") != 0) return true;
  std::vector<uint8_t> bytes;
  try {
    bytes = platform::read_file(path);
  } catch (const std::exception&) {
    return false;
  }
  const std::vector<uint8_t> header = shell::encode_shell_link("", "");
  return bytes.size() >= 20 && std::equal(header.begin(), header.begin() + 20, bytes.begin());
}

// Removes a file or link (never a folder). Gone already counts as removed.
bool remove_file(const std::string& path, std::string& why) {
  std::error_code ec;
  auto st = fs::symlink_status(path, ec);
  if (ec || !fs::exists(st)) return true;
  if (fs::is_directory(st)) {
    why = "je to adresář";
    return false;
  }
  if (!is_shell_link(path)) {
    why = "není to zástupce";
    return false;
  }
  if (!fs::remove(path, ec) && ec) {
    why = ec.message();
    return false;
  }
  return true;
}

}  // namespace

UninstallPlan plan_uninstall(const std::vector<std::string>& lines,
                             const std::string& settings_path) {
  UninstallPlan plan;
  if (lines.size() < 5 || !absolute(lines[4])) return plan;

  for (size_t i = 4; i < lines.size(); ++i) {
    const std::string& path = lines[i];
    if (!absolute(path) || path == settings_path) continue;
    add_once(plan.files, path);
  }
  const std::string game_folder = parent_of(lines[4]);
  add_once(plan.files, game_folder + kSep + "uninstall.exe");
  add_once(plan.files, game_folder + kSep + "data.dat");

  // The Start-menu shortcuts lie in ".../Programy/<name>/".
  std::vector<std::string> program_folders;
  for (const auto& path : plan.files) {
    const std::string folder = parent_of(path);
    const std::string programy = parent_of(folder);
    if (name_of(programy) == "Programy" && folder != game_folder) {
      add_once(program_folders, folder);
      add_once(program_folders, programy);
    }
  }
  plan.folders = program_folders;
  plan.folders.push_back(game_folder);
  plan.settings_file = settings_path;
  return plan;
}

std::vector<std::string> perform_uninstall(const UninstallPlan& plan) {
  std::vector<std::string> failures;
  std::string why;
  for (const auto& path : plan.files)
    if (!remove_file(path, why)) failures.push_back("smazat " + path + " (" + why + ")");
  for (const auto& folder : plan.folders) {
    std::error_code ec;
    if (fs::is_directory(folder, ec) && fs::is_empty(folder, ec)) fs::remove(folder, ec);
  }
  if (!plan.settings_file.empty() && !remove_file(plan.settings_file, why))
    failures.push_back("smazat " + plan.settings_file + " (" + why + ")");
  return failures;
}

}  // namespace installer
