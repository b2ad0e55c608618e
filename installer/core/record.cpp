#include "installer/core/record.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "platform/files.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"

namespace installer {

namespace {

using platform::same_name;

// The most a shortcut is read to see where it leads (a few hundred bytes).
constexpr uint64_t kMaxShortcutBytes = uint64_t(1) << 20;

bool parse_number(std::string_view text, uint64_t& out) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

// "volume:index" or "-".
bool parse_identity(std::string_view text, RecordedFolder& folder) {
  if (text == "-") {
    folder.known = false;
    return true;
  }
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  folder.known = true;
  return parse_number(text.substr(0, colon), folder.id.volume) &&
         parse_number(text.substr(colon + 1), folder.id.index);
}

// Splits `line` into `count` words separated by single spaces and the rest
// (the path); false when there are fewer.
bool split(std::string_view line, size_t count, std::vector<std::string_view>& words,
           std::string& rest) {
  words.clear();
  for (size_t i = 0; i < count; ++i) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    words.push_back(line.substr(0, space));
    line.remove_prefix(space + 1);
  }
  rest = std::string(line);
  return true;
}

// Whether `name` is a single name that a program in the game folder can have.
bool is_program_name(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(),
                      [](char c) { return platform::is_path_separator(c) || c == ' '; });
}

template <class Entry>
auto find_path(std::vector<Entry>& entries, const std::string& path) {
  return std::find_if(entries.begin(), entries.end(),
                      [&](const Entry& e) { return same_name(e.path, path); });
}

}  // namespace

const RecordedFolder* Record::folder(const std::string& path) const {
  for (const auto& f : folders)
    if (same_name(f.path, path)) return &f;
  return nullptr;
}

const RecordedFile* Record::file(const std::string& path) const {
  for (const auto& f : files)
    if (same_name(f.path, path)) return &f;
  return nullptr;
}

bool Record::is_game_folder(const std::string& path) const {
  return std::any_of(game_folders.begin(), game_folders.end(),
                     [&](const std::string& g) { return same_name(g, path); });
}

void Record::set(const RecordedFolder& folder) {
  const auto it = find_path(folders, folder.path);
  if (it == folders.end())
    folders.push_back(folder);
  else
    *it = folder;
}

void Record::set(const RecordedFile& file) {
  const auto it = find_path(files, file.path);
  if (it == files.end())
    files.push_back(file);
  else
    *it = file;
}

void Record::add_game_folder(const std::string& path) {
  if (!is_game_folder(path)) game_folders.push_back(path);
}

void Record::remove_file(const std::string& path) {
  const auto it = find_path(files, path);
  if (it != files.end()) files.erase(it);
}

void Record::remove_folder(const std::string& path) {
  const auto it = find_path(folders, path);
  if (it != folders.end()) folders.erase(it);
  game_folders.erase(std::remove_if(game_folders.begin(), game_folders.end(),
                                    [&](const std::string& g) { return same_name(g, path); }),
                     game_folders.end());
}

bool Record::holds_nothing() const {
  return files.empty() &&
         std::none_of(folders.begin(), folders.end(), [](const auto& f) { return f.made; });
}

