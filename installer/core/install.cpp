#include "installer/core/install.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "assets/icon.h"
#include "installer/core/record.h"
#include "installer/core/registration.h"
#include "platform/files.h"
#include "platform/folder_entries.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "shell/desktop_entry.h"
#include "shell/settings_file.h"
#include "shell/shell_folders.h"
#include "shell/shortcut.h"

namespace installer {

namespace {

using platform::EntryKind;
using platform::same_name;

const char kSep = platform::kPathSeparator;

// The largest payload file read (the game's largest is 13 MB).
constexpr uint64_t kMaxPayloadBytes = uint64_t(256) << 20;

// Room a folder's path must leave for the names written in it: the longest
// name, in the temporary form a whole write gives it (".NAME.PID.RANDOM.tmp").
constexpr size_t kNameRoom = 64;

std::string utf8(const std::string& path) { return platform::utf8_from_path(path); }

// The desktop entry beside a shortcut into `target`: it starts the program in
// the target folder, with the icon written there.
shell::DesktopEntry desktop_entry(const MenuShortcut& shortcut, const std::string& target) {
  shell::DesktopEntry e;
  e.name = shortcut.title;
  e.name_cs = shortcut.title_cs;
  e.comment = shortcut.comment;
  e.comment_cs = shortcut.comment_cs;
  e.program = target + kSep + shortcut.program;
  e.folder = target;
  e.icon = target + kSep + kIconFileName;
  const bool game = std::string(shortcut.program) == kGameProgram;
  e.categories = game ? "Game;ArcadeGame;" : "Game;";
  if (game) e.wm_class = kGameWindowClass;
  return e;
}

// Whether `path` is `root` or lies below it.
bool at_or_below(const std::string& path, const std::string& root) {
  if (root.empty() || path.size() < root.size()) return false;
  return same_name(path.substr(0, root.size()), root) &&
         (path.size() == root.size() || platform::is_path_separator(path[root.size()]));
}

// One installation as it goes: its record, kept on disk ahead of every folder
// and file it makes, what this run added (to undo it when the installation
// fails), and why a shortcut was left unwritten. Its changes to the record
// are kept until they are written, and then applied to the record as it is
// on disk at that moment (change_record), so that another installer or
// uninstaller working at the same time keeps its own entries.
class Installation : public shell::IkonaGuard {
 public:
  explicit Installation(const std::string& settings_folder)
      : record_file_(record_path(settings_folder)) {}

  // Reads the record there is; false (with `error`) when it cannot be read.
  bool load(std::string& error) {
    try {
      if (auto r = read_record(record_file_)) record_ = std::move(*r);
    } catch (const std::exception& e) {
      error = e.what();
      return false;
    }
    games_ = game_folder_identities(record_);
    return true;
  }

  const Record& record() const { return record_; }

  // "" when `path` is free for this installation: nothing is there, or what
  // is there is recorded as an installation's and still is; else why not.
  std::string occupied(const std::string& path) const {
    const platform::OpenFolder dir(parent_folder(path));
    if (!dir.is_open()) return {};  // its folder is made first
    platform::FolderEntry entry = dir.entry(file_name(path));
    if (entry.kind() == EntryKind::Missing) return {};
    const RecordedFile* recorded = record_.file(path);
    const RecordedFolder* folder = record_.folder(parent_folder(path));
    if (recorded == nullptr || folder == nullptr || (folder->known && folder->id != dir.identity()))
      return entry.kind() == EntryKind::File     ? "nezapsala ho instalace této hry"
             : entry.kind() == EntryKind::Link   ? "je to odkaz"
             : entry.kind() == EntryKind::Folder ? "je to adresář"
                                                 : "není to obyčejný soubor";
    bool gone = false;
    std::string why;
    return is_recorded_file(*recorded, entry, games_, gone, why) || gone ? std::string() : why;
  }

  // Makes the settings folder when it is missing and writes the record for
  // the first time; false (with `error`) when the record cannot be written.
  // (The settings folder cannot hold the record before it is there: a kill
  // just after it was made leaves it, empty, unrecorded.)
  bool begin(const std::string& settings_folder, std::string& error) {
    return make_folders(settings_folder, "", error, /*record_first=*/false) && save(error);
  }

