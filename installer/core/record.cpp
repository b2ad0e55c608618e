#include "installer/core/record.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <map>
#include <stdexcept>
#include <thread>

#include "game/game_files.h"
#include "installer/core/registration.h"
#include "platform/files.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"

namespace installer {

namespace {

using platform::same_name;

constexpr const char* kScoresName = game::kScoreFile;
constexpr const char* kSettingsName = shell::kSettingsFileName;

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

std::string path_key(const std::string& path) {
#ifdef _WIN32
  // Letters compare without regard to case: ASCII ones are set in capitals,
  // every other character stands as one mark (two names that differ in one
  // of them land together, and same_name tells them apart).
  std::string key;
  key.reserve(path.size());
  for (size_t i = 0; i < path.size(); ++i) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c < 0x80) {
      key += c == '/' ? '\\' : static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    } else if ((c & 0xC0) != 0x80) {
      key += '\x80';
    }
  }
  return key;
#else
  return path;
#endif
}

size_t Record::find_file(const std::string& path) const {
  // Entries removed or replaced since the index was made are caught below.
  if (indexed_ > files.size()) {
    index_.clear();
    indexed_ = 0;
  }
  for (; indexed_ < files.size(); ++indexed_)
    index_.emplace(path_key(files[indexed_].path), indexed_);
  const auto [from, to] = index_.equal_range(path_key(path));
  for (auto it = from; it != to; ++it)
    if (it->second < files.size() && same_name(files[it->second].path, path)) return it->second;
  return files.size();
}

const RecordedFile* Record::file(const std::string& path) const {
  const size_t at = find_file(path);
  return at < files.size() ? &files[at] : nullptr;
}

bool Record::belongs_to(const RecordedFile& file, const std::string& game) {
  return same_name(file.game, game);
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
  const size_t at = find_file(file.path);
  if (at == files.size())
    files.push_back(file);
  else
    files[at] = file;
}

void Record::add_game_folder(const std::string& path) {
  if (!is_game_folder(path)) game_folders.push_back(path);
}

void Record::remove_file(const std::string& path) {
  const size_t at = find_file(path);
  if (at == files.size()) return;
  files.erase(files.begin() + ptrdiff_t(at));
  // Every later entry has moved.
  index_.clear();
  indexed_ = 0;
}