Record parse_record(const std::vector<std::string>& lines) {
  Record r;
  std::vector<std::string_view> words;
  std::string path;
  // Entries are checked against the folders once all are read.
  std::vector<std::pair<RecordedFile, std::string>> files;
  std::vector<std::pair<std::string, std::string>> games;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    const std::string_view keyword = std::string_view(line).substr(0, line.find(' '));
    bool ok = false;
    if (keyword == "folder" && split(line, 3, words, path)) {
      RecordedFolder f;
      f.path = path;
      f.made = words[1] == "made";
      // Only a folder made just after the record was written lacks its
      // identity; a folder found is always recorded with it.
      ok = (f.made || words[1] == "found") && parse_identity(words[2], f) && (f.made || f.known) &&
           is_plain_path(path);
      if (ok) r.set(f);
    } else if (keyword == "game" && split(line, 1, words, path)) {
      ok = true;
      games.emplace_back(path, line);
    } else if (keyword == "file" && split(line, 3, words, path)) {
      RecordedFile f;
      f.path = path;
      ok = parse_number(words[1], f.content.size) && is_sha256_hex(words[2]);
      f.content.sha256 = std::string(words[2]);
      if (ok) files.emplace_back(f, line);
    } else if (keyword == "shortcut" && split(line, 2, words, path)) {
      RecordedFile f;
      f.kind = RecordedKind::Shortcut;
      f.path = path;
      f.program = std::string(words[1]);
      ok = is_program_name(f.program);
      if (ok) files.emplace_back(f, line);
    } else if ((keyword == "scores" || keyword == "settings") && split(line, 1, words, path)) {
      RecordedFile f;
      f.kind = keyword == "scores" ? RecordedKind::Scores : RecordedKind::Settings;
      f.path = path;
      ok = true;
      files.emplace_back(f, line);
    }
    if (!ok) r.unreadable.push_back(line);
  }
  for (const auto& [game, line] : games) {
    if (r.folder(game) != nullptr)
      r.add_game_folder(r.folder(game)->path);
    else
      r.unreadable.push_back(line);
  }
  for (const auto& [file, line] : files) {
    // A file lies in a recorded folder; scores lie in a game folder.
    const std::string folder = is_plain_path(file.path) ? parent_folder(file.path) : std::string();
    const bool placed = !folder.empty() && r.folder(folder) != nullptr &&
                        (file.kind != RecordedKind::Scores || r.is_game_folder(folder));
    if (placed)
      r.set(file);
    else
      r.unreadable.push_back(line);
  }
  return r;
}

std::vector<std::string> record_lines(const Record& record) {
  std::vector<std::string> out{kRecordHeader};
  for (const auto& f : record.folders) {
    const std::string id =
        f.known ? std::to_string(f.id.volume) + ":" + std::to_string(f.id.index) : std::string("-");
    out.push_back(std::string("folder ") + (f.made ? "made " : "found ") + id + " " + f.path);
  }
  for (const auto& g : record.game_folders) out.push_back("game " + g);
  for (const auto& f : record.files) {
    switch (f.kind) {
      case RecordedKind::File:
        out.push_back("file " + std::to_string(f.content.size) + " " + f.content.sha256 + " " +
                      f.path);
        break;
      case RecordedKind::Shortcut: out.push_back("shortcut " + f.program + " " + f.path); break;
      case RecordedKind::Scores: out.push_back("scores " + f.path); break;
      case RecordedKind::Settings: out.push_back("settings " + f.path); break;
    }
  }
  return out;
}

std::string record_path(const std::string& settings_folder) {
  return settings_folder + platform::kPathSeparator + kRecordFileName;
}

std::optional<Record> read_record(const std::string& path) {
  const platform::OpenFolder dir(parent_folder(path));
  if (!dir.is_open()) return std::nullopt;
  platform::FolderEntry entry = dir.entry(file_name(path));
  if (entry.kind() == platform::EntryKind::Missing) return std::nullopt;
  std::vector<uint8_t> bytes;
  if (!entry.read(kMaxRecordBytes, bytes))
    throw std::runtime_error("Záznam instalace " + platform::utf8_from_path(path) +
                             " nelze přečíst: " + entry.error());
  const auto lines = platform::split_lines(bytes);
  if (lines.empty() || lines[0] != kRecordHeader)
    throw std::runtime_error("Soubor " + platform::utf8_from_path(path) +
                             " není záznam instalace, jak ho tento instalátor zapisuje.");
  return parse_record(lines);
}

void write_record(const std::string& path, const Record& record) {
  shell::write_settings_lines(path, record_lines(record));
}

bool is_plain_path(const std::string& path) {
  if (!platform::is_absolute_path(path) || !shell::is_single_line(path) ||
      path.size() > platform::max_path_length())
    return false;
  const auto names = platform::path_names(path);
  if (names.empty()) return false;  // a root holds no installation
  if (platform::is_path_separator(path.back())) return false;
  return std::all_of(names.begin(), names.end(), [](const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.size() <= platform::max_name_length();
  });
}