  // Records the folders on the way to `target` that the folder chooser made
  // for it ("Nový adresář") as made, so that they go with the game.
  void adopt_chooser_folders(const std::vector<std::string>& made, const std::string& target) {
    for (const std::string& p : folders_to(target)) {
      if (same_name(p, target)) break;
      if (std::none_of(made.begin(), made.end(),
                       [&](const std::string& m) { return same_name(m, p); }))
        continue;
      const platform::OpenFolder here(p, platform::LastName::NoFollow);
      const RecordedFolder* known = record_.folder(p);
      if (here.is_open() && (known == nullptr || !known->made))
        set(RecordedFolder{p, true, true, here.identity()});
    }
  }

  // Makes `folder` with its missing parents, each recorded before it is made
  // (unless `record_first` is false: the record is then written after).
  // A link at `root` or below it is refused (names above it are followed).
  bool make_folders(const std::string& folder, const std::string& root, std::string& error,
                    bool record_first = true) {
    for (const std::string& p : folders_to(folder)) {
      const platform::OpenFolder parent(parent_folder(p));
      platform::FolderEntry entry = parent.entry(file_name(p));
      switch (entry.kind()) {
        case EntryKind::Folder: continue;
        case EntryKind::Link:
          if (!at_or_below(p, root)) continue;
          error = utf8(p) + " je odkaz na jiný adresář";
          return false;
        case EntryKind::Missing: break;
        case EntryKind::Failed: error = utf8(p) + ": " + entry.error(); return false;
        default: error = utf8(p) + " není adresář"; return false;
      }
      // Every missing folder from here on is made: all are recorded at once.
      const auto all = folders_to(folder);
      const std::vector<std::string> missing(std::find(all.begin(), all.end(), p), all.end());
      for (const auto& m : missing) set(RecordedFolder{m, true, false, {}});
      if (record_first && !save(error)) return false;
      for (const auto& m : missing) {
        std::string why;
        if (!platform::create_folder(m, why)) {
          // Another installation running at the same time may have made it
          // just now (and recorded it as made, as this one has).
          if (const platform::OpenFolder there(m, platform::LastName::NoFollow); there.is_open()) {
            set(RecordedFolder{m, true, true, there.identity()});
            continue;
          }
          for (const auto& n : missing)
            if (std::find(made_.begin(), made_.end(), n) == made_.end() &&
                !platform::folder_exists(n))
              forget_folder(n);
          error = utf8(m) + ": " + why;
          return false;
        }
        made_.push_back(m);
        const platform::OpenFolder made(m, platform::LastName::NoFollow);
        if (made.is_open()) set(RecordedFolder{m, true, true, made.identity()});
      }
      break;
    }
    // The folder written into, as it is now (a folder made by an earlier
    // installation stays recorded as made while it is that folder). Its
    // identity, not its name, is what the uninstaller goes by.
    const platform::OpenFolder here(folder);
    if (!here.is_open()) {
      error = utf8(folder) + ": " + here.error();
      return false;
    }
    const RecordedFolder* known = record_.folder(folder);
    const bool made =
        known != nullptr && known->made && (!known->known || known->id == here.identity());
    set(RecordedFolder{folder, made, true, here.identity()});
    return true;
  }

  // Records `folder` as the game folder of this installation, with its score
  // table when there is none in it yet (one that is there already is not
  // this installation's). Every file recorded from now on is this
  // installation's.
  void add_game_folder(const std::string& folder) {
    game_ = folder;
    change([folder](Record& r) { r.add_game_folder(folder); });
    const std::string scores = folder + kSep + kScoreFileName;
    const platform::OpenFolder dir(folder);
    if (record_.file(scores) == nullptr && dir.entry(kScoreFileName).kind() == EntryKind::Missing) {
      set(RecordedFile{RecordedKind::Scores, scores, {}, {}, game_});
      new_files_.push_back(scores);
    }
    games_ = game_folder_identities(record_);
  }

  // Records the copy of `from` at `to` with the content read from `from`, to
  // be made by copy(); the record is written by the next step that writes.
  bool plan_copy(const std::string& from, const std::string& to, std::string& error) {
    try {
      const ContentId content = content_id(platform::read_file(from, kMaxPayloadBytes));
      return add(RecordedFile{RecordedKind::File, to, content, {}, {}}, error, /*save_now=*/false);
    } catch (const std::exception& e) {
      error = platform::file_exists(from) ? e.what() : "soubor chybí";
      return false;
    }
  }

