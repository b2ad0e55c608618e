// Installations as players end up with them: the game run before the
// installer, setup run again, two copies in two folders (one after the
// other and both at once), records written by somebody else or naming files
// they have no business with, the system's list of installed programs, and
// the folders "Nový adresář" made.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "installer/core/install.h"
#include "installer/core/record.h"
#include "installer/core/registration.h"
#include "installer/core/uninstall.h"
#include "installer/core/uninstall_program.h"
#include "payload.h"
#include "platform/files.h"
#include "shell/settings_file.h"
#include "tests/shell/temp_home.h"

namespace {

namespace fs = std::filesystem;
using namespace installer_test;
using testing_home::TempHome;
using Lines = std::vector<std::string>;

// What an uninstaller run with "--yes" prints, and its exit status.
struct Said {
  int status;
  std::string text;
};
Said without_questions(const installer::UninstallStart& start) {
  std::FILE* out = std::tmpfile();
  const int status = installer::uninstall_without_questions(start, out);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += char(c);
  std::fclose(out);
  return {status, text};
}

// A home with a desktop, a Start menu, the settings folder and a payload; A
// and B are two game folders.
struct Installations : ::testing::Test {
  TempHome home;
  std::string desktop = home.mkdir("Desktop");
  std::string menu = home.mkdir(".local/share/applications");
  std::string config = home.mkdir(".config");
  std::string settings = config + "/zarnik.ini";
  std::string record = config + "/" + installer::kRecordFileName;
  std::string source = home.mkdir("dist");
  std::string a = home / "Hry/zarnik";
  std::string b = home / "Jine hry/zarnik";