std::string parent_folder(const std::string& path) {
  size_t sep = path.size();
  while (sep > 0 && !platform::is_path_separator(path[sep - 1])) --sep;
  if (sep == 0) return {};
  std::string folder = path.substr(0, sep);
  // The root keeps its separator ("/", "C:\"); any other folder loses it.
  if (platform::path_names(folder).empty()) return folder;
  folder.pop_back();
  return folder;
}

std::string file_name(const std::string& path) {
  size_t sep = path.size();
  while (sep > 0 && !platform::is_path_separator(path[sep - 1])) --sep;
  return path.substr(sep);
}

std::vector<std::string> folders_to(const std::string& path) {
  std::vector<std::string> out;
  for (std::string p = path; !p.empty() && !platform::path_names(p).empty(); p = parent_folder(p))
    out.push_back(p);
  std::reverse(out.begin(), out.end());
  return out;
}

std::unique_ptr<platform::OpenFolder> open_recorded_folder(const RecordedFolder& folder,
                                                           std::string& why) {
  auto dir = std::make_unique<platform::OpenFolder>(
      folder.path, folder.known ? platform::LastName::Follow : platform::LastName::NoFollow);
  if (!dir->is_open()) {
    why = dir->error();
    return nullptr;
  }
  if (folder.known && dir->identity() != folder.id) {
    why = "je to jiný adresář než ten, který instalace zaznamenala";
    return nullptr;
  }
  return dir;
}

std::vector<platform::FolderIdentity> game_folder_identities(const Record& record) {
  std::vector<platform::FolderIdentity> out;
  for (const auto& g : record.game_folders) {
    const RecordedFolder* f = record.folder(g);
    std::string why;
    if (f == nullptr) continue;
    if (const auto dir = open_recorded_folder(*f, why)) out.push_back(dir->identity());
  }
  return out;
}

bool is_recorded_file(const RecordedFile& file, platform::FolderEntry& entry,
                      const std::vector<platform::FolderIdentity>& game_folders, bool& gone,
                      std::string& why) {
  using platform::EntryKind;
  gone = false;
  switch (entry.kind()) {
    case EntryKind::Missing: gone = true; return false;
    case EntryKind::Failed: why = entry.error(); return false;
    case EntryKind::Link: why = "je to odkaz"; return false;
    case EntryKind::Folder: why = "je to adresář"; return false;
    case EntryKind::Other: why = "není to obyčejný soubor"; return false;
    case EntryKind::File: break;
  }
  switch (file.kind) {
    case RecordedKind::Scores:
    case RecordedKind::Settings: return true;
    case RecordedKind::File: {
      if (entry.size() != file.content.size) {
        why = "změnil se (jiná velikost, než jakou instalace zapsala)";
        return false;
      }
      Sha256 h;
      if (!entry.read_each(file.content.size,
                           [&](const uint8_t* p, size_t n) { h.update(p, n); })) {
        why = entry.error();
        return false;
      }
      if (h.hex() != file.content.sha256) {
        why = "změnil se (jiný obsah, než jaký instalace zapsala)";
        return false;
      }
      return true;
    }
    case RecordedKind::Shortcut: {
      std::vector<uint8_t> bytes;
      if (entry.size() > kMaxShortcutBytes || !entry.read(kMaxShortcutBytes, bytes)) {
        why = "není to zástupce hry";
        return false;
      }
      // Where it leads: the program's name in a folder that is a game
      // folder of the record, whatever path names it (the installer names
      // the folder as it was chosen, the game as it runs in it).
      const std::string target = platform::path_from_utf8(shell::read_shell_link_target(bytes));
      const std::string folder = parent_folder(target);
      const bool leads_home =
          platform::is_absolute_path(target) && !folder.empty() &&
          same_name(file_name(target), file.program) && [&] {
            const platform::OpenFolder there(folder);
            return there.is_open() && std::find(game_folders.begin(), game_folders.end(),
                                                there.identity()) != game_folders.end();
          }();
      if (!leads_home) why = "není to zástupce hry";
      return leads_home;
    }
  }
  return false;
}

}  // namespace installer