  // Copies `from` to `to` whole, as plan_copy recorded it.
  bool copy(const std::string& from, const std::string& to, std::string& error) {
    const RecordedFile* planned = record_.file(to);
    if (planned == nullptr) {
      error = "kopie není v záznamu instalace";
      return false;
    }
    const ContentId content = planned->content;
    return write_recorded(to, content, error, [&] { platform::copy_file_atomic(from, to); });
  }

  // Writes the record when it has changed since it was last written.
  bool flush(std::string& error) { return pending_.empty() || save(error); }

  // Writes `bytes` whole at `path`, recorded first.
  bool write(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    return write_recorded(path, content_id(bytes), error,
                          [&] { platform::write_file_atomic(path, bytes); });
  }

  // Records the settings file before it is written; false when it must not
  // be written (it is a link or no file). The game and the installer share
  // it: whoever wrote it before, the installation writes its lines there.
  bool add_settings(const std::string& path, std::string& error) {
    const platform::OpenFolder dir(parent_folder(path));
    const EntryKind kind = dir.entry(file_name(path)).kind();
    if (kind == EntryKind::Link || kind == EntryKind::Folder || kind == EntryKind::Other) {
      error = kind == EntryKind::Link ? "je to odkaz" : "není to obyčejný soubor";
      return false;
    }
    return add(RecordedFile{RecordedKind::Settings, path, {}, {}, {}}, error, /*save_now=*/true,
               /*whoever_wrote_it=*/true);
  }

  // Writes the system's entry for the installed game (core/registration.h)
  // when the system has one; recorded first. An entry there that no
  // installation of this game wrote is left alone.
  bool register_game(const std::string& target, std::string& error) {
    AppRegistry* registry = app_registry();
    if (registry == nullptr) return true;
    uint64_t size = 0;
    for (const auto& f : record_.files)
      if (f.kind == RecordedKind::File && same_name(parent_folder(f.path), target))
        size += f.content.size;
    hold();
    struct Release {
      Installation* i;
      ~Release() { i->release(); }
    } release_at_end{this};
    const RegistryValues values = registration_values(target, size);
    const RecordedFile* known = record_.file(kRegistrationKey);
    if (const auto there = registry->read(kRegistrationKey);
        there && (known == nullptr || registration_digest(*there) != known->content.sha256)) {
      error = "v registru už je položka Zarnik, kterou instalace této hry nezapsala";
      return false;
    }
    const std::optional<RecordedFile> before = known ? std::optional(*known) : std::nullopt;
    set(RecordedFile{
        RecordedKind::Registration, kRegistrationKey, {0, registration_digest(values)}, {}, game_});
    if (!save(error)) return false;
    if (registry->write(kRegistrationKey, values, error)) return true;
    if (before)
      set(*before);
    else
      forget_file(kRegistrationKey);
    std::string ignored;
    save(ignored);
    return false;
  }

