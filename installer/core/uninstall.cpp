#include "installer/core/uninstall.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <unordered_map>
#include <utility>

#include "installer/core/install.h"
#include "platform/files.h"
#include "shell/shortcut.h"

namespace installer {

namespace {

constexpr char kSep = platform::kPathSeparator;

bool absolute(const std::string& path) { return !path.empty() && path.front() == kSep; }

std::string parent_of(const std::string& path) {
  std::string folder = shell::folder_part(path);
  while (folder.size() > 1 && folder.back() == kSep) folder.pop_back();
  return folder;
}

std::string name_of(const std::string& path) {
  const size_t sep = path.rfind(kSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string joined(const std::string& folder, const std::string& name) {
  return folder.size() == 1 && folder[0] == kSep ? folder + name : folder + kSep + name;
}

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// An existing folder with its identity.
struct Folder {
  std::string path;  // resolved
  dev_t device = 0;
  ino_t inode = 0;
};

bool find_folder(const std::string& resolved, Folder& out) {
  struct stat st;
  if (resolved.empty() || ::stat(resolved.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  out = {resolved, st.st_dev, st.st_ino};
  return true;
}

enum class Found { Gone, Ours, NotOurs };

// What is at `name` in the open folder `dir`, for the rule that would make
// it ours. Never follows a link and never opens anything but a regular file.
Found inspect(int dir, const std::string& name, const OwnedFile& rule,
              const std::string& resolved_game_folder, std::string& why) {
  struct stat st;
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return Found::Gone;
    why = std::strerror(errno);
    return Found::NotOurs;
  }
  if (S_ISLNK(st.st_mode)) {
    why = "je to odkaz";
    return Found::NotOurs;
  }
  if (S_ISDIR(st.st_mode)) {
    why = "je to adresář";
    return Found::NotOurs;
  }
  if (!S_ISREG(st.st_mode)) {
    why = "není to obyčejný soubor";
    return Found::NotOurs;
  }
  if (!proof_reads_content(rule.proof)) return Found::Ours;

  Fd in{::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
  if (in.fd < 0 || ::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = in.fd < 0 ? std::strerror(errno) : "není to obyčejný soubor";
    return Found::NotOurs;
  }
  if (uint64_t(st.st_size) > kMaxProofBytes) {
    why = "je příliš velký";
    return Found::NotOurs;
  }
  std::vector<uint8_t> content(size_t(st.st_size));
  size_t got = 0;
  while (got < content.size()) {
    const ssize_t n = ::read(in.fd, content.data() + got, content.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  content.resize(got);
  if (!proves_ours(rule, content, resolved_game_folder)) {
    why = rule.proof == Proof::ShellLink ? "není to zástupce hry" : "není to soubor hry";
    return Found::NotOurs;
  }
  return Found::Ours;
}

// Opens a planned file's folder; -1 (with the reason) when it is gone or is
// no longer the folder that was planned.
int open_planned_folder(const PlannedFile& f, std::string& why) {
  const int dir = ::open(f.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    why = std::strerror(errno);
    return -1;
  }
  struct stat st;
  if (::fstat(dir, &st) != 0 || st.st_dev != f.folder_device || st.st_ino != f.folder_inode) {
    ::close(dir);
    why = "adresář se mezitím změnil";
    return -1;
  }
  return dir;
}

}  // namespace

std::string PlannedFile::path() const { return joined(folder, name); }

UninstallPlan plan_uninstall(const std::vector<std::string>& lines,
                             const std::string& settings_path, const InstallPlaces& places) {
  UninstallPlan plan;
  plan.settings_file = settings_path;
  auto refused = [&](const std::string& why) {
    plan.refusal = why;
    return plan;
  };
  if (lines.size() < 5) return refused("Soubor nastavení neuvádí žádnou instalaci.");

  // D as line 4 gives it, which the game rewrites at every close, and as the
  // installer's first listed file gives it.
  const std::string link_tail = std::string(1, kSep) + kGameLinkName;
  const std::string& link_line = lines[3];
  const std::string& program_line = lines[4];
  if (!absolute(link_line) || !ends_with(link_line, link_tail) || !absolute(program_line))
    return refused("Soubor nastavení neuvádí žádnou instalaci.");
  const std::string d4 = link_line.substr(0, link_line.size() - link_tail.size());
  const std::string d5 = parent_of(program_line);
  const std::string game = resolved_path(d4);
  if (game.empty() || game != resolved_path(d5))
    return refused("Řádky 4 a 5 souboru nastavení neuvádějí týž adresář hry:\n" + d4 + "\n" + d5);
  if (name_of(d5) != kGameFolderName)
    return refused(std::string("Adresář hry se nejmenuje \"") + kGameFolderName + "\": " + d5);
  plan.game_folder = d5;
  plan.resolved_game_folder = game;

  struct PlaceFolder {
    Place place;
    Folder folder;
  };
  std::vector<PlaceFolder> found;
  Folder f;
  if (find_folder(game, f)) found.push_back({Place::GameFolder, f});
  if (!places.desktop.empty() && find_folder(resolved_path(places.desktop), f))
    found.push_back({Place::Desktop, f});
  if (!places.program_folder.empty() && find_folder(resolved_path(places.program_folder), f))
    found.push_back({Place::ProgramFolder, f});

  std::set<std::pair<std::string, std::string>> seen;
  // Plans `name` in `folder` by `rule` unless it is planned already, gone,
  // or not ours.
  auto consider = [&](const std::string& line, const Folder& folder, const std::string& name,
                      const OwnedFile& rule) {
    if (!seen.insert({folder.path, name}).second) return;
    std::string why;
    Fd dir{::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    Found what = Found::NotOurs;
    if (dir.fd < 0)
      why = std::strerror(errno);
    else
      what = inspect(dir.fd, name, rule, game, why);
    if (what == Found::Ours)
      plan.files.push_back({folder.path, folder.device, folder.inode, name, rule});
    else if (what == Found::NotOurs)
      plan.left_alone.push_back({line, why});
  };

  const std::string resolved_settings = resolved_path(settings_path);
  const std::string settings_name = name_of(settings_path);
  // Folders resolved once each: a long list names few of them.
  std::unordered_map<std::string, std::string> resolved_folders;
  auto resolved_folder = [&](const std::string& folder) -> const std::string& {
    auto it = resolved_folders.find(folder);
    if (it == resolved_folders.end())
      it = resolved_folders.emplace(folder, resolved_path(folder)).first;
    return it->second;
  };
  for (size_t i = 4; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if (!absolute(line)) {
      plan.left_alone.push_back({line, "není to úplná cesta"});
      continue;
    }
    const std::string name = name_of(line);
    if (line == settings_path ||
        (name == settings_name && !resolved_settings.empty() &&
         joined(resolved_folder(parent_of(line)), name) == resolved_settings))
      continue;  // removed last
    if (name.empty() || name == "." || name == "..") {
      plan.left_alone.push_back({line, "neuvádí soubor"});
      continue;
    }
    const std::string& folder = resolved_folder(parent_of(line));
    Folder where;
    if (!find_folder(folder, where)) continue;  // no such folder, so no such file
    const PlaceFolder* place = nullptr;
    const OwnedFile* rule = nullptr;
    for (const auto& p : found) {
      if (p.folder.path != folder) continue;
      place = &p;
      if ((rule = owned_file(p.place, name)) != nullptr) break;
    }
    if (place == nullptr)
      plan.left_alone.push_back({line, "leží mimo adresář hry, plochu i nabídku Start"});
    else if (rule == nullptr)
      plan.left_alone.push_back({line, "takový soubor instalace nevytváří"});
    else
      consider(line, place->folder, name, *rule);
  }
  // What lies in D without being listed: the uninstaller, the score file.
  if (!found.empty() && found[0].place == Place::GameFolder)
    for (const auto& rule : owned_files())
      if (rule.place == Place::GameFolder && !rule.listed)
        consider(joined(found[0].folder.path, rule.name), found[0].folder, rule.name, rule);
  // Temporary files that an interrupted copy or save left beside our files.
  for (const auto& p : found) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(p.folder.path, ec)) {
      const std::string name = entry.path().filename().string();
      for (const auto& rule : owned_files())
        if (rule.place == p.place &&
            platform::is_abandoned_temporary(joined(p.folder.path, rule.name), name)) {
          consider(joined(p.folder.path, name), p.folder, name,
                   {p.place, name, Proof::Name, "", false});
          break;
        }
    }
  }

  // The Start-menu shortcuts lie in ".../Programy/ZARNIK"; the folders are
  // removed only when they are left empty.
  if (!places.program_folder.empty()) {
    plan.folders.push_back(places.program_folder);
    const std::string programy = parent_of(places.program_folder);
    if (name_of(programy) == "Programy") plan.folders.push_back(programy);
  }
  plan.folders.push_back(d5);
  return plan;
}

std::vector<std::string> perform_uninstall(const UninstallPlan& plan) {
  std::vector<std::string> failures;
  for (const auto& f : plan.files) {
    std::string why;
    Fd dir{open_planned_folder(f, why)};
    Found what = Found::NotOurs;
    if (dir.fd >= 0) what = inspect(dir.fd, f.name, f.rule, plan.resolved_game_folder, why);
    if (what == Found::Ours && ::unlinkat(dir.fd, f.name.c_str(), 0) != 0 && errno != ENOENT) {
      why = std::strerror(errno);
      what = Found::NotOurs;
    }
    if (what == Found::NotOurs) failures.push_back("smazat " + f.path() + " (" + why + ")");
  }
  // rmdir removes only empty folders and never follows a link.
  for (const auto& folder : plan.folders) ::rmdir(folder.c_str());
  if (!plan.settings_file.empty()) {
    struct stat st;
    if (::lstat(plan.settings_file.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode))
        failures.push_back("smazat " + plan.settings_file + " (je to adresář)");
      else if (::unlink(plan.settings_file.c_str()) != 0 && errno != ENOENT)
        failures.push_back("smazat " + plan.settings_file + " (" + std::strerror(errno) + ")");
    }
  }
  return failures;
}

}  // namespace installer
