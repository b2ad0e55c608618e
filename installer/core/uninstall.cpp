#include "installer/core/uninstall.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/files.h"

namespace installer {

namespace {

using platform::EntryKind;
using platform::same_name;

std::string utf8(const std::string& path) { return platform::utf8_from_path(path); }

// Whether nothing is at `path` any more (its folder gone too, maybe).
bool is_gone(const std::string& path) {
  const std::string parent = parent_folder(path);
  if (parent.empty()) return false;
  const platform::OpenFolder dir(parent);
  if (dir.is_open()) return dir.entry(file_name(path)).kind() == EntryKind::Missing;
  return !platform::path_names(parent).empty() && is_gone(parent);
}

// Whether `path` lies inside the folder `folder`.
bool is_within(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && same_name(path.substr(0, folder.size()), folder) &&
         platform::is_path_separator(path[folder.size()]);
}

// The recorded folders as they are now: open when still the folder
// recorded, else why not.
struct FolderState {
  std::unique_ptr<platform::OpenFolder> dir;
  std::string why;
  bool gone = false;
};

// Removes what a planned file names if it is still what was planned; false
// (with `why`) otherwise. Gone counts as removed.
bool remove_planned(const PlannedFile& f, const std::vector<platform::FolderIdentity>& games,
                    std::string& why) {
  const platform::OpenFolder dir(f.folder);
  if (!dir.is_open()) {
    why = dir.error();
    return is_gone(f.folder);
  }
  if (dir.identity() != f.folder_id) {
    why = "adresář se mezitím změnil";
    return false;
  }
  platform::FolderEntry entry = dir.entry(f.name);
  bool gone = false;
  bool ours = false;
  if (f.temporary) {
    gone = entry.kind() == EntryKind::Missing;
    ours = entry.kind() == EntryKind::File;
    if (!ours) why = "není to obyčejný soubor";
  } else {
    ours = is_recorded_file(f.recorded, entry, games, gone, why);
  }
  if (gone) return true;
  if (!ours) return false;
  if (!entry.remove()) {
    why = entry.error();
    return false;
  }
  return true;
}

}  // namespace

std::string PlannedFile::path() const {
  return !folder.empty() && platform::is_path_separator(folder.back())
             ? folder + name
             : folder + platform::kPathSeparator + name;
}

UninstallPlan plan_uninstall(const std::optional<Record>& record, const std::string& record_file,
                             const std::vector<std::string>& settings_lines,
                             const std::string& settings_path) {
  UninstallPlan plan;
  plan.record_file = record_file;
  if (!record) {
    // A first record whose writing was cut off leaves only its temporary
    // file: that goes, as everything else an installation wrote would.
    if (const platform::OpenFolder dir(parent_folder(record_file)); dir.is_open())
      for (const auto& name : dir.names())
        if (platform::is_abandoned_temporary(record_file, name))
          plan.files.push_back({parent_folder(record_file),
                                dir.identity(),
                                name,
                                {RecordedKind::File, parent_folder(record_file), {}, {}},
                                true});
    if (!plan.files.empty()) return plan;
    plan.refusal = "Hra Zarnik není nainstalována.";
    if (settings_lines.size() > 4)
      plan.refusal += "\n\nSoubor nastavení " + utf8(settings_path) +
                      " sice uvádí instalaci, ale chybí záznam instalace " + utf8(record_file) +
                      ". Bez něj nelze poznat, které soubory hra zapsala, a tak se nic "
                      "neodstraní.";
    return plan;
  }
  plan.record = *record;
  const Record& r = plan.record;
  for (const auto& line : r.unreadable)
    plan.left_alone.push_back({line, "řádek záznamu instalace nelze přečíst"});

  std::map<std::string, FolderState> folders;
  for (const auto& f : r.folders) {
    FolderState state;
    state.dir = open_recorded_folder(f, state.why);
    state.gone = !state.dir && is_gone(f.path);
    folders.emplace(f.path, std::move(state));
  }
  const auto games = game_folder_identities(r);

  auto plan_file = [&](const RecordedFile& file, const FolderState& state,
                       const std::string& folder, bool temporary) {
    PlannedFile p{folder, state.dir->identity(), file_name(file.path), file, temporary};
    if (file.kind == RecordedKind::Scores)
      plan.scores = p;
    else
      plan.files.push_back(p);
  };
  std::vector<const RecordedFile*> settings;
  for (const auto& file : r.files) {
    const std::string folder = parent_folder(file.path);
    const FolderState& state = folders.at(r.folder(folder)->path);
    if (!state.dir) {
      if (!state.gone)
        plan.left_alone.push_back({file.path, "adresář " + utf8(folder) + ": " + state.why});
      continue;
    }
    // The installer records a folder's identity before it writes a file
    // into it; a folder without one holds no file of the installation.
    if (!r.folder(folder)->known) {
      plan.left_alone.push_back({file.path, "adresář " + utf8(folder) + " není v záznamu celý"});
      continue;
    }
    platform::FolderEntry entry = state.dir->entry(file_name(file.path));
    bool gone = false;
    std::string why;
    if (is_recorded_file(file, entry, games, gone, why)) {
      if (file.kind == RecordedKind::Settings)
        settings.push_back(&file);
      else
        plan_file(file, state, r.folder(folder)->path, false);
    } else if (!gone) {
      plan.left_alone.push_back({file.path, why});
    }
  }
  // Temporary files that an interrupted copy or save left beside recorded
  // files (the record's own included).
  for (const auto& f : r.folders) {
    const FolderState& state = folders.at(f.path);
    if (!state.dir || !f.known) continue;
    std::vector<std::string> targets;
    for (const auto& file : r.files)
      if (same_name(parent_folder(file.path), f.path)) targets.push_back(file.path);
    if (same_name(parent_folder(record_file), f.path)) targets.push_back(record_file);
    for (const auto& name : state.dir->names())
      for (const auto& target : targets)
        if (platform::is_abandoned_temporary(target, name)) {
          RecordedFile temp{RecordedKind::File, f.path + platform::kPathSeparator + name, {}, {}};
          plan.files.push_back({f.path, state.dir->identity(), name, temp, true});
          break;
        }
  }
  for (const RecordedFile* s : settings)
    plan_file(*s, folders.at(r.folder(parent_folder(s->path))->path), parent_folder(s->path),
              false);

  // The settings file's list, where the record does not name a line.
  for (size_t i = 4; i < settings_lines.size(); ++i) {
    const std::string& line = settings_lines[i];
    if (line.empty() || r.file(line) != nullptr || same_name(line, settings_path)) continue;
    plan.left_alone.push_back({line, "záznam instalace ho neuvádí"});
  }

  for (const auto& f : r.folders)
    if (f.made) plan.folders.push_back({f.path, f.known, f.id});
  std::stable_sort(
      plan.folders.begin(), plan.folders.end(), [](const PlannedFolder& a, const PlannedFolder& b) {
        return platform::path_names(a.path).size() > platform::path_names(b.path).size();
      });
  return plan;
}

UninstallResult perform_uninstall(const UninstallPlan& plan, bool keep_scores) {
  UninstallResult result;
  if (!plan.refusal.empty()) return result;
  const auto games = game_folder_identities(plan.record);
  // What the record keeps afterwards: files that stay, and the folders.
  Record rest;
  rest.folders = plan.record.folders;
  rest.game_folders = plan.record.game_folders;

  for (const auto& f : plan.files) {
    std::string why;
    if (remove_planned(f, games, why)) continue;
    result.failures.push_back("smazat " + utf8(f.path()) + " (" + why + ")");
    if (!f.temporary) rest.set(f.recorded);
  }
  if (plan.scores) {
    std::string why;
    if (keep_scores) {
      result.kept.push_back("tabulka rekordů " + utf8(plan.scores->path()));
      rest.set(plan.scores->recorded);
    } else if (!remove_planned(*plan.scores, games, why)) {
      result.failures.push_back("smazat " + utf8(plan.scores->path()) + " (" + why + ")");
      rest.set(plan.scores->recorded);
    }
  }
  for (const auto& l : plan.left_alone)
    if (plan.record.file(l.line) != nullptr)
      result.kept.push_back(utf8(l.line) + " (" + l.reason + ")");

  // The record: gone when nothing stays, else what stays (and the folders
  // that hold it), so that the next uninstallation or installation knows it.
  const platform::OpenFolder record_dir(parent_folder(plan.record_file));
  if (rest.files.empty()) {
    platform::FolderEntry entry = record_dir.entry(file_name(plan.record_file));
    if (entry.kind() != EntryKind::Missing && !entry.remove())
      result.failures.push_back("smazat " + utf8(plan.record_file) + " (" + entry.error() + ")");
  }

  // Only empty folders go, and only the very folder that was made.
  for (const auto& f : plan.folders) {
    const platform::OpenFolder parent(parent_folder(f.path));
    platform::FolderEntry entry = parent.entry(file_name(f.path));
    if (entry.kind() == EntryKind::Missing) {
      rest.remove_folder(f.path);
      continue;
    }
    if (entry.kind() == EntryKind::Folder && (!f.known || entry.identity() == f.id) &&
        entry.remove_folder()) {
      rest.remove_folder(f.path);
      continue;
    }
    // The folders that hold a record kept are no news.
    const bool holds_record = !rest.files.empty() && is_within(plan.record_file, f.path);
    if (!holds_record) result.kept.push_back("adresář " + utf8(f.path) + " (není prázdný)");
  }
  if (!rest.files.empty()) {
    // Only the folders that still hold what stays, and the record.
    Record kept;
    for (const auto& folder : folders_to(parent_folder(plan.record_file)))
      if (const RecordedFolder* rf = rest.folder(folder)) kept.set(*rf);
    for (const auto& f : rest.files) {
      for (const auto& folder : folders_to(parent_folder(f.path)))
        if (const RecordedFolder* rf = rest.folder(folder)) kept.set(*rf);
      if (rest.is_game_folder(parent_folder(f.path))) kept.add_game_folder(parent_folder(f.path));
      kept.set(f);
    }
    try {
      write_record(plan.record_file, kept);
    } catch (const std::exception& e) {
      result.failures.push_back(std::string("zapsat záznam instalace (") + e.what() + ")");
    }
  }
  return result;
}

}  // namespace installer