  // Takes away what this run made that was not there before, newest first,
  // as far as it is still what was made; returns what stays (Czech). The
  // record keeps what stays and forgets what went; it goes itself when it
  // holds nothing more, with the folders made to hold it.
  std::vector<std::string> undo() {
    std::vector<std::string> stays;
    const auto games = game_folder_identities(record_);
    for (auto it = new_files_.rbegin(); it != new_files_.rend(); ++it) {
      const RecordedFile* recorded = record_.file(*it);
      if (recorded == nullptr) continue;
      const platform::OpenFolder dir(parent_folder(*it));
      platform::FolderEntry entry = dir.entry(file_name(*it));
      bool gone = false;
      std::string why;
      const bool ours = is_recorded_file(*recorded, entry, games, gone, why);
      if (ours && !entry.remove()) {
        stays.push_back(utf8(*it) + " (" + entry.error() + ")");
        continue;
      }
      forget_file(*it);
    }
    auto remove_made_folders = [&] {
      for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
        const RecordedFolder* f = record_.folder(*it);
        if (f == nullptr) continue;
        const platform::OpenFolder parent(parent_folder(*it));
        platform::FolderEntry entry = parent.entry(file_name(*it));
        if (entry.kind() == EntryKind::Missing ||
            (entry.kind() == EntryKind::Folder && (!f->known || entry.identity() == f->id) &&
             entry.remove_folder()))
          forget_folder(*it);
      }
    };
    remove_made_folders();
    // The game folder this run began to record is no installation when
    // nothing of it is left.
    if (!game_.empty() &&
        std::none_of(record_.files.begin(), record_.files.end(),
                     [&](const RecordedFile& f) { return Record::belongs_to(f, game_); }))
      change([game = game_](Record& r) {
        r.game_folders.erase(
            std::remove_if(r.game_folders.begin(), r.game_folders.end(),
                           [&](const std::string& g) { return same_name(g, game); }),
            r.game_folders.end());
      });
    // The record goes when what is left made in it is the folders this run
    // made to hold it; another installation's entries keep it.
    bool removed = false;
    try {
      const auto changes = std::move(pending_);
      pending_.clear();
      Record after = change_record(record_file_, [&](Record& r) {
        for (const auto& c : changes) c(r);
        removed = r.files.empty() &&
                  std::all_of(r.folders.begin(), r.folders.end(), [&](const RecordedFolder& f) {
                    return !f.made || std::find(made_.begin(), made_.end(), f.path) != made_.end();
                  });
        return !removed;
      });
      // Once the record is gone, this run's view still names the folders
      // that held it.
      if (!removed) record_ = std::move(after);
    } catch (const std::exception& e) {
      stays.push_back(std::string("záznam instalace nelze zapsat (") + e.what() + ")");
    }
    if (removed) {
      remove_made_folders();
    } else {
      for (const auto& f : record_.folders)
        if (f.made && std::find(made_.begin(), made_.end(), f.path) != made_.end() &&
            !at_or_below(record_file_, f.path))
          stays.push_back(utf8(f.path) + " (adresář není prázdný)");
    }
    for (const auto& f : record_.files)
      if (std::find(new_files_.begin(), new_files_.end(), f.path) != new_files_.end())
        stays.push_back(utf8(f.path));
    return stays;
  }

  // Why `path`, a shortcut or entry left unwritten, or its folder was
  // refused; empty when it was not refused.
  std::string refusal_for(const std::string& path) const {
    for (const auto& [p, why] : refused_)
      if (same_name(p, path) || at_or_below(path, p)) return why;
    return {};
  }

  // What ikona asks.
  bool ready_folder(const std::string& shell_folder, const std::string& folder) override {
    std::string why;
    if (make_folders(folder, shell_folder, why)) return true;
    refused_.emplace_back(folder, why);
    return false;
  }
  // Shortcuts and desktop entries are shared by the installations (the
  // Start menu's and the desktop's): each is recorded and written under the
  // record's lock, so that the installation recorded last for it is the one
  // that wrote it.
  bool before_shortcut(const std::string& path, const std::string& target) override {
    hold();
    std::string why;
    if (add(RecordedFile{RecordedKind::Shortcut, path, {}, file_name(target), {}}, why))
      return true;
    refused_.emplace_back(path, why);
    return false;
  }
  bool before_entry(const std::string& path, const std::string& text) override {
    hold();
    std::string why;
    if (add(RecordedFile{RecordedKind::File,
                         path,
                         content_id(std::vector<uint8_t>(text.begin(), text.end())),
                         {},
                         {}},
            why))
      return true;
    refused_.emplace_back(path, why);
    return false;
  }
  void after_write(const std::string&) override { release(); }

  // The record's lock, held from recording a shared file to writing it.
  // The record is read again once it is held: another installation may
  // have written the same file since.
  void hold() {
    if (held_) return;
    held_ = std::make_unique<RecordLock>(record_file_);
    std::string ignored;
    save(ignored);
  }
  void release() { held_.reset(); }

 private:
  // Changes the record as this run sees it, and keeps the change for the
  // next write.
  void change(std::function<void(Record&)> c) {
    c(record_);
    pending_.push_back(std::move(c));
  }
  void set(const RecordedFolder& f) {
    change([f](Record& r) {
      // A folder another installation made (and recorded so since this run
      // last read the record) stays made.
      RecordedFolder g = f;
      const RecordedFolder* known = r.folder(g.path);
      if (!g.made && known && known->made && (!known->known || known->id == g.id)) g.made = true;
      r.set(g);
    });
  }
  void set(const RecordedFile& f) {
    change([f](Record& r) { r.set(f); });
  }
  void forget_file(const std::string& path) {
    change([path](Record& r) { r.remove_file(path); });
  }
  void forget_folder(const std::string& path) {
    change([path](Record& r) { r.remove_folder(path); });
  }

