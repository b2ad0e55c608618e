#include "installer/core/uninstall.h"

#include <set>
#include <unordered_map>
#include <utility>

#include "installer/core/install.h"
#include "platform/files.h"

namespace installer {

namespace {

using platform::EntryKind;
using platform::same_name;

constexpr char kSep = platform::kPathSeparator;

// The last separator of a path (either kind on Windows).
size_t last_separator(const std::string& path) {
  for (size_t i = path.size(); i-- > 0;)
    if (platform::is_path_separator(path[i])) return i;
  return std::string::npos;
}

// "C:\": a drive's root keeps its separator.
bool is_drive_root(const std::string& folder) {
  return kSep == '\\' && folder.size() == 3 && folder[1] == ':';
}

std::string parent_of(const std::string& path) {
  const size_t sep = last_separator(path);
  if (sep == std::string::npos) return {};
  std::string folder = path.substr(0, sep + 1);
  while (folder.size() > 1 && platform::is_path_separator(folder.back()) && !is_drive_root(folder))
    folder.pop_back();
  return folder;
}

std::string name_of(const std::string& path) {
  const size_t sep = last_separator(path);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string joined(const std::string& folder, const std::string& name) {
  return !folder.empty() && platform::is_path_separator(folder.back()) ? folder + name
                                                                       : folder + kSep + name;
}

// An existing folder with its identity.
struct Folder {
  std::string path;  // resolved
  platform::FolderIdentity id;
};

bool find_folder(const std::string& resolved, Folder& out) {
  if (resolved.empty()) return false;
  const platform::OpenFolder folder(resolved);
  if (!folder.is_open()) return false;
  out = {resolved, folder.identity()};
  return true;
}

enum class Found { Gone, Ours, NotOurs };

// Whether the entry found for `rule` is ours. Never follows a link and never
// reads anything but a regular file.
Found inspect(platform::FolderEntry& entry, const OwnedFile& rule,
              const std::string& resolved_game_folder, std::string& why) {
  switch (entry.kind()) {
    case EntryKind::Missing: return Found::Gone;
    case EntryKind::Failed: why = entry.error(); return Found::NotOurs;
    case EntryKind::Link: why = "je to odkaz"; return Found::NotOurs;
    case EntryKind::Folder: why = "je to adresář"; return Found::NotOurs;
    case EntryKind::Other: why = "není to obyčejný soubor"; return Found::NotOurs;
    case EntryKind::File: break;
  }
  if (!proof_reads_content(rule.proof)) return Found::Ours;
  if (entry.size() > kMaxProofBytes) {
    why = "je příliš velký";
    return Found::NotOurs;
  }
  std::vector<uint8_t> content;
  if (!entry.read(kMaxProofBytes, content)) {
    why = entry.error();
    return Found::NotOurs;
  }
  if (!proves_ours(rule, content, resolved_game_folder)) {
    why = rule.proof == Proof::ShellLink      ? "není to zástupce hry"
          : rule.proof == Proof::DesktopEntry ? "není to položka nabídky hry"
                                              : "není to soubor hry";
    return Found::NotOurs;
  }
  return Found::Ours;
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
  const std::string& link_line = lines[3];
  const std::string& program_line = lines[4];
  if (!platform::is_absolute_path(link_line) || !same_name(name_of(link_line), kGameLinkName) ||
      !platform::is_absolute_path(program_line))
    return refused("Soubor nastavení neuvádí žádnou instalaci.");
  const std::string d4 = parent_of(link_line);
  const std::string d5 = parent_of(program_line);
  const std::string game = resolved_path(d4);
  if (game.empty() || !same_name(game, resolved_path(d5)))
    return refused("Řádky 4 a 5 souboru nastavení neuvádějí týž adresář hry:\n" +
                   platform::utf8_from_path(d4) + "\n" + platform::utf8_from_path(d5));
  if (!same_name(name_of(d5), kGameFolderName))
    return refused(std::string("Adresář hry se nejmenuje \"") + kGameFolderName +
                   "\": " + platform::utf8_from_path(d5));
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
  for (const std::string* program_folder : {&places.program_folder, &places.old_program_folder})
    if (!program_folder->empty() && find_folder(resolved_path(*program_folder), f))
      found.push_back({Place::ProgramFolder, f});

  // Each file once, by its folder and its name as the table (or the folder's
  // listing) gives it: on Windows the lines may spell it in any case.
  std::set<std::pair<std::string, std::string>> seen;
  // Plans `name` in `folder` by `rule` unless it is planned already, gone,
  // or not ours.
  auto consider = [&](const std::string& line, const Folder& folder, const std::string& name,
                      const OwnedFile& rule) {
    if (!seen.insert({folder.path, name}).second) return;
    std::string why;
    const platform::OpenFolder dir(folder.path);
    Found what = Found::NotOurs;
    if (!dir.is_open()) {
      why = dir.error();
    } else {
      platform::FolderEntry entry = dir.entry(name);
      what = inspect(entry, rule, game, why);
    }
    if (what == Found::Ours)
      plan.files.push_back({folder.path, folder.id, name, rule});
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
    if (!platform::is_absolute_path(line)) {
      plan.left_alone.push_back({line, "není to úplná cesta"});
      continue;
    }
    const std::string name = name_of(line);
    if (line == settings_path ||
        (same_name(name, settings_name) && !resolved_settings.empty() &&
         same_name(joined(resolved_folder(parent_of(line)), name), resolved_settings)))
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
      if (!same_name(p.folder.path, folder)) continue;
      place = &p;
      if ((rule = owned_file(p.place, name)) != nullptr) break;
    }
    if (place == nullptr)
      plan.left_alone.push_back({line, "leží mimo adresář hry, plochu i nabídku Start"});
    else if (rule == nullptr)
      plan.left_alone.push_back({line, "takový soubor instalace nevytváří"});
    else
      consider(line, place->folder, rule->name, *rule);
  }
  // What is ours without being listed: in D the uninstaller, the score file
  // and the icon; beside the shortcuts their desktop entries.
  for (const auto& p : found)
    for (const auto& rule : owned_files())
      if (rule.place == p.place && !rule.listed)
        consider(joined(p.folder.path, rule.name), p.folder, rule.name, rule);
  // Temporary files that an interrupted copy or save left beside our files.
  for (const auto& p : found) {
    for (const auto& name : platform::OpenFolder(p.folder.path).names()) {
      for (const auto& rule : owned_files())
        if (rule.place == p.place &&
            platform::is_abandoned_temporary(joined(p.folder.path, rule.name), name)) {
          consider(joined(p.folder.path, name), p.folder, name,
                   {p.place, name, Proof::Name, "", false});
          break;
        }
    }
  }

  // The Start-menu shortcuts lie in the program folder "ZARNIK", which an
  // earlier installation made in ".../Programy"; the folders are removed
  // only when they are left empty.
  for (const std::string* program_folder : {&places.program_folder, &places.old_program_folder}) {
    if (program_folder->empty()) continue;
    plan.folders.push_back(*program_folder);
    const std::string programy = parent_of(*program_folder);
    if (same_name(name_of(programy), "Programy")) plan.folders.push_back(programy);
  }
  plan.folders.push_back(d5);
  return plan;
}

std::vector<std::string> perform_uninstall(const UninstallPlan& plan) {
  std::vector<std::string> failures;
  auto failed = [&](const std::string& path, const std::string& why) {
    failures.push_back("smazat " + platform::utf8_from_path(path) + " (" + why + ")");
  };
  for (const auto& f : plan.files) {
    // The folder must still be the one planned, the file in it still ours;
    // it is removed as the very file that was checked.
    const platform::OpenFolder dir(f.folder);
    if (!dir.is_open()) {
      failed(f.path(), dir.error());
      continue;
    }
    if (dir.identity() != f.folder_id) {
      failed(f.path(), "adresář se mezitím změnil");
      continue;
    }
    platform::FolderEntry entry = dir.entry(f.name);
    std::string why;
    const Found what = inspect(entry, f.rule, plan.resolved_game_folder, why);
    if (what == Found::Ours && !entry.remove())
      failed(f.path(), entry.error());
    else if (what == Found::NotOurs)
      failed(f.path(), why);
  }
  // Only empty folders go, and a link is never followed.
  for (const auto& folder : plan.folders) platform::remove_empty_folder(folder);
  if (!plan.settings_file.empty()) {
    std::string folder = parent_of(plan.settings_file);
    if (folder.empty()) folder = ".";
    const platform::OpenFolder dir(folder);
    platform::FolderEntry entry = dir.entry(name_of(plan.settings_file));
    const bool no_folder = !dir.is_open() && !platform::folder_exists(folder);
    if (!no_folder && entry.kind() == EntryKind::Folder)
      failed(plan.settings_file, "je to adresář");
    else if (!no_folder && entry.kind() != EntryKind::Missing && !entry.remove())
      failed(plan.settings_file, entry.error());
  }
  return failures;
}

}  // namespace installer