  void SetUp() override { make_payload(source); }
  installer::InstallReport install(const std::string& target,
                                   const std::vector<std::string>& made = {}) {
    QuietUi ui;
    auto report = installer::install(source + "/", target, config, ui, made);
    EXPECT_TRUE(report.failures.empty()) << report.final_message();
    return report;
  }
  // The uninstaller standing in `folder`, taking everything (or keeping the
  // scores and the settings, as "--yes" does).
  installer::UninstallResult uninstall_from(const std::string& folder, bool keep = false) {
    const auto start = installer::start_uninstall(folder);
    EXPECT_TRUE(start.problem.empty()) << start.problem;
    EXPECT_TRUE(start.choices.empty());
    return installer::perform_uninstall(start.plan, keep, keep);
  }
  std::set<std::string> games() {
    const auto r = installer::read_record(record);
    return r ? std::set<std::string>(r->game_folders.begin(), r->game_folders.end())
             : std::set<std::string>{};
  }
};

// The game writes its four lines wherever it runs first; the installer then
// writes its own over them, whoever wrote the file, and says it is done.
TEST_F(Installations, TheInstallerWritesTheSettingsFileAfterTheGameRan) {
  write(settings, "1024\r\n768\r\nEVA\r\n" + home / "Downloads/zarnik/zarnik.lnk\r\n");
  QuietUi ui;
  const auto report = installer::install(source + "/", a, config, ui);
  EXPECT_EQ(report.final_message(), "INSTALACE JE HOTOVA");
  EXPECT_TRUE(ui.errors.empty()) << ui.errors.front();
  EXPECT_EQ(shell::read_settings_lines(settings), expected_lines(a, menu, desktop, config));
  // So is a file the installation wrote and the game rewrote since.
  Lines played = shell::read_settings_lines(settings);
  played[2] = "EVA";
  shell::write_settings_lines(settings, played);
  EXPECT_EQ(install(a).final_message(), "INSTALACE JE HOTOVA");
}

// Setup run again offers the folder of the installation there is; one whose
// folder is gone is offered no more, and an unreadable record offers the
// default.
TEST_F(Installations, SetupRunAgainOffersTheInstallationsFolder) {
  const std::string fallback = home / ".local/share/zarnik";
  EXPECT_EQ(installer::offered_target(config, fallback), fallback);
  install(a);
  EXPECT_EQ(installer::offered_target(config, fallback), a);
  install(b);
  EXPECT_EQ(installer::offered_target(config, fallback), b);
  fs::rename(b, home / "moved");
  EXPECT_EQ(installer::offered_target(config, fallback), a);
  write(record, "not a record");
  EXPECT_EQ(installer::offered_target(config, fallback), fallback);
}

// An uninstaller removes its own installation, the one whose folder it
// stands in, and leaves the other one whole; the other's uninstaller then
// removes the rest. The Start menu's shortcuts, written by both, belong to
// the one that wrote them last.
TEST_F(Installations, EachUninstallerRemovesItsOwnInstallationOnly) {
  const auto before = tree(home.path());
  install(a);
  const auto only_a = tree(a);
  install(b);
  EXPECT_EQ(games(), (std::set<std::string>{a, b}));

  const auto result = uninstall_from(b, /*keep=*/true);
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  EXPECT_FALSE(fs::exists(b));
  EXPECT_FALSE(fs::exists(home / "Jine hry")) << "the folder made for it";
  EXPECT_EQ(tree(a), only_a) << "the other installation lost something";
  EXPECT_EQ(games(), std::set<std::string>{a});
  // B wrote the settings file last: its list went with B, the game's four
  // lines are the player's, and stay; A's uninstallation leaves them alone.
  const Lines game_lines = shell::read_settings_lines(settings);
  EXPECT_EQ(game_lines, installer::settings_kept(expected_lines(b, menu, desktop, config)));

  const auto rest = uninstall_from(a);
  EXPECT_TRUE(rest.failures.empty()) << installer::result_text(rest);
  EXPECT_EQ(shell::read_settings_lines(settings), game_lines);
  fs::remove(settings);
  EXPECT_EQ(tree(home.path()), before);
}

// The uninstaller that belongs to no installation names them and asks; told
// to answer for the user it removes nothing while there are two, and the
// only one once there is one.
TEST_F(Installations, AnUninstallerOfNoInstallationAsksWhichAndAloneRemovesOnlyTheOnlyOne) {
  install(a);
  install(b);
  const std::string elsewhere = home.mkdir("package");
  const auto installed = tree(home.path());
  const auto start = installer::start_uninstall(elsewhere);
  EXPECT_EQ(start.choices, (Lines{a, b}));
  const Said two = without_questions(start);
  EXPECT_EQ(two.status, 1);
  EXPECT_NE(two.text.find(a), std::string::npos) << two.text;
  EXPECT_NE(two.text.find(b), std::string::npos) << two.text;
  EXPECT_NE(two.text.find("Nic se neodstranilo"), std::string::npos) << two.text;
  EXPECT_EQ(tree(home.path()), installed);
  // The one chosen goes.
  EXPECT_TRUE(
      installer::perform_uninstall(installer::plan_for(start, a), false, true).failures.empty());
  EXPECT_TRUE(fs::exists(b + "/zarnik.exe"));
  EXPECT_FALSE(fs::exists(a));

  const Said one = without_questions(installer::start_uninstall(elsewhere));
  EXPECT_EQ(one.status, 0) << one.text;
  EXPECT_EQ(one.text.find("ODINSTALACE JE HOTOVA"), 0u) << one.text;
  EXPECT_FALSE(fs::exists(b + "/zarnik.exe"));
}

// Record lines that name what the installation never wrote: a "settings"
// line for another file (beside the record or in the game folder), a
// "scores" line for the player's thesis. Nothing of it goes, whatever the
// player answers; the score question is not even asked.
TEST_F(Installations, RecordEntriesNamingOtherFilesRemoveNothing) {
  install(a);
  write(config + "/other.ini", "another program's");
  write(a + "/zarnik.ini", "the player's notes");
  write(a + "/thesis.odt", "the player's thesis");
  Lines lines = installer::record_lines(*installer::read_record(record));
  lines.push_back("settings " + config + "/other.ini");
  lines.push_back("settings " + a + "/zarnik.ini");
  lines.push_back("scores " + a + "/thesis.odt");
  shell::write_settings_lines(record, lines);
  const auto plan = installer::start_uninstall(a).plan;
  EXPECT_FALSE(plan.scores);
  std::set<std::string> left;
  for (const auto& l : plan.left_alone) left.insert(l.line);
  EXPECT_TRUE(left.count(a + "/zarnik.ini")) << "named, with its reason";
  EXPECT_TRUE(installer::perform_uninstall(plan, false, false).failures.empty());
  EXPECT_EQ(read_text(config + "/other.ini"), "another program's");
  EXPECT_EQ(read_text(a + "/zarnik.ini"), "the player's notes");
  EXPECT_EQ(read_text(a + "/thesis.odt"), "the player's thesis");
  EXPECT_FALSE(fs::exists(a + "/zarnik.exe"));
}

#ifndef _WIN32
// A file named like the temporary file of an ended write beside one of the
// installation's files goes only when it is the user's own (another user's
// can only be made as root); one beside a file the installation never wrote
// stays whoever made it.
TEST_F(Installations, OnlyTheUsersOwnTemporaryFilesBesideTheInstallationsFilesGo) {
  install(a);
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string tag = "." + std::to_string(child) + ".abcdefghijkl.tmp";
  write(a + "/.zvuk.xxx" + tag, "half a copy");
  write(a + "/.notes.txt" + tag, "the player's editor");
  write(a + "/.hra.mid" + tag, "another user's");
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((a + "/.hra.mid" + tag).c_str(), 65534, 65534), 0);
  }
  EXPECT_TRUE(uninstall_from(a).failures.empty());
  EXPECT_FALSE(fs::exists(a + "/.zvuk.xxx" + tag));
  EXPECT_TRUE(fs::exists(a + "/.notes.txt" + tag));
  EXPECT_EQ(fs::exists(a + "/.hra.mid" + tag), root);
}