void Record::remove_files(const std::function<bool(const RecordedFile&)>& which) {
  files.erase(std::remove_if(files.begin(), files.end(), which), files.end());
  index_.clear();
  indexed_ = 0;
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
  const bool first_form = !lines.empty() && lines[0] == kFirstRecordHeader;
  std::vector<std::string_view> words;
  std::string path;
  // Entries are checked against the folders once all are read; each with
  // the game line it came after (none: -1), and its line.
  struct Pending {
    RecordedFile file;
    ptrdiff_t game;
    std::string line;
  };
  std::vector<Pending> files;
  std::vector<std::pair<std::string, std::string>> games;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    const std::string_view keyword = std::string_view(line).substr(0, line.find(' '));
    const ptrdiff_t game = ptrdiff_t(games.size()) - 1;
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
      if (ok) files.push_back({f, game, line});
    } else if (keyword == "shortcut" && split(line, 2, words, path)) {
      RecordedFile f;
      f.kind = RecordedKind::Shortcut;
      f.path = path;
      f.program = std::string(words[1]);
      ok = is_program_name(f.program);
      if (ok) files.push_back({f, game, line});
    } else if ((keyword == "scores" || keyword == "settings") && split(line, 1, words, path)) {
      RecordedFile f;
      f.kind = keyword == "scores" ? RecordedKind::Scores : RecordedKind::Settings;
      f.path = path;
      ok = true;
      files.push_back({f, game, line});
    } else if (keyword == "registration" && split(line, 2, words, path)) {
      RecordedFile f;
      f.kind = RecordedKind::Registration;
      f.path = path;
      f.content.sha256 = std::string(words[1]);
      ok = is_sha256_hex(words[1]) && same_name(path, kRegistrationKey);
      if (ok) files.push_back({f, game, line});
    }
    if (!ok) r.unreadable.push_back(line);
  }
  std::vector<std::string> game_of_line(games.size());
  for (size_t g = 0; g < games.size(); ++g) {
    const auto& [game, line] = games[g];
    if (r.folder(game) != nullptr) {
      game_of_line[g] = r.folder(game)->path;
      r.add_game_folder(game_of_line[g]);
    } else {
      r.unreadable.push_back(line);
    }
  }
  for (auto& [file, game, line] : files) {
    // A file lies in a recorded folder; the score table is data.dat in a
    // game folder; the settings file is beside the record.
    const bool is_path = file.kind != RecordedKind::Registration;
    const std::string folder =
        is_path && is_plain_path(file.path) ? parent_folder(file.path) : std::string();
    const bool placed =
        !is_path ||
        (!folder.empty() && r.folder(folder) != nullptr &&
         (file.kind != RecordedKind::Scores ||
          (r.is_game_folder(folder) && same_name(file_name(file.path), kScoresName))) &&
         (file.kind != RecordedKind::Settings || same_name(file_name(file.path), kSettingsName)));
    // Whose it is: the game line it follows; in the first form, where the
    // game lines came first, the game folder it lies in, else the last one.
    if (first_form) {
      file.game = !folder.empty() && r.is_game_folder(folder) ? r.folder(folder)->path
                  : r.game_folders.empty()                    ? std::string()
                                                              : r.game_folders.back();
    } else if (game >= 0) {
      file.game = game_of_line[size_t(game)];
    }
    if (placed && !file.game.empty())
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
  // Each installation's entries after its game line, in the order recorded.
  std::unordered_map<std::string, std::vector<const RecordedFile*>> by_game;
  for (const auto& f : record.files) by_game[path_key(f.game)].push_back(&f);
  for (const auto& g : record.game_folders) {
    out.push_back("game " + g);
    const auto it = by_game.find(path_key(g));
    if (it == by_game.end()) continue;
    for (const RecordedFile* f : it->second) {
      if (!same_name(f->game, g)) continue;
      switch (f->kind) {
        case RecordedKind::File:
          out.push_back("file " + std::to_string(f->content.size) + " " + f->content.sha256 + " " +
                        f->path);
          break;
        case RecordedKind::Shortcut: out.push_back("shortcut " + f->program + " " + f->path); break;
        case RecordedKind::Scores: out.push_back("scores " + f->path); break;
        case RecordedKind::Settings: out.push_back("settings " + f->path); break;
        case RecordedKind::Registration:
          out.push_back("registration " + f->content.sha256 + " " + f->path);
          break;
      }
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
  const std::string shown = platform::utf8_from_path(path);
  if (entry.kind() == platform::EntryKind::File && !entry.owned_by_user())
    throw std::runtime_error("Záznam instalace " + shown +
                             " patří jinému uživateli, než pod kterým tento program běží. "
                             "Podle cizího záznamu se nic neodstraní ani nepřepíše.");
  if (entry.kind() == platform::EntryKind::File &&
      (entry.writable_by_others() || dir.writable_by_others()))
    throw std::runtime_error(
        "Záznam instalace " + shown + " mohou měnit i jiní uživatelé (" +
        (entry.writable_by_others() ? "má to v oprávněních"
                                    : "může do jeho adresáře zapisovat kdokoli") +
        "), a tak se podle něj nic neodstraní ani nepřepíše. Nastavte mu oprávnění jen pro sebe "
        "(chmod go-w), nebo ho smažte.");
  std::vector<uint8_t> bytes;
  if (!entry.read(kMaxRecordBytes, bytes))
    throw std::runtime_error("Záznam instalace " + shown + " nelze přečíst: " + entry.error());
  // The empty file a lock made for the first record holds nothing yet.
  if (bytes.empty()) return std::nullopt;
  const auto lines = platform::split_lines(bytes);
  if (lines.empty() || (lines[0] != kRecordHeader && lines[0] != kFirstRecordHeader))
    throw std::runtime_error("Soubor " + shown +
                             " není záznam instalace, jak ho tento instalátor zapisuje.");
  return parse_record(lines);
}

void write_record(const std::string& path, const Record& record) {
  shell::write_settings_lines(path, record_lines(record));
}

namespace {

// The record is made the user's alone, as an empty file, before it is first
// written; the record keeps these permissions whenever it is replaced.
void make_private(const std::string& path) {
#ifndef _WIN32
  int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  // An empty file of the user's own (a lock's, on Windows) holds no record yet.
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_size == 0)
    ::fchmod(fd, S_IRUSR | S_IWUSR);
  ::close(fd);
#else
  (void)path;
#endif
}

}  // namespace

namespace {

// The locks this process holds, by record: how often each is taken, and on
// the POSIX systems the folder's descriptor that holds it.
struct HeldLock {
  int count = 0;
  int fd = -1;
};
std::map<std::string, HeldLock>& held_locks() {
  static std::map<std::string, HeldLock> held;
  return held;
}

}  // namespace

RecordLock::RecordLock(const std::string& record_file, uint32_t wait_ms)
    : key_(path_key(record_file)) {
  HeldLock& lock = held_locks()[key_];
  if (lock.count > 0) {
    ++lock.count;
    held_ = true;
    return;
  }
#ifdef _WIN32
  file_lock_ = std::make_unique<platform::FileLock>(record_file, /*create=*/true, wait_ms);
  held_ = file_lock_->held();
#else
  // The folder, never the record: each write replaces the record's file,
  // and a lock on the file replaced would guard nothing.
  const int fd =
      ::open(parent_folder(record_file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (fd >= 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
      if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        break;
      }
      if (errno != EINTR && (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline))
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (held_)
      lock.fd = fd;
    else
      ::close(fd);
  }
#endif
  if (held_)
    lock.count = 1;
  else
    held_locks().erase(key_);
}

RecordLock::~RecordLock() {
  if (!held_) return;
  auto it = held_locks().find(key_);
  if (it == held_locks().end() || --it->second.count > 0) return;
#ifndef _WIN32
  ::close(it->second.fd);
#endif
  held_locks().erase(it);
}

Record change_record(const std::string& path, const std::function<bool(Record&)>& change) {
  // Held until the record is written; without it the change goes ahead all
  // the same, as one writer alone would.
  const RecordLock lock(path);
  std::optional<Record> now = read_record(path);
  Record r = now ? std::move(*now) : Record{};
  if (!now) make_private(path);
  if (!change(r)) {
    const platform::OpenFolder dir(parent_folder(path));
    platform::FolderEntry entry = dir.entry(file_name(path));
    if (entry.kind() != platform::EntryKind::Missing && !entry.remove())
      throw std::runtime_error("Záznam instalace " + platform::utf8_from_path(path) +
                               " nelze smazat: " + entry.error());
    return {};
  }
  write_record(path, r);
  return r;
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

bool is_gone(const std::string& path) {
  const std::string parent = parent_folder(path);
  if (parent.empty()) return false;
  const platform::OpenFolder dir(parent);
  if (dir.is_open()) return dir.entry(file_name(path)).kind() == platform::EntryKind::Missing;
  return !platform::path_names(parent).empty() && is_gone(parent);
}

std::string game_folder_at(const Record& record, const std::string& folder) {
  const platform::OpenFolder here(folder);
  if (!here.is_open()) return {};
  for (const auto& g : record.game_folders) {
    const RecordedFolder* f = record.folder(g);
    std::string why;
    if (f == nullptr) continue;
    if (const auto dir = open_recorded_folder(*f, why); dir && dir->identity() == here.identity())
      return g;
  }
  return {};
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
    case RecordedKind::Registration: why = "není to soubor"; return false;
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
      // A game folder that is gone (the player deleted it) is known by the
      // path the installation recorded.
      const std::string target = platform::path_from_utf8(shell::read_shell_link_target(bytes));
      const std::string folder = parent_folder(target);
      const bool leads_home =
          platform::is_absolute_path(target) && !folder.empty() &&
          same_name(file_name(target), file.program) && [&] {
            const platform::OpenFolder there(folder);
            if (!there.is_open())
              return !file.game.empty() && same_name(folder, file.game) && is_gone(folder);
            return std::find(game_folders.begin(), game_folders.end(), there.identity()) !=
                   game_folders.end();
          }();
      if (!leads_home) why = "není to zástupce hry";
      return leads_home;
    }
  }
  return false;
}

}  // namespace installer