  // Writes this run's changes into the record as it is on disk now.
  bool save(std::string& error) {
    try {
      const auto changes = std::move(pending_);
      pending_.clear();
      record_ = change_record(record_file_, [&](Record& r) {
        for (const auto& c : changes) c(r);
        return true;
      });
      games_ = game_folder_identities(record_);
      return true;
    } catch (const std::exception& e) {
      error = std::string("záznam instalace nelze zapsat (") + e.what() + ")";
      return false;
    }
  }

  // Records `file` ahead of its write as this installation's, in a folder
  // recorded already, unless something that is not an installation's is at
  // its path (`whoever_wrote_it`: whatever file is there). The record is
  // written at once unless `save_now` is false; not at all when it holds
  // the entry already.
  bool add(RecordedFile file, std::string& error, bool save_now = true,
           bool whoever_wrote_it = false) {
    file.game = game_;
    // What is at the path is looked at once, when this run first claims it.
    if (previous(file.path) == nullptr) {
      if (record_.folder(parent_folder(file.path)) == nullptr) {
        error = "jeho adresář není v záznamu instalace";
        return false;
      }
      if (std::string why = whoever_wrote_it ? std::string() : occupied(file.path); !why.empty()) {
        error = why;
        return false;
      }
      const RecordedFile* known = record_.file(file.path);
      claimed_.push_back({file.path, known ? std::optional<RecordedFile>(*known) : std::nullopt});
      const platform::OpenFolder dir(parent_folder(file.path));
      if (dir.entry(file_name(file.path)).kind() == EntryKind::Missing)
        new_files_.push_back(file.path);
    }
    const RecordedFile* known = record_.file(file.path);
    const bool same = known != nullptr && known->kind == file.kind &&
                      known->content == file.content && known->program == file.program &&
                      Record::belongs_to(*known, file.game);
    if (!same) set(file);
    return !save_now || flush(error);
  }

  // The claim this run made on `path`: what the record said of it before.
  struct Claim {
    std::string path;
    std::optional<RecordedFile> before;
  };
  const Claim* previous(const std::string& path) const {
    for (const auto& c : claimed_)
      if (same_name(c.path, path)) return &c;
    return nullptr;
  }

  // Records `path` with `content`, runs `write` and checks what it wrote; an
  // earlier entry of the path is restored when the write fails.
  template <class Write>
  bool write_recorded(const std::string& path, const ContentId& content, std::string& error,
                      Write write) {
    if (!add(RecordedFile{RecordedKind::File, path, content, {}, {}}, error)) return false;
    try {
      write();
    } catch (const std::exception& e) {
      error = e.what();
      // The file there is still what the record said before this run.
      const std::optional<RecordedFile> before = previous(path)->before;
      if (before)
        set(*before);
      else
        forget_file(path);
      std::string ignored;
      save(ignored);
      return false;
    }
    // What is there now, should the source have changed while it was copied.
    const platform::OpenFolder dir(parent_folder(path));
    platform::FolderEntry entry = dir.entry(file_name(path));
    Sha256 h;
    if (entry.kind() == EntryKind::File &&
        entry.read_each(kMaxPayloadBytes, [&](const uint8_t* p, size_t n) { h.update(p, n); })) {
      const ContentId written{entry.size(), h.hex()};
      if (!(written == content)) {
        set(RecordedFile{RecordedKind::File, path, written, {}, game_});
        if (!save(error)) return false;
      }
    }
    return true;
  }

