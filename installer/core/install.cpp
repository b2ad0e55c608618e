#include "installer/core/install.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "assets/icon.h"
#include "installer/core/record.h"
#include "platform/files.h"
#include "platform/folder_entries.h"
#include "platform/shell.h"
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
// fails), and why a shortcut was left unwritten.
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
      for (const auto& m : missing) record_.set(RecordedFolder{m, true, false, {}});
      dirty_ = true;
      if (record_first && !save(error)) return false;
      for (const auto& m : missing) {
        std::string why;
        if (!platform::create_folder(m, why)) {
          for (const auto& n : missing)
            if (std::find(made_.begin(), made_.end(), n) == made_.end()) record_.remove_folder(n);
          error = utf8(m) + ": " + why;
          return false;
        }
        made_.push_back(m);
        const platform::OpenFolder made(m, platform::LastName::NoFollow);
        if (made.is_open()) record_.set(RecordedFolder{m, true, true, made.identity()});
        dirty_ = true;
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
    record_.set(RecordedFolder{folder, made, true, here.identity()});
    dirty_ = true;
    return true;
  }

  // Records `folder` as a game folder, with its score table when there is
  // none in it yet (one that is there already is not this installation's).
  void add_game_folder(const std::string& folder) {
    record_.add_game_folder(folder);
    const std::string scores = folder + kSep + kScoreFileName;
    const platform::OpenFolder dir(folder);
    if (record_.file(scores) == nullptr && dir.entry(kScoreFileName).kind() == EntryKind::Missing) {
      record_.set(RecordedFile{RecordedKind::Scores, scores, {}, {}});
      new_files_.push_back(scores);
    }
    games_ = game_folder_identities(record_);
    dirty_ = true;  // written with the copies' entries
  }

  // Records the copy of `from` at `to` with the content read from `from`, to
  // be made by copy(); the record is written by the next step that writes.
  bool plan_copy(const std::string& from, const std::string& to, std::string& error) {
    try {
      const ContentId content = content_id(platform::read_file(from, kMaxPayloadBytes));
      return add(RecordedFile{RecordedKind::File, to, content, {}}, error, /*save_now=*/false);
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
  bool flush(std::string& error) { return !dirty_ || save(error); }

  // Writes `bytes` whole at `path`, recorded first.
  bool write(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    return write_recorded(path, content_id(bytes), error,
                          [&] { platform::write_file_atomic(path, bytes); });
  }

  // Records the settings file before it is written; false when it must not
  // be written (it is a link or no file).
  bool add_settings(const std::string& path, std::string& error) {
    const platform::OpenFolder dir(parent_folder(path));
    const EntryKind kind = dir.entry(file_name(path)).kind();
    if (kind == EntryKind::Link) error = "je to odkaz";
    if (kind == EntryKind::Folder || kind == EntryKind::Other) error = "není to obyčejný soubor";
    if (!error.empty()) return false;
    return add(RecordedFile{RecordedKind::Settings, path, {}, {}}, error);
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
      record_.remove_file(*it);
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
          record_.remove_folder(*it);
      }
    };
    remove_made_folders();
    // What is left made by this run: the folders that hold the record.
    const bool only_record_left =
        record_.files.empty() &&
        std::all_of(record_.folders.begin(), record_.folders.end(), [&](const RecordedFolder& f) {
          return !f.made || std::find(made_.begin(), made_.end(), f.path) != made_.end();
        });
    if (only_record_left) {
      const platform::OpenFolder dir(parent_folder(record_file_));
      dir.entry(file_name(record_file_)).remove();
      remove_made_folders();
    } else {
      std::string error;
      if (!save(error)) stays.push_back(error);
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
  bool before_shortcut(const std::string& path, const std::string& target) override {
    std::string why;
    if (add(RecordedFile{RecordedKind::Shortcut, path, {}, file_name(target)}, why)) return true;
    refused_.emplace_back(path, why);
    return false;
  }
  bool before_entry(const std::string& path, const std::string& text) override {
    std::string why;
    if (add(RecordedFile{RecordedKind::File,
                         path,
                         content_id(std::vector<uint8_t>(text.begin(), text.end())),
                         {}},
            why))
      return true;
    refused_.emplace_back(path, why);
    return false;
  }

 private:
  bool save(std::string& error) {
    try {
      write_record(record_file_, record_);
      dirty_ = false;
      return true;
    } catch (const std::exception& e) {
      error = std::string("záznam instalace nelze zapsat (") + e.what() + ")";
      return false;
    }
  }

  // Records `file` ahead of its write, in a folder recorded already, unless
  // something that is not an installation's is at its path. The record is
  // written at once unless `save_now` is false; not at all when it holds
  // the entry already.
  bool add(const RecordedFile& file, std::string& error, bool save_now = true) {
    // What is at the path is looked at once, when this run first claims it.
    if (previous(file.path) == nullptr) {
      if (record_.folder(parent_folder(file.path)) == nullptr) {
        error = "jeho adresář není v záznamu instalace";
        return false;
      }
      if (std::string why = occupied(file.path); !why.empty()) {
        error = "už tam je soubor, který hra nezapsala: " + why;
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
                      known->content == file.content && known->program == file.program;
    if (!same) {
      record_.set(file);
      dirty_ = true;
    }
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
    if (!add(RecordedFile{RecordedKind::File, path, content, {}}, error)) return false;
    try {
      write();
    } catch (const std::exception& e) {
      error = e.what();
      // The file there is still what the record said before this run.
      const std::optional<RecordedFile> before = previous(path)->before;
      if (before)
        record_.set(*before);
      else
        record_.remove_file(path);
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
        record_.set(RecordedFile{RecordedKind::File, path, written, {}});
        if (!save(error)) return false;
      }
    }
    return true;
  }

  std::string record_file_;
  Record record_;
  std::vector<platform::FolderIdentity> games_;
  std::vector<std::string> new_files_;  // paths that were free before this run wrote them
  std::vector<std::string> made_;       // folders this run made, parents first
  std::vector<std::pair<std::string, std::string>> refused_;  // path, why
  std::vector<Claim> claimed_;                                // every path this run has recorded
  bool dirty_ = false;  // the record has changed since it was written
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

InstallReport install(const std::string& source, const std::string& target,
                      const std::string& windows_dir, InstallUi& ui) {
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
  step();
  lines.push_back(game_link);

  ikona(kMenuShortcuts[1], ui.ask_desktop_shortcut());
  step();
  ikona(kMenuShortcuts[2], false);
  step();

  const std::string settings = windows_dir + kSep + "zarnik.ini";
  lines.push_back(settings);
  try {
    if (!installation.add_settings(settings, why)) throw std::runtime_error(why);
    shell::write_settings_text(settings, lines);
    report.settings_written = true;
  } catch (const std::exception& e) {
    report.failures.push_back(std::string("zapsat soubor nastavení (") + e.what() + ")");
    ui.show_error(std::string("Soubor nastavení nelze zapsat:\n") + e.what());
  }
  return report;
}

}  // namespace installer
