#include "installer/core/uninstall.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "installer/core/registration.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "shell/settings_file.h"

namespace installer {

namespace {

using platform::EntryKind;
using platform::same_name;

std::string utf8(const std::string& path) { return platform::utf8_from_path(path); }

// Whether `path` is `folder` or lies inside it.
bool at_or_within(const std::string& path, const std::string& folder) {
  if (path.size() < folder.size() || !same_name(path.substr(0, folder.size()), folder))
    return false;
  return path.size() == folder.size() || platform::is_path_separator(path[folder.size()]);
}

// The name of the file a temporary file named `name` was made for, when
// `name` has the form of one (".NAME.PID.RANDOM.tmp"), else empty; the
// file services' own test (is_abandoned_temporary) decides the rest.
std::string temporary_target(const std::string& name) {
  const std::string suffix = platform::kTempSuffix;
  if (name.size() < 1 + suffix.size() || name[0] != '.' ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return {};
  std::string rest = name.substr(1, name.size() - 1 - suffix.size());
  for (int part = 0; part < 2; ++part) {
    const size_t dot = rest.rfind('.');
    if (dot == std::string::npos) return {};
    rest.resize(dot);
  }
  return rest;
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
    ours = entry.kind() == EntryKind::File && entry.owned_by_user() &&
           (!f.empty_only || entry.size() == 0);
    if (!ours) why = "není to obyčejný soubor tohoto uživatele";
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

// The identity of the installation's game folder, as the shortcuts that are
// its own must lead there.
std::vector<platform::FolderIdentity> own_game_folder(const Record& record,
                                                      const std::string& game) {
  std::vector<platform::FolderIdentity> out;
  const RecordedFolder* f = record.folder(game);
  std::string why;
  if (f != nullptr)
    if (const auto dir = open_recorded_folder(*f, why)) out.push_back(dir->identity());
  return out;
}

}  // namespace

std::string PlannedFile::path() const {
  return !folder.empty() && platform::is_path_separator(folder.back())
             ? folder + name
             : folder + platform::kPathSeparator + name;
}

std::vector<std::string> settings_kept(const std::vector<std::string>& lines) {
  return {lines.begin(), lines.begin() + ptrdiff_t(std::min<size_t>(lines.size(), 4))};
}

UninstallPlan plan_uninstall(const std::optional<Record>& record, const std::string& record_file,
                             const std::vector<std::string>& settings_lines,
                             const std::string& settings_path) {
  if (record && record->game_folders.size() > 1) {
    UninstallPlan plan;
    plan.record_file = record_file;
    plan.record = *record;
    plan.refusal = "Hra Zarnik je nainstalována vícekrát:";
    for (const auto& g : record->game_folders) plan.refusal += "\n" + utf8(g);
    return plan;
  }
  const std::string game =
      record && !record->game_folders.empty() ? record->game_folders.front() : std::string();
  return plan_uninstall(record, record_file, settings_lines, settings_path, game);
}

UninstallPlan plan_uninstall(const std::optional<Record>& record, const std::string& record_file,
                             const std::vector<std::string>& settings_lines,
                             const std::string& settings_path, const std::string& game) {
  UninstallPlan plan;
  plan.record_file = record_file;
  plan.game = game;
  if (!record) {
    // A first record whose writing was cut off leaves only its temporary
    // file: that goes, as everything else an installation wrote would.
    if (const platform::OpenFolder dir(parent_folder(record_file)); dir.is_open())
      for (const auto& name : dir.names())
        if (platform::is_abandoned_temporary(record_file, name) && dir.entry(name).owned_by_user())
          plan.files.push_back({parent_folder(record_file),
                                dir.identity(),
                                name,
                                {RecordedKind::File, parent_folder(record_file), {}, {}, {}},
                                true});
    // Killed before anything was written into it, a first record is an
    // empty file of the user's own: that goes too.
    if (const platform::OpenFolder dir(parent_folder(record_file)); dir.is_open()) {
      platform::FolderEntry entry = dir.entry(file_name(record_file));
      if (entry.kind() == EntryKind::File && entry.owned_by_user() && entry.size() == 0) {
        PlannedFile empty{parent_folder(record_file),
                          dir.identity(),
                          file_name(record_file),
                          {RecordedKind::File, parent_folder(record_file), {}, {}, {}},
                          true};
        empty.empty_only = true;
        plan.files.push_back(std::move(empty));
      }
    }
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
  if (!game.empty() && !r.is_game_folder(game)) {
    plan.refusal = "Záznam instalace neuvádí instalaci hry v adresáři " + utf8(game) + ".";
    return plan;
  }
  for (const auto& line : r.unreadable)
    plan.left_alone.push_back({line, "řádek záznamu instalace nelze přečíst"});

  std::map<std::string, FolderState> folders;
  for (const auto& f : r.folders) {
    FolderState state;
    state.dir = open_recorded_folder(f, state.why);
    state.gone = !state.dir && is_gone(f.path);
    folders.emplace(f.path, std::move(state));
  }
  const auto games = own_game_folder(r, game);
  const std::string record_folder = parent_folder(record_file);

  auto planned = [&](const RecordedFile& file, const FolderState& state,
                     const std::string& folder) {
    return PlannedFile{folder, state.dir->identity(), file_name(file.path), file, false};
  };
  // This installation's files by folder, for the temporary files beside them.
  std::unordered_map<std::string, std::unordered_set<std::string>> names_in;
  names_in[path_key(record_folder)].insert(path_key(file_name(record_file)));
  for (const auto& file : r.files) {
    if (!Record::belongs_to(file, game)) continue;
    if (file.kind == RecordedKind::Registration) {
      plan.registration = file;
      continue;
    }
    const std::string folder = parent_folder(file.path);
    const RecordedFolder* rf = r.folder(folder);
    const FolderState& state = folders.at(rf->path);
    names_in[path_key(rf->path)].insert(path_key(file_name(file.path)));
    if (!state.dir) {
      if (!state.gone)
        plan.left_alone.push_back({file.path, "adresář " + utf8(folder) + ": " + state.why});
      continue;
    }
    // The installer records a folder's identity before it writes a file
    // into it; a folder without one holds no file of the installation.
    if (!rf->known) {
      plan.left_alone.push_back({file.path, "adresář " + utf8(folder) + " není v záznamu celý"});
      continue;
    }
    // The score table is the game's file in this installation's folder, the
    // settings file the one beside the record: an entry that names any
    // other file is no such thing.
    if (file.kind == RecordedKind::Scores && !same_name(folder, game)) {
      plan.left_alone.push_back({file.path, "není to tabulka rekordů této instalace"});
      continue;
    }
    if (file.kind == RecordedKind::Settings && !same_name(file.path, settings_path) &&
        !(same_name(folder, record_folder) &&
          same_name(file_name(file.path), shell::kSettingsFileName))) {
      plan.left_alone.push_back({file.path, "není to soubor nastavení vedle záznamu instalace"});
      continue;
    }
    platform::FolderEntry entry = state.dir->entry(file_name(file.path));
    bool gone = false;
    std::string why;
    if (is_recorded_file(file, entry, games, gone, why)) {
      if (file.kind == RecordedKind::Scores)
        plan.scores = planned(file, state, rf->path);
      else if (file.kind == RecordedKind::Settings)
        plan.settings = planned(file, state, rf->path);
      else
        plan.files.push_back(planned(file, state, rf->path));
    } else if (!gone) {
      plan.left_alone.push_back({file.path, why});
    }
  }
  // Temporary files that an interrupted copy or save of this user left
  // beside the installation's files (the record's own included).
  for (const auto& f : r.folders) {
    const FolderState& state = folders.at(f.path);
    const auto names = names_in.find(path_key(f.path));
    if (!state.dir || !f.known || names == names_in.end()) continue;
    for (const auto& name : state.dir->names()) {
      const std::string target = temporary_target(name);
      if (target.empty() || names->second.count(path_key(target)) == 0) continue;
      const std::string target_path = f.path + platform::kPathSeparator + target;
      if (!platform::is_abandoned_temporary(target_path, name) ||
          !state.dir->entry(name).owned_by_user())
        continue;
      RecordedFile temp{RecordedKind::File, f.path + platform::kPathSeparator + name, {}, {}, {}};
      plan.files.push_back({f.path, state.dir->identity(), name, temp, true});
    }
  }

  // The settings file's list, where the record does not name a line: when
  // this installation wrote it.
  if (plan.settings)
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

UninstallResult perform_uninstall(const UninstallPlan& plan, bool keep_scores, bool keep_settings) {
  UninstallResult result;
  if (!plan.refusal.empty()) return result;
  const auto games = own_game_folder(plan.record, plan.game);
  // The installation's entries that stay in the record: what could not go.
  std::unordered_set<std::string> staying;

  for (const auto& f : plan.files) {
    std::string why;
    if (remove_planned(f, games, why)) continue;
    result.failures.push_back("smazat " + utf8(f.path()) + " (" + why + ")");
    if (!f.temporary) staying.insert(path_key(f.recorded.path));
  }
  if (plan.scores) {
    std::string why;
    if (keep_scores) {
      result.kept.push_back("tabulka rekordů " + utf8(plan.scores->path()));
      staying.insert(path_key(plan.scores->recorded.path));
    } else if (!remove_planned(*plan.scores, games, why)) {
      result.failures.push_back("smazat " + utf8(plan.scores->path()) + " (" + why + ")");
      staying.insert(path_key(plan.scores->recorded.path));
    }
  }
  if (plan.settings) {
    const PlannedFile& s = *plan.settings;
    std::string why;
    if (!keep_settings) {
      if (!remove_planned(s, games, why)) {
        result.failures.push_back("smazat " + utf8(s.path()) + " (" + why + ")");
        staying.insert(path_key(s.recorded.path));
      }
    } else {
      // The game's lines stay; the installation's list after them goes.
      // What the file holds is read again: the game may have rewritten it.
      try {
        std::vector<uint8_t> bytes;
        bool there = false;
        {
          // Read and let go before it is replaced (Windows replaces no file
          // that a handle holds open).
          const platform::OpenFolder dir(s.folder);
          platform::FolderEntry entry = dir.entry(s.name);
          there = entry.kind() == EntryKind::File;
          if (there && dir.identity() != s.folder_id)
            throw std::runtime_error("adresář se mezitím změnil");
          if (there && !entry.read(shell::kMaxSettingsFileBytes, bytes))
            throw std::runtime_error(entry.error());
        }
        if (there) {
          const auto lines = platform::split_lines(bytes);
          if (lines.size() > 4) shell::write_settings_lines(s.path(), settings_kept(lines));
          result.kept.push_back("soubor nastavení " + utf8(s.path()) +
                                " (jen řádky, které zapisuje hra: velikost obrazovky, jméno "
                                "hráče a zástupce hry)");
        }
      } catch (const std::exception& e) {
        result.failures.push_back("zkrátit soubor nastavení " + utf8(s.path()) + " (" + e.what() +
                                  ")");
        staying.insert(path_key(s.recorded.path));
      }
    }
  }
  if (plan.registration) {
    AppRegistry* registry = app_registry();
    std::string why;
    if (registry != nullptr) {
      const auto there = registry->read(plan.registration->path);
      if (there && registration_digest(*there) != plan.registration->content.sha256)
        result.kept.push_back("položka Zarnik v seznamu aplikací systému (změnila se)");
      else if (there && !registry->remove(plan.registration->path, why)) {
        result.failures.push_back("odebrat hru ze seznamu aplikací systému (" + why + ")");
        staying.insert(path_key(plan.registration->path));
      }
    }
  }
  for (const auto& l : plan.left_alone)
    if (const RecordedFile* f = plan.record.file(l.line); f && Record::belongs_to(*f, plan.game))
      result.kept.push_back(utf8(l.line) + " (" + l.reason + ")");

  // The record as it is now, without what went: this installation keeps
  // only what could not go, every other installation all of its own. It
  // goes when nothing is left in it.
  auto forget_this_installation = [&](Record& r) {
    r.remove_files([&](const RecordedFile& f) {
      return Record::belongs_to(f, plan.game) && staying.count(path_key(f.path)) == 0;
    });
    const bool left = std::any_of(r.files.begin(), r.files.end(), [&](const RecordedFile& f) {
      return Record::belongs_to(f, plan.game);
    });
    if (!left && !plan.game.empty())
      r.game_folders.erase(
          std::remove_if(r.game_folders.begin(), r.game_folders.end(),
                         [&](const std::string& g) { return same_name(g, plan.game); }),
          r.game_folders.end());
    return !r.files.empty();
  };
  Record rest;
  try {
    rest = change_record(plan.record_file, forget_this_installation);
  } catch (const std::exception& e) {
    result.failures.push_back(std::string("zapsat záznam instalace (") + e.what() + ")");
    return result;
  }
  const bool record_stays = !rest.files.empty();

  // Only empty folders go, and only the very folder that was made. One
  // that another installation's files need, or that holds the record kept,
  // is no news.
  auto within_any = [](const Record& r, const std::string& folder, const std::string& except) {
    for (const auto& g : r.game_folders)
      if (!same_name(g, except) && at_or_within(g, folder)) return true;
    return std::any_of(r.files.begin(), r.files.end(), [&](const RecordedFile& f) {
      return f.kind != RecordedKind::Registration && !Record::belongs_to(f, except) &&
             at_or_within(f.path, folder);
    });
  };
  for (const auto& f : plan.folders) {
    if (record_stays &&
        (at_or_within(plan.record_file, f.path) || within_any(rest, f.path, plan.game)))
      continue;
    const platform::OpenFolder parent(parent_folder(f.path));
    platform::FolderEntry entry = parent.entry(file_name(f.path));
    if (entry.kind() == EntryKind::Missing || is_gone(f.path)) continue;
    if (entry.kind() == EntryKind::Folder && (!f.known || entry.identity() == f.id) &&
        entry.remove_folder())
      continue;
    result.kept.push_back("adresář " + utf8(f.path) + " (není prázdný)");
  }
  // The record that stays keeps the folders what stays in it needs.
  if (record_stays) {
    try {
      change_record(plan.record_file, [&](Record& r) {
        std::vector<std::string> unneeded;
        for (const auto& f : r.folders)
          if (!at_or_within(plan.record_file, f.path) && !within_any(r, f.path, std::string()))
            unneeded.push_back(f.path);
        for (const auto& f : unneeded) r.remove_folder(f);
        return !r.files.empty();
      });
    } catch (const std::exception& e) {
      result.failures.push_back(std::string("zapsat záznam instalace (") + e.what() + ")");
    }
  }
  return result;
}

}  // namespace installer
