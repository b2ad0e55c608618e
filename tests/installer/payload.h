#pragma once
// A source folder holding a stand-in payload, and the settings lines an
// installation into a target folder is expected to write.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "installer/core/digest.h"
#include "installer/core/install.h"

namespace installer_test {

// Writes every payload file into `folder` (created), each holding its own
// name; "hra.xxx" is made executable. Files named in `leave_out` are skipped.
inline void make_payload(const std::string& folder,
                         const std::vector<std::string>& leave_out = {}) {
  std::filesystem::create_directories(folder);
  for (const auto& f : installer::kPayload) {
    if (std::find(leave_out.begin(), leave_out.end(), f.source) != leave_out.end()) continue;
    std::ofstream(folder + "/" + f.source) << "payload " << f.source;
  }
  if (std::filesystem::exists(folder + "/hra.xxx"))
    std::filesystem::permissions(folder + "/hra.xxx", std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
}

// The settings lines for an installation into `d` with the Start menu at
// `menu` and the desktop at `desktop` (no desktop line when it is empty).
inline std::vector<std::string> expected_lines(const std::string& d, const std::string& menu,
                                               const std::string& desktop,
                                               const std::string& windows_dir) {
  const std::string programs = menu + "/Programy/ZARNIK/";
  std::vector<std::string> lines{"800",
                                 "600",
                                 "",
                                 d + "/zarnik.lnk",
                                 d + "/zarnik.exe",
                                 d + "/obrazky.xxx",
                                 d + "/menu.xxx",
                                 d + "/menu.mid",
                                 d + "/hra.mid",
                                 d + "/zvuk.xxx",
                                 d + "/napoveda.html",
                                 d + "/setup.exe",
                                 programs + "uninstall.lnk",
                                 d + "/zarnik.lnk"};
  if (!desktop.empty()) lines.push_back(desktop + "/Zarnik.lnk");
  lines.push_back(programs + "Zarnik.lnk");
  lines.push_back(programs + "setup.lnk");
  lines.push_back(windows_dir + "/zarnik.ini");
  return lines;
}

// The installation's window, answering its questions without asking: the
// desktop shortcut as `desktop` says, errors kept.
struct QuietUi : installer::InstallUi {
  bool desktop = true;
  std::vector<std::string> errors;
  void set_progress(int) override {}
  bool ask_desktop_shortcut() override { return desktop; }
  void show_error(const std::string& text) override { errors.push_back(text); }
};

// Writes `text` at `path`, making its folders.
inline void write(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string joined_crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

inline std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file and folder under `root`, relative to it, with links as links,
// each with its content (a link with where it leads, a folder "/"; a file
// above 100 bytes by its size and digest).
inline std::map<std::string, std::string> tree(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = fs::relative(it->path(), root).generic_string();
    if (it->is_symlink())
      out[rel] = "-> " + fs::read_symlink(it->path()).string();
    else if (it->is_regular_file()) {
      const std::string text = read_text(it->path().string());
      if (text.size() <= 100) {
        out[rel] = text;
      } else {
        const auto id = installer::content_id({text.begin(), text.end()});
        out[rel] = std::to_string(id.size) + " bytes, " + id.sha256;
      }
    } else
      out[rel] = "/";
  }
  return out;
}

}  // namespace installer_test
