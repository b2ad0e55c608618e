// Feeds arbitrary bytes to the uninstaller's plan over a fixed tree: a home
// with a real installation in Hry/zarnik (made by the installer, with its
// record, shortcuts and desktop entries), and decoys: the user's files in
// the game folder, a folder of the user's own named zarnik holding the very
// bytes an installation writes, a link inside the game folder to a folder
// outside, a link to the root.
//
// The first byte chooses what the rest is:
//  - even: the settings file, beside the installation's own record. Whatever
//    it lists, the plan removes nothing but files of that record, in the
//    folders it recorded (compared by identity), each still what was
//    written there;
//  - odd: the record itself. Whatever it says, every planned file is a
//    regular file in a folder the record names with that folder's identity,
//    and is what the record says it is: the size and digest recorded, a
//    shortcut to a program in its installation's game folder, the score
//    table of that game folder, the settings file beside the record, or
//    a temporary file of a recorded file; every folder planned for removal
//    is one the record says was made.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "installer/core/install.h"
#include "installer/core/record.h"
#include "installer/core/uninstall.h"
#include "platform/files.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"

namespace {

namespace fs = std::filesystem;

// The tree's root has a fixed name, so that the seeds can name its paths.
const std::string kRoot = "/tmp/zarnik-fuzz-uninstall";
const std::string kHome = kRoot + "/home";
const std::string kGame = kHome + "/Hry/zarnik";
const std::string kConfig = kHome + "/.config";
const std::string kSettings = kConfig + "/zarnik.ini";
const std::string kRecord = kConfig + "/zarnik-install.rec";

std::vector<uint8_t> real_settings, real_record_bytes;
installer::Record real_record;

struct QuietUi : installer::InstallUi {
  void set_progress(int) override {}
  bool ask_desktop_shortcut() override { return true; }
  void show_error(const std::string&) override {}
};

void put(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

void make_tree() {
  fs::remove_all(kRoot);
  ::setenv("HOME", kHome.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ::unsetenv("XDG_DATA_HOME");
  const std::string source = kRoot + "/dist";
  for (const auto& f : installer::kPayload) put(source + "/" + f.source, f.source);
  fs::create_directories(kConfig);
  QuietUi ui;
  if (!installer::install(source + "/", kGame, kConfig, ui).failures.empty()) std::abort();
  put(kGame + "/data.dat", "scores");
  put(kGame + "/notes.txt", "the user's");
  put(kHome + "/important.txt", "the user's");
  // The user's own folder named zarnik with the installation's very bytes.
  const fs::path decoy = kHome + "/projects/zarnik";
  fs::create_directories(decoy);
  for (const auto& e : fs::directory_iterator(kGame))
    if (e.is_regular_file())
      fs::copy_file(e.path(), decoy / e.path().filename(), fs::copy_options::overwrite_existing);
  fs::create_directory_symlink(kHome + "/projects", kGame + "/docs");
  fs::create_directory_symlink("/", kGame + "/root");
  real_settings = platform::read_file(kSettings);
  real_record_bytes = platform::read_file(kRecord);
  real_record = *installer::read_record(kRecord);
}

platform::FolderIdentity identity_of(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) std::abort();
  return {uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

bool is_regular(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// What the file at `path` holds, as the record keeps it.
installer::ContentId content_of(const std::string& path) {
  return installer::content_id(platform::read_file(path));
}

// The planned file is one the record holds as the installation in `game`'s,
// in a folder it recorded with that folder's identity, and still what the
// record says.
void check_against(const installer::Record& record, const std::string& game,
                   const installer::PlannedFile& f) {
  if (!is_regular(f.path())) std::abort();
  const installer::RecordedFolder* folder = record.folder(f.folder);
  if (folder == nullptr) std::abort();
  // Only a folder recorded with its identity holds files that go.
  if (!folder->known || folder->id != f.folder_id) std::abort();
  if (identity_of(f.folder) != f.folder_id) std::abort();
  if (f.temporary) {
    bool of_a_recorded_file = false;
    for (const auto& r : record.files)
      if (installer::parent_folder(r.path) == f.folder &&
          platform::is_abandoned_temporary(r.path, f.name))
        of_a_recorded_file = true;
    if (!of_a_recorded_file && !platform::is_abandoned_temporary(kRecord, f.name)) std::abort();
    return;
  }
  const installer::RecordedFile* r = record.file(f.path());
  if (r == nullptr || r->kind != f.recorded.kind) std::abort();
  if (!installer::Record::belongs_to(*r, game)) std::abort();
  switch (r->kind) {
    case installer::RecordedKind::File:
      if (!(content_of(f.path()) == r->content)) std::abort();
      break;
    case installer::RecordedKind::Shortcut: {
      const std::string target = shell::read_shell_link_target(platform::read_file(f.path()));
      if (installer::file_name(target) != r->program) std::abort();
      if (identity_of(installer::parent_folder(target)) != identity_of(game)) std::abort();
      break;
    }
    case installer::RecordedKind::Scores:
      if (f.folder != game || f.name != "data.dat") std::abort();
      break;
    case installer::RecordedKind::Settings:
      if (f.path() != kSettings) std::abort();
      break;
    case installer::RecordedKind::Registration: std::abort();  // no file
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  make_tree();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool record_given = data[0] & 1;
  if (record_given) {
    write_bytes(kRecord, data + 1, size - 1);
    write_bytes(kSettings, real_settings.data(), real_settings.size());
  } else {
    write_bytes(kRecord, real_record_bytes.data(), real_record_bytes.size());
    write_bytes(kSettings, data + 1, size - 1);
  }
  const std::vector<std::string> lines = shell::read_settings_lines(kSettings);
  for (const auto& l : lines)
    if (!shell::is_single_line(l)) std::abort();
  std::optional<installer::Record> record;
  try {
    record = installer::read_record(kRecord);
  } catch (const std::exception&) {
    if (!record_given) std::abort();  // the real record always reads
    return 0;
  }
  if (!record) return 0;
  // Each installation the record holds, planned alone.
  std::vector<std::string> games = record->game_folders;
  if (games.empty()) games.push_back("");
  for (const std::string& game : games) {
    const installer::UninstallPlan plan =
        installer::plan_uninstall(record, kRecord, lines, kSettings, game);
    if (!plan.refusal.empty()) std::abort();
    // Against the record the installation wrote, or the one given.
    const installer::Record& against = record_given ? *record : real_record;
    std::set<std::string> seen;
    auto check = [&](const installer::PlannedFile& f) {
      if (!seen.insert(f.path()).second) std::abort();  // each file once
      check_against(against, game, f);
    };
    for (const auto& f : plan.files) check(f);
    if (plan.scores) check(*plan.scores);
    if (plan.settings) check(*plan.settings);
    for (const auto& folder : plan.folders) {
      const installer::RecordedFolder* r = against.folder(folder.path);
      if (r == nullptr || !r->made) std::abort();
    }
    if (!record_given) {
      // Nothing outside what the installation wrote.
      for (const auto& f : plan.files)
        if (!f.temporary && real_record.file(f.path()) == nullptr) std::abort();
    }
  }
  return 0;
}