// A record that anybody else may have written is not followed: neither the
// installer nor the uninstaller goes by it, and each says why in Czech.
// (Owned by another user can only be made as root.)
TEST_F(Installations, ARecordOthersMayWriteIsRefusedByBothPrograms) {
  install(a);
  const auto installed = tree(home.path());
  auto refused = [&](const char* why) {
    SCOPED_TRACE(why);
    const auto start = installer::start_uninstall(a);
    EXPECT_NE(start.problem.find(why), std::string::npos) << start.problem;
    EXPECT_TRUE(start.plan.files.empty());
    EXPECT_NE(installer::installation_refusal(b, config).find(why), std::string::npos);
    EXPECT_EQ(tree(home.path()), installed);
  };
  fs::permissions(record, fs::perms::others_write, fs::perm_options::add);
  refused("mohou měnit i jiní uživatelé");
  fs::permissions(record, fs::perms::others_write, fs::perm_options::remove);
  fs::permissions(config, fs::perms::all);
  refused("může do jeho adresáře zapisovat kdokoli");
  fs::permissions(config, fs::perms::owner_all);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(record.c_str(), 65534, 65534), 0);
    refused("patří jinému uživateli");
    ASSERT_EQ(::chown(record.c_str(), 0, 0), 0);
  }
  // The record the installer writes is the user's alone.
  EXPECT_EQ(fs::status(record).permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);
  EXPECT_TRUE(uninstall_from(a).failures.empty());
}

// Two installers at once, into two folders, three times over: neither loses
// the other's entries, and the two uninstallers leave the home as it was.
TEST_F(Installations, TwoInstallersAtOnceKeepEachOthersEntries) {
  for (const auto& f : installer::kPayload)
    write(source + "/" + f.source, std::string(size_t(64) << 10, f.source[0]));
  const auto before = tree(home.path());
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
      children[i] = ::fork();
      if (children[i] == 0) {
        QuietUi ui;
        const auto report = installer::install(source + "/", i == 0 ? a : b, config, ui);
        ::_exit(report.failures.empty() ? 0 : 1);
      }
    }
    for (const pid_t c : children) {
      int status = 0;
      ::waitpid(c, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(games(), (std::set<std::string>{a, b}));
    for (const auto& game : {b, a}) {
      const auto result = uninstall_from(game);
      EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
    }
    std::error_code ec;
    fs::remove(settings, ec);  // the game's four lines, kept
    EXPECT_EQ(tree(home.path()), before);
    EXPECT_FALSE(fs::exists(record));
  }
}
#endif  // _WIN32