  std::string record_file_;
  Record record_;  // as on disk when last read or written, with this run's changes
  std::vector<std::function<void(Record&)>> pending_;  // changes not written yet
  std::string game_;                                   // this installation's game folder
  std::vector<platform::FolderIdentity> games_;
  std::vector<std::string> new_files_;  // paths that were free before this run wrote them
  std::vector<std::string> made_;       // folders this run made, parents first
  std::vector<std::pair<std::string, std::string>> refused_;  // path, why
  std::vector<Claim> claimed_;                                // every path this run has recorded
  std::unique_ptr<RecordLock> held_;
};

// A folder path as the installation needs it, or why it cannot be: `what`
// names it in the message.
std::string path_problem(const std::string& what, const std::string& path) {
  if (!platform::is_absolute_path(path)) return what + " není zadán úplnou cestou: " + utf8(path);
  if (path.size() + 1 + kNameRoom > platform::max_path_length())
    return what + " má příliš dlouhou cestu (" + std::to_string(path.size()) + " bajtů, nejvýš " +
           std::to_string(platform::max_path_length() - 1 - kNameRoom) + "): " + utf8(path);
  if (!is_plain_path(path))
    return what +
           " má v cestě prázdné jméno, \".\" nebo \"..\", nebo příliš dlouhé jméno: " + utf8(path);
  return {};
}

// A path as the user can read it in a box: line breaks shown as \r and \n.
std::string visible(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

// The names the installation writes into the game folder.
std::vector<std::string> game_folder_names() {
  std::vector<std::string> names;
  names.reserve(kPayload.size() + 2);
  for (const auto& p : kPayload) names.emplace_back(p.target);
  names.emplace_back(kGameLinkName);
  if (shell::kDesktopEntries) names.emplace_back(kIconFileName);
  return names;
}

}  // namespace

std::string source_folder() {
  std::string s = platform::current_directory();
  if (s.empty() || s.back() != kSep) s += kSep;
  return s;
}

std::string default_target_folder() {
  // A relative XDG_DATA_HOME is no folder at all (as the XDG rules say): it
  // would put the game wherever the installer happens to run.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (xdg && platform::is_absolute_path(xdg)) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : "") + "/.local/share";
  }
  while (base.size() > 1 && base.back() == kSep) base.pop_back();
  return base + kSep + kGameFolderName;
}

std::string target_for_chosen_folder(const std::string& chosen) {
  if (!chosen.empty() && chosen.back() == kSep) return chosen + kGameFolderName;
  return chosen + kSep + kGameFolderName;
}

std::string folder_refusal(const std::string& what, const std::string& path) {
  if (!shell::is_single_line(path))
    return what + " má v názvu konec řádku, hru do něj nelze nainstalovat:\n" + visible(path);
  // The programs keep paths as UTF-8 (the shortcuts, the desktop entries,
  // the record): a name in another encoding could not be found again.
  if (platform::utf16_to_utf8(platform::utf8_to_utf16(path)) != path)
    return what + " má v názvu bajty, které nejsou platný text UTF-8, hru do něj nelze " +
           "nainstalovat (zástupce by k ní nevedli). Zvolte prosím adresář s jiným názvem:\n" +
           platform::utf16_to_utf8(platform::utf8_to_utf16(path));
  // The settings file lists the paths in the system's code page: a path it
  // cannot spell would be listed wrongly, and the game could not find its
  // way back to it.
  const std::string unspellable = shell::unspellable_characters(path);
  if (!unspellable.empty())
    return what + " má v názvu znaky, které tento systém neumí zapsat do souboru nastavení " +
           "zarnik.ini (jeho kódová stránka je nemá): " + unspellable +
           "\nHru do něj nelze nainstalovat. Zvolte prosím adresář, jehož název tyto znaky " +
           "nemá.\n\n" + path;
  return {};
}

std::string installation_refusal(const std::string& target, const std::string& windows_dir) {
  const struct {
    const char* what;
    std::string path;
  } folders[] = {
      {"Cílový adresář", target},
      {"Adresář souboru nastavení", windows_dir},
      {"Adresář plochy", shell::shell_folder_path(platform::kDesktop)},
      {"Adresář nabídky Start", shell::shell_folder_path(platform::kPrograms)},
  };
  for (const auto& f : folders)
    if (std::string why = folder_refusal(f.what, f.path); !why.empty()) return why;
  for (const auto& f : {folders[0], folders[1]})
    if (std::string why = path_problem(f.what, f.path); !why.empty()) return why;

  {
    const platform::OpenFolder parent(parent_folder(target));
    const EntryKind kind = parent.entry(file_name(target)).kind();
    if (kind == EntryKind::Link)
      return "Cílový adresář je odkaz na jiný adresář; hra se instaluje jen do skutečného "
             "adresáře:\n" +
             utf8(target);
    if (kind == EntryKind::File || kind == EntryKind::Other)
      return "Cílová cesta nevede k adresáři:\n" + utf8(target);
  }

  Installation installation(windows_dir);
  std::string why;
  if (!installation.load(why))
    return why + "\nBez něj nelze instalaci zaznamenat; smažte ho nebo ho opravte.";
  std::string taken;
  for (const auto& name : game_folder_names()) {
    std::string path = target;
    path += kSep;
    path += name;
    if (std::string what = installation.occupied(path); !what.empty()) {
      taken += "\n- ";
      taken += name;
      taken += " (";
      taken += what;
      taken += ")";
    }
  }
  if (!taken.empty())
    return "V cílovém adresáři " + utf8(target) +
           " už jsou soubory, které žádná instalace této hry nezapsala, a instalace by je "
           "přepsala:" +
           taken + "\nZvolte jiný adresář, nebo je odtud odstraňte.";
  return {};
}

std::string new_folder_field(const std::string& selected) {
  if (selected.empty() || platform::is_path_separator(selected.back())) return selected;
  return selected + kSep;
}

NewFolder make_new_folder(const std::string& selected, const std::string& typed) {
  NewFolder out;
  if (typed.empty()) return out;
  std::string path = platform::is_absolute_path(typed) ? typed : new_folder_field(selected) + typed;
  // The field ends in a separator; so may what is typed.
  while (!platform::path_names(path).empty() && platform::is_path_separator(path.back()))
    path.pop_back();
  const std::string shown = visible(path);
  if (std::string why = folder_refusal("Nový adresář", path); !why.empty()) {
    out.refusal = why;
    return out;
  }
  if (!is_plain_path(path)) {
    out.refusal =
        "Adresář nelze vytvořit: v cestě je prázdné jméno, \".\" nebo \"..\", nebo "
        "je příliš dlouhá:\n" +
        shown;
    return out;
  }
  for (const std::string& p : folders_to(path)) {
    const platform::OpenFolder parent(parent_folder(p));
    platform::FolderEntry entry = parent.entry(file_name(p));
    const EntryKind kind = entry.kind();
    // A link to a folder is the user's own way there.
    if (kind == EntryKind::Folder || (kind == EntryKind::Link && platform::folder_exists(p)))
      continue;
    std::string why;
    if (kind == EntryKind::Missing && platform::create_folder(p, why)) {
      out.made.push_back(p);
      continue;
    }
    if (kind == EntryKind::Failed) why = entry.error();
    if (kind != EntryKind::Missing && kind != EntryKind::Failed)
      why = "v cestě už je soubor tohoto jména";
    out.refusal = "Adresář nelze vytvořit:\n" + utf8(p) + "\n" + why;
    // Nothing is left half-made.
    for (auto it = out.made.rbegin(); it != out.made.rend(); ++it) {
      const platform::OpenFolder up(parent_folder(*it));
      up.entry(file_name(*it)).remove_folder();
    }
    out.made.clear();
    return out;
  }
  out.path = path;
  return out;
}

std::string windows_default_target(bool elevated, const std::string& local_app_data) {
  if (elevated || local_app_data.empty()) return "C:\\Program Files\\zarnik";
  std::string base = local_app_data;
  if (base.back() == '\\') base.pop_back();
  return base + "\\Programs\\zarnik";
}

std::string InstallReport::final_message() const {
  if (!refusal.empty()) return refusal;
  if (failures.empty()) return "INSTALACE JE HOTOVA";
  std::string text = failed ? "INSTALACE SE NEZDAŘILA\n\nNepodařilo se:"
                            : "INSTALACE NENÍ ÚPLNÁ\n\nNepodařilo se:";
  for (const auto& f : failures) text += "\n- " + f;
  if (failed && left_behind.empty())
    text += "\n\nCo instalace stihla vytvořit, je zase pryč; hra nainstalována není.";
  if (failed && !left_behind.empty()) {
    text += "\n\nHra nainstalována není. Toto se nepodařilo odstranit (odinstalace to najde):";
    for (const auto& f : left_behind) text += "\n- " + f;
  }
  return text;
}

std::string offered_target(const std::string& windows_dir, const std::string& fallback) {
  try {
    const auto record = read_record(record_path(windows_dir));
    if (!record) return fallback;
    // The installation made last is the one listed last; one whose folder
    // is gone is offered no more.
    for (auto it = record->game_folders.rbegin(); it != record->game_folders.rend(); ++it)
      if (const RecordedFolder* f = record->folder(*it)) {
        std::string why;
        if (open_recorded_folder(*f, why)) return *it;
      }
  } catch (const std::exception&) {
    // A record that cannot be followed offers nothing (the installation
    // says why when it is asked to begin).
  }
  return fallback;
}