// The system's list of installed programs, as a stand-in: the installation
// enters the game with the values the list shows, records the entry, and
// its uninstallation takes it out; an entry somebody else wrote, or changed
// since, is left alone and said so.
TEST_F(Installations, TheSystemsEntryForTheGameIsWrittenRecordedAndRemoved) {
  struct FakeRegistry : installer::AppRegistry {
    std::map<std::string, installer::RegistryValues> keys;
    std::optional<installer::RegistryValues> read(const std::string& key) override {
      const auto it = keys.find(key);
      return it == keys.end() ? std::nullopt : std::optional(it->second);
    }
    bool write(const std::string& key, const installer::RegistryValues& values,
               std::string&) override {
      keys[key] = values;
      return true;
    }
    bool remove(const std::string& key, std::string&) override {
      keys.erase(key);
      return true;
    }
  } registry;
  installer::set_app_registry(&registry);
  struct Unset {
    ~Unset() { installer::set_app_registry(nullptr); }
  } unset;
  auto value = [&](const char* name) {
    for (const auto& v : registry.keys.at(installer::kRegistrationKey))
      if (v.name == name) return v.is_number ? std::to_string(v.number) : v.text;
    return std::string("(none)");
  };

  install(a);
  ASSERT_TRUE(registry.keys.count(installer::kRegistrationKey));
  EXPECT_EQ(value("DisplayName"), "Zarnik");
  EXPECT_EQ(value("InstallLocation"), a);
  EXPECT_EQ(value("UninstallString"), "\"" + a + "\\uninstall.exe\"");
  EXPECT_EQ(value("QuietUninstallString"), "\"" + a + "\\uninstall.exe\" --yes");
  EXPECT_EQ(value("Publisher"), "tým zarnik");
  EXPECT_EQ(value("NoModify"), "1");
  EXPECT_EQ(value("NoRepair"), "1");
  uint64_t bytes = 0;
  for (const auto& f : fs::directory_iterator(a))
    if (f.path().extension() != ".lnk") bytes += f.file_size();
  EXPECT_EQ(value("EstimatedSize"), std::to_string((bytes + 1023) / 1024)) << "the game folder";
  EXPECT_NE(installer::read_record(record)->file(installer::kRegistrationKey), nullptr);
  EXPECT_TRUE(uninstall_from(a).failures.empty());
  EXPECT_FALSE(registry.keys.count(installer::kRegistrationKey));

  // Changed since: it stays, and so named.
  install(a);
  registry.keys[installer::kRegistrationKey].push_back({"Comments", "mine", false, 0});
  const auto result = uninstall_from(a);
  EXPECT_TRUE(registry.keys.count(installer::kRegistrationKey));
  EXPECT_NE(installer::result_text(result).find("seznamu aplikací"), std::string::npos);
  // Somebody else's (as that one is now): not overwritten, and the
  // installation says so.
  const auto theirs = registry.keys[installer::kRegistrationKey];
  QuietUi ui;
  const auto report = installer::install(source + "/", a, config, ui);
  ASSERT_EQ(report.failures.size(), 1u) << report.final_message();
  EXPECT_NE(report.failures[0].find("seznamu aplikací"), std::string::npos);
  EXPECT_EQ(registry.keys[installer::kRegistrationKey], theirs);
}

// "Nový adresář" makes nested folders inside the folder selected, says why
// it cannot, and leaves nothing half-made; the installation records what it
// made, so that the uninstallation takes those folders away again.
TEST_F(Installations, FoldersMadeInTheChooserAreTheInstallationsOwn) {
  const auto before = tree(home.path());
  const auto made = installer::make_new_folder(home.path(), "Hry a zábava/Žárník");
  ASSERT_EQ(made.refusal, "");
  EXPECT_EQ(made.path, home / "Hry a zábava/Žárník");
  EXPECT_EQ(made.made, (Lines{home / "Hry a zábava", home / "Hry a zábava/Žárník"}));
  EXPECT_EQ(installer::new_folder_field(home.path()), home.path() + "/");
  // Typed after the field's text, a full path, or "..": inside, as typed, or refused.
  EXPECT_EQ(installer::make_new_folder(home.path(), home / "Jiny/").path, home / "Jiny");
  EXPECT_NE(installer::make_new_folder(home.path(), "a/../b").refusal, "");
  write(home / "x/soubor", "a file");
  const auto blocked = installer::make_new_folder(home.path(), "x/soubor/z");
  EXPECT_NE(blocked.refusal.find(home / "x/soubor\n"), std::string::npos) << blocked.refusal;
  EXPECT_TRUE(blocked.made.empty());
  fs::remove_all(home / "x");
  fs::remove(home / "Jiny");

  const std::string target = installer::target_for_chosen_folder(made.path);
  install(target, made.made);
  EXPECT_TRUE(uninstall_from(target).failures.empty());
  fs::remove(settings);
  EXPECT_EQ(tree(home.path()), before);
}

// Folders the installation made that are gone by the time it is uninstalled
// are no news, and the shortcuts into the game folder that went with them
// are still the installation's; a game folder whose name is no UTF-8 is
// refused up front.
TEST_F(Installations, GoneFoldersAreNotReportedAndANonUtf8FolderIsRefused) {
  const std::string deep = home / "a/b/zarnik";
  install(deep);
  fs::remove_all(home / "a");
  const auto start = installer::start_uninstall(home.path());
  ASSERT_EQ(start.choices, Lines{deep});
  const auto result = installer::perform_uninstall(installer::plan_for(start, deep), false, false);
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  EXPECT_TRUE(result.kept.empty()) << installer::result_text(result);
  EXPECT_FALSE(fs::exists(menu + "/Programy")) << "the shortcuts went";

  const std::string latin1 = home / "Hry\xE1/zarnik";
  const std::string why = installer::installation_refusal(latin1, config);
  EXPECT_NE(why.find("UTF-8"), std::string::npos) << why;
  QuietUi ui;
  EXPECT_FALSE(installer::install(source + "/", latin1, config, ui).refusal.empty());
  EXPECT_FALSE(fs::exists(home / "Hry\xE1"));
}

}  // namespace