InstallReport install(const std::string& source, const std::string& target,
                      const std::string& windows_dir, InstallUi& ui,
                      const std::vector<std::string>& made_by_chooser) {
  InstallReport report;
  auto refuse = [&](const std::string& why) {
    report.refusal = why;
    report.failures.push_back(why);
    ui.show_error(why);
    return report;
  };
  if (std::string why = installation_refusal(target, windows_dir); !why.empty()) return refuse(why);
  Installation installation(windows_dir);
  std::string why;
  if (!installation.load(why) || !installation.begin(windows_dir, why)) {
    installation.undo();
    return refuse("Instalaci nelze zaznamenat, a tak se nezačne:\n" + why);
  }

  // A failure that leaves no usable game: what was made goes again.
  auto fail = [&](const std::string& what) {
    report.failed = true;
    report.failures.push_back(what);
    report.left_behind = installation.undo();
    return report;
  };
  auto& lines = report.settings_lines;
  int progress = 0;
  auto step = [&] {
    progress = std::min(progress + kProgressStep, kProgressEnd);
    ui.set_progress(progress);
  };
  auto shortcut_failed = [&](const std::string& path) {
    const std::string refused = installation.refusal_for(path);
    report.failures.push_back("vytvořit zástupce " + utf8(path) +
                              (refused.empty() ? "" : " (" + refused + ")"));
    ui.show_error("Zástupce nelze vytvořit:\n" + utf8(path) +
                  (refused.empty() ? "" : "\n" + refused));
  };
  auto ikona = [&](const MenuShortcut& shortcut, bool on_desktop) {
    const shell::DesktopEntry entry = desktop_entry(shortcut, target);
    for (const auto& path :
         shell::ikona(target + kSep + shortcut.program, kProgramFolderName, shortcut.link_name,
                      on_desktop, lines, &entry, &installation))
      shortcut_failed(path);
  };

  installation.adopt_chooser_folders(made_by_chooser, target);
  if (!installation.make_folders(target, target, why))
    return fail("vytvořit adresář " + utf8(target) + " (" + why + ")");
  installation.add_game_folder(target);

  const std::string game_link = target + kSep + kGameLinkName;
  lines = {"800", "600", "", game_link};
  step();

  // Every copy is recorded, with the content read from its source, before
  // the first one is made.
  for (const auto& file : kPayload)
    if (!installation.plan_copy(source + file.source, target + kSep + file.target, why))
      return fail("zkopírovat " + std::string(file.source) + " (" + why + ")");
  if (!installation.flush(why)) return fail(why);
  for (const auto& file : kPayload) {
    const std::string to = target + kSep + file.target;
    if (!installation.copy(source + file.source, to, why))
      return fail("zkopírovat " + std::string(file.source) + " (" + why + ")");
    step();
    if (file.listed) lines.push_back(to);
  }
  if (shell::kDesktopEntries) {
    const auto png = assets::icon_png();
    if (!installation.write(target + kSep + kIconFileName, {png.begin(), png.end()}, why))
      report.failures.push_back("zapsat ikonu hry (" + why + ")");
  }
  ikona(kMenuShortcuts[0], false);

  // The installer's rule adds a separator after a folder that already ends in
  // one; the doubled separator is harmless and the list names the plain path.
  if (!installation.before_shortcut(game_link, target + kSep + kGameProgram) ||
      !shell::make_shortcut(target + kSep + kGameProgram, target + kSep, kGameLinkName,
                            shell::LinkPath::WithSeparator))
    shortcut_failed(game_link);
  installation.release();
  step();
  lines.push_back(game_link);

  ikona(kMenuShortcuts[1], ui.ask_desktop_shortcut());
  step();
  ikona(kMenuShortcuts[2], false);
  step();
  if (!installation.register_game(target, why)) {
    report.failures.push_back("zapsat hru do seznamu aplikací systému (" + why + ")");
    ui.show_error("Hru nelze zapsat do seznamu aplikací systému:\n" + why);
  }

  const std::string settings = windows_dir + kSep + shell::kSettingsFileName;
  lines.push_back(settings);
  try {
    // The settings file is shared too: recorded and written under the lock.
    installation.hold();
    if (!installation.add_settings(settings, why)) throw std::runtime_error(why);
    shell::write_settings_text(settings, lines);
    installation.release();
    report.settings_written = true;
  } catch (const std::exception& e) {
    installation.release();
    report.failures.push_back(std::string("zapsat soubor nastavení (") + e.what() + ")");
    ui.show_error(std::string("Soubor nastavení nelze zapsat:\n") + e.what());
  }
  return report;
}

}  // namespace installer
