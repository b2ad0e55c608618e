#include "installer/core/uninstall.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "installer/core/install.h"
#include "installer/core/record.h"
#include "installer/core/uninstall_program.h"
#include "payload.h"
#include "platform/files.h"
#include "shell/settings_file.h"
#include "shell/shortcut.h"
#include "tests/shell/temp_home.h"

namespace {

namespace fs = std::filesystem;
using namespace installer_test;
using testing_home::TempHome;
using Lines = std::vector<std::string>;

// A home with a desktop, a Start menu, a settings folder and a payload; the
// installation goes into Hry/zarnik.
struct UninstallTest : ::testing::Test {
  TempHome home;
  std::string desktop = home.mkdir("Desktop");
  std::string menu = home.mkdir(".local/share/applications");
  std::string programs = menu + "/Programy/ZARNIK";
  std::string config = home.mkdir(".config");
  std::string settings = config + "/zarnik.ini";
  std::string record = config + "/" + installer::kRecordFileName;
  std::string d = home / "Hry/zarnik";
  std::string source = home.mkdir("dist");

  void SetUp() override { make_payload(source); }
  void install(bool desktop_too = true) {
    QuietUi ui;
    ui.desktop = desktop_too;
    const auto report = installer::install(source + "/", d, config, ui);
    ASSERT_TRUE(report.failures.empty()) << report.final_message();
  }
  installer::UninstallPlan plan() {
    return installer::plan_uninstall(installer::read_record(record), record,
                                     shell::read_settings_lines(settings), settings);
  }
  // Everything goes unless asked otherwise: the scores, and the settings
  // file too.
  installer::UninstallResult uninstall(bool keep_scores = false, bool keep_settings = false) {
    return installer::perform_uninstall(plan(), keep_scores, keep_settings);
  }
  std::set<std::string> left_alone(const installer::UninstallPlan& p) {
    std::set<std::string> out;
    for (const auto& l : p.left_alone) out.insert(l.line);
    return out;
  }
};

// The whole round: the home is exactly as it was, every folder the
// installation made gone with it, the game's score table and the
// temporary files of a killed copy and a killed save included.
TEST_F(UninstallTest, RemovesEverythingItMadeAndTheFoldersItMadeButNothingElse) {
  fs::create_directories(home / "Hry");  // the game folder's parent is not the installation's
  write(home / "Hry/other.txt", "mine");
  const auto before = tree(home.path());
  install();
  write(d + "/data.dat", "scores");  // what the game adds when it runs
  // Two temporary files a killed copy and a killed game left behind.
  const pid_t ended = [] {
#ifdef _WIN32
    return 0x7ffffff0;
#else
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
#endif
  }();
  write(d + "/.zvuk.xxx." + std::to_string(ended) + ".abcdefghijkl.tmp", "half a copy");
  write(d + "/.data.dat." + std::to_string(ended) + ".abcdefghijk0.tmp", "half a save");
  const auto p = plan();
  EXPECT_TRUE(p.refusal.empty()) << p.refusal;
  EXPECT_TRUE(p.left_alone.empty()) << p.left_alone.front().line << p.left_alone.front().reason;
  ASSERT_TRUE(p.scores);
  EXPECT_EQ(p.scores->path(), d + "/data.dat");
  const auto result =
      installer::perform_uninstall(p, /*keep_scores=*/false, /*keep_settings=*/false);
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  EXPECT_TRUE(result.kept.empty()) << installer::result_text(result);
  EXPECT_EQ(installer::result_text(result), "ODINSTALACE JE HOTOVA");
  EXPECT_EQ(tree(home.path()), before);
}

// The score table stays unless the user says otherwise, and with it the game
// folder and a record of the two; so do the game's own four lines of the
// settings file, without the installation's list. The final message names
// all three, and a later installation into the same folder takes them up
// again.
// An installation killed between making its first record and writing it
// leaves the record an empty file of the user's own: it goes. A record with
// anything in it that is no record stays, and so does nothing else of
// another's.
TEST_F(UninstallTest, AnEmptyFirstRecordGoesAndNothingElseWithIt) {
  const auto before = tree(home.path());
  write(record, "");
  const auto result = uninstall();
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  EXPECT_EQ(tree(home.path()), before);

  write(record, "x");
  EXPECT_THROW(plan(), std::runtime_error);
  EXPECT_TRUE(std::filesystem::exists(record));
}

TEST_F(UninstallTest, TheScoresAreKeptByDefaultAndNamedAndALaterRoundTakesThemUp) {
  const auto before = tree(home.path());
  install();
  write(d + "/data.dat", "EVA 1200");
  Lines played = shell::read_settings_lines(settings);
  played[0] = "1024", played[1] = "768", played[2] = "EVA";  // as the game leaves them
  shell::write_settings_lines(settings, played);
  const auto result = uninstall(/*keep_scores=*/true, /*keep_settings=*/true);
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  const std::string text = installer::result_text(result);
  EXPECT_EQ(text.find("ODINSTALACE JE HOTOVA"), 0u) << text;
  EXPECT_NE(text.find("Ponecháno:"), std::string::npos) << text;
  EXPECT_NE(text.find("tabulka rekordů " + d + "/data.dat"), std::string::npos) << text;
  EXPECT_NE(text.find("adresář " + d), std::string::npos) << text;
  EXPECT_EQ(read_text(d + "/data.dat"), "EVA 1200");
  EXPECT_EQ(fs::directory_iterator(d)->path().filename(), "data.dat");
  EXPECT_EQ(shell::read_settings_lines(settings), (Lines{"1024", "768", "EVA", d + "/zarnik.lnk"}));
  EXPECT_NE(text.find("soubor nastavení " + settings), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(programs));

  // The next installation into the same folder, then an uninstallation
  // that takes the scores too: nothing of the game is left.
  install();
  EXPECT_EQ(read_text(d + "/data.dat"), "EVA 1200") << "an installation leaves the scores alone";
  const auto p = plan();
  ASSERT_TRUE(p.scores);
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(tree(home.path()), before);
}

// A score table that was in the folder before the installation is not the
// game's to offer: it stays, with its folder.
TEST_F(UninstallTest, AScoreTableThatWasThereBeforeIsNeitherOfferedNorTaken) {
  write(d + "/data.dat", "somebody's older table");
  install();
  const auto p = plan();
  EXPECT_FALSE(p.scores);
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(read_text(d + "/data.dat"), "somebody's older table");
}

// Files the installation wrote that were changed since are no longer its
// own: a player's own picture over the icon, an edited shortcut, a link in
// place of a data file. They stay, are named, and so does the folder.
TEST_F(UninstallTest, FilesChangedSinceTheInstallationAndTheUsersOwnStay) {
  install();
  write(d + "/mine.txt", "the player's notes");
  write(d + "/zarnik.png", "the player's own picture");
  write(d + "/setup.exe", "payload setup.xxx, patched");
  write(home / "song.mid", "the player's song");
  fs::remove(d + "/menu.mid");
  fs::create_symlink(home / "song.mid", d + "/menu.mid");
  fs::remove(desktop + "/Zarnik.lnk");
  ASSERT_TRUE(shell::save_shell_link(desktop + "/Zarnik.lnk", "/usr/bin/other", "/usr/bin/"));

  const auto p = plan();
  EXPECT_EQ(left_alone(p), (std::set<std::string>{d + "/zarnik.png", d + "/setup.exe",
                                                  d + "/menu.mid", desktop + "/Zarnik.lnk"}));
  const auto result = installer::perform_uninstall(p, false, false);
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  EXPECT_EQ(read_text(d + "/mine.txt"), "the player's notes");
  EXPECT_EQ(read_text(d + "/zarnik.png"), "the player's own picture");
  EXPECT_EQ(read_text(d + "/setup.exe"), "payload setup.xxx, patched");
  EXPECT_TRUE(fs::is_symlink(d + "/menu.mid"));
  EXPECT_EQ(read_text(home / "song.mid"), "the player's song");
  EXPECT_TRUE(fs::exists(desktop + "/Zarnik.lnk"));
  EXPECT_FALSE(fs::exists(d + "/zarnik.exe"));
  EXPECT_FALSE(fs::exists(programs));
  const std::string text = installer::result_text(result);
  EXPECT_NE(text.find(d + "/zarnik.png"), std::string::npos) << text;
  EXPECT_NE(text.find("adresář " + d + " (není prázdný)"), std::string::npos) << text;
}

// The six ways the settings file, a link or a name led an earlier
// uninstaller into a user's files. Each decoy folder holds the user's files,
// some under the installation's names and with the very bytes an
// installation writes; not one of them may go.
TEST_F(UninstallTest, TheSixDecoysLoseNothing) {
  install();
  const auto record_of_install = installer::read_record(record);
  ASSERT_TRUE(record_of_install);
  auto decoy = [&](const std::string& folder) {
    for (const auto& f : installer::kPayload)
      write(folder + "/" + f.target, read_text(source + "/" + f.source));
    write(folder + "/data.dat", "the user's scores");
    write(folder + "/zarnik.png", "the user's picture");
    write(folder + "/zarnik.lnk", read_text(d + "/zarnik.lnk"));
    write(folder + "/notes.txt", "the user's notes");
  };
  const std::string project = home / "projects/zarnik";
  const std::string victim = home / "victim";
  const Lines installed = shell::read_settings_lines(settings);
  auto user_files = [&] {
    std::map<std::string, std::string> all;
    for (const auto& root : {project, victim, home / "Jine"})
      if (fs::exists(root))
        for (const auto& [rel, content] : tree(root)) all[root + "/" + rel] = content;
    return all;
  };

  struct Case {
    const char* what;
    std::function<void()> make;
    std::string home_during_uninstall;  // empty: as it is
  };
  const std::vector<Case> cases = {
      {"the user's own ~/projects/zarnik listed in lines 4 and 5",
       [&] {
         decoy(project);
         Lines l = installed;
         for (size_t i = 3; i < l.size(); ++i)
           if (l[i].rfind(d, 0) == 0) l[i] = project + l[i].substr(d.size());
         shell::write_settings_lines(settings, l);
       },
       ""},
      {"\"..\" in lines 4 and 5 and in the record",
       [&] {
         decoy(project);
         Lines l = installed;
         l[3] = d + "/../../projects/zarnik/zarnik.lnk";
         l[4] = d + "/../../projects/zarnik/zarnik.exe";
         l.push_back(d + "/../../projects/zarnik/data.dat");
         shell::write_settings_lines(settings, l);
         Lines rl = installer::record_lines(*installer::read_record(record));
         rl.push_back("folder found - " + d + "/../../projects/zarnik");
         rl.push_back("game " + d + "/../../projects/zarnik");
         rl.push_back("scores " + d + "/../../projects/zarnik/data.dat");
         shell::write_settings_lines(record, rl);
       },
       ""},
      {"the game folder a link to the user's folder",
       [&] {
         decoy(victim);
         fs::rename(d, home / "Hry/moved");
         fs::create_directory_symlink(victim, d);
       },
       ""},
      {"a linked parent leading to another folder named zarnik",
       [&] {
         decoy(home / "Jine/zarnik");
         fs::rename(home / "Hry", home / "Hry.old");
         fs::create_directory_symlink(home / "Jine", home / "Hry");
       },
       ""},
      {"the game folder swapped for a folder of its own name",
       [&] {
         fs::rename(d, home / "Hry/zarnik.old");
         decoy(d);
         fs::create_directory_symlink(d, victim);  // the user's own alias for it
       },
       ""},
      {"a home folder named zarnik listed as the game folder",
       [&] {
         decoy(project);
         Lines l = installed;
         l[3] = project + "/zarnik.lnk";
         l[4] = project + "/zarnik.exe";
         shell::write_settings_lines(settings, l);
       },
       project},
  };
  size_t lost = 0, user_files_seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NO_FATAL_FAILURE(install());
    c.make();
    const auto before = user_files();
    user_files_seen += before.size();
    {
      testing_home::ScopedEnv env;
      if (!c.home_during_uninstall.empty()) env.set("HOME", c.home_during_uninstall);
      const auto result = uninstall();
    }
    const auto after = user_files();
    for (const auto& [path, content] : before) {
      const auto it = after.find(path);
      if (it == after.end() || it->second != content) {
        ++lost;
        ADD_FAILURE() << "lost " << path;
      }
    }
    // Back to a clean state for the next case.
    for (const auto& p : {project, victim, home / "Jine", home / "Hry", home / "Hry.old"}) {
      std::error_code ec;
      fs::remove_all(p, ec);
    }
    fs::remove(settings);
    fs::remove(record);
    fs::remove_all(menu + "/Programy");
    for (const auto& e : fs::directory_iterator(desktop)) fs::remove(e.path());
  }
  EXPECT_EQ(lost, 0u);
  EXPECT_EQ(user_files_seen, 79u) << "78 of the user's files and a folder of theirs";
}

// The installation may go into a folder that is there already, the user's
// home even (a home named "zarnik" and its parent chosen): the user's files
// in it stay, and so does the folder.
TEST_F(UninstallTest, AnInstallationIntoAnExistingFolderLeavesItAndItsFilesAlone) {
  d = home.mkdir("zarnik");  // the user's own folder of that name
  write(d + "/notes.txt", "the user's notes");
  write(d + "/data.dat", "another program's data");
  write(d + "/.config/other.ini", "another program's settings");
  const auto before = tree(d);
  {
    testing_home::ScopedEnv as_home{{"HOME", d}};
    install();
    EXPECT_TRUE(fs::exists(d + "/zarnik.exe"));
    const auto result = uninstall();
    EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  }
  EXPECT_EQ(tree(d), before);
}

// Without a record nothing goes, whatever the settings file lists; the
// message says why.
TEST_F(UninstallTest, WithoutARecordNothingIsRemoved) {
  install();
  fs::remove(record);
  const auto untouched = tree(home.path());
  const auto p = plan();
  EXPECT_TRUE(p.empty());
  EXPECT_NE(p.refusal.find("není nainstalována"), std::string::npos);
  EXPECT_NE(p.refusal.find("chybí záznam instalace"), std::string::npos) << p.refusal;
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(tree(home.path()), untouched);
  EXPECT_FALSE(installer::plan_uninstall(std::nullopt, record, {}, settings).refusal.empty());
}

// The settings file's lines that the record does not name are shown as left
// alone and never touched.
TEST_F(UninstallTest, LinesTheRecordDoesNotNameAreShownAndLeftAlone) {
  install();
  write(home / "important.txt", "mine");
  Lines l = shell::read_settings_lines(settings);
  l.push_back(home / "important.txt");
  l.push_back("zarnik.exe");
  shell::write_settings_lines(settings, l);
  const auto p = plan();
  EXPECT_EQ(left_alone(p), (std::set<std::string>{home / "important.txt", "zarnik.exe"}));
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(read_text(home / "important.txt"), "mine");
  EXPECT_FALSE(fs::exists(d));
}

// Installed through a linked folder; the game then rewrote line 4 with the
// folder it ran in, and its own shortcut with its resolved path.
TEST_F(UninstallTest, AnInstallationThroughALinkedParentIsRemovedWhole) {
  fs::create_directories(home / "Real");
  fs::create_directory_symlink(home / "Real", home / "Linked");
  d = home / "Linked/zarnik";
  install();
  ASSERT_TRUE(
      shell::make_shortcut(home / "Real/zarnik/zarnik.exe", home / "Real/zarnik/", "zarnik.lnk"));
  const auto result = uninstall();
  EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
  EXPECT_FALSE(fs::exists(home / "Real/zarnik"));
  EXPECT_TRUE(fs::is_directory(home / "Real"));
  EXPECT_FALSE(fs::exists(record));
}

// The files are checked again as they go: what changed after the question
// was answered is not removed.
TEST_F(UninstallTest, AFileOrFolderChangedAfterThePlanIsNotRemoved) {
  install();
  const auto p = plan();
  write(home / "victim.txt", "mine");
  fs::remove(d + "/hra.mid");
  fs::create_symlink(home / "victim.txt", d + "/hra.mid");
  fs::rename(programs, programs + ".old");
  fs::create_directories(programs);
  write(programs + "/Zarnik.lnk", "someone else's");
  const auto result = installer::perform_uninstall(p, false, false);
  ASSERT_EQ(result.failures.size(), 7u)
      << "hra.mid, the three shortcuts of the moved folder and their desktop entries";
  EXPECT_NE(result.failures[0].find("hra.mid"), std::string::npos) << result.failures[0];
  EXPECT_EQ(read_text(home / "victim.txt"), "mine");
  EXPECT_TRUE(fs::is_symlink(d + "/hra.mid"));
  EXPECT_EQ(read_text(programs + "/Zarnik.lnk"), "someone else's");
  EXPECT_TRUE(fs::exists(programs + ".old/Zarnik.lnk"));
  // What could not go stays in the record, for the next round.
  const auto rest = installer::read_record(record);
  ASSERT_TRUE(rest);
  EXPECT_EQ(rest->files.size(), 7u);
}

// On a fresh account the installation made the settings folder, the
// applications folder and the desktop; with everything in them gone, they
// go too, and the home is as it was.
TEST(FreshAccountUninstall, TakesAwayTheFoldersTheInstallationMade) {
  TempHome home;
  const std::string source = home.mkdir("dist");
  make_payload(source);
  const auto before = tree(home.path());
  QuietUi ui;
  const std::string config = home / ".config";
  ASSERT_TRUE(installer::install(source + "/", home / "Hry/zarnik", config, ui).failures.empty());
  EXPECT_TRUE(fs::is_directory(home / ".local/share/applications/Programy/ZARNIK"));
  const std::string record = config + "/" + installer::kRecordFileName;
  const auto p = installer::plan_uninstall(installer::read_record(record), record,
                                           shell::read_settings_lines(config + "/zarnik.ini"),
                                           config + "/zarnik.ini");
  EXPECT_TRUE(p.left_alone.empty());
  EXPECT_TRUE(installer::perform_uninstall(p, false, false).failures.empty());
  EXPECT_EQ(tree(home.path()), before);
}

#ifndef _WIN32
// An installation cut off at any point is uninstalled whole: killed at the
// desktop question, at every step of the progress bar, and at random
// moments while it copies. After each, the uninstallation leaves the home
// exactly as it was.
TEST_F(UninstallTest, AnInstallationKilledAtAnyPointIsUninstalledWhole) {
  // Files large enough for a kill to land inside a copy.
  for (const auto& f : installer::kPayload)
    write(source + "/" + f.source, std::string(size_t(256) << 10, f.source[0]));
  const auto before = tree(home.path());

  // Runs the installation in a child killed when `kill_at` (a progress
  // position, or -1 for the desktop question) is reached, or after
  // `delay_us` when that is not negative.
  auto run_killed = [&](int kill_at, long delay_us) {
    struct KillingUi : installer::InstallUi {
      int kill_at;
      void set_progress(int p) override {
        if (p == kill_at) ::raise(SIGKILL);
      }
      bool ask_desktop_shortcut() override {
        if (kill_at == -1) ::raise(SIGKILL);
        return true;
      }
      void show_error(const std::string&) override {}
    };
    const pid_t child = ::fork();
    if (child == 0) {
      KillingUi ui;
      ui.kill_at = kill_at;
      installer::install(source + "/", d, config, ui);
      ::_exit(0);
    }
    if (delay_us >= 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
      ::kill(child, SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status);
  };
  auto check_round = [&](const std::string& what) {
    SCOPED_TRACE(what);
    const auto p = plan();
    if (p.empty()) {  // killed before the record was first written: nothing was made
      EXPECT_EQ(tree(home.path()), before);
      return;
    }
    const auto result = installer::perform_uninstall(p, false, false);
    EXPECT_TRUE(result.failures.empty()) << installer::result_text(result);
    EXPECT_EQ(tree(home.path()), before);
  };

  ASSERT_TRUE(run_killed(-1, -1));
  EXPECT_TRUE(fs::exists(programs + "/uninstall.desktop")) << "the menu offers the uninstaller";
  EXPECT_FALSE(fs::exists(settings)) << "the settings file comes last";
  check_round("killed at the desktop question");
  // Every position the bar takes: steps of kProgressStep, the last one
  // filling it.
  for (int step = 1; (step - 1) * installer::kProgressStep < installer::kProgressEnd; ++step) {
    const int at = std::min(step * installer::kProgressStep, installer::kProgressEnd);
    ASSERT_TRUE(run_killed(at, -1));
    check_round("killed at progress " + std::to_string(at));
  }

  // How long a whole installation takes here, to spread the kills over it.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(run_killed(0, -1));
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
  check_round("not killed");
  // Spread over the first three quarters, so that a machine that runs
  // faster than when it was measured still sees most kills land.
  std::mt19937 random(27);
  int landed = 0;
  for (int i = 0; i < 24; ++i) {
    const long delay = long(random() % uint64_t(whole * 3 / 4 + 1));
    landed += run_killed(0, delay);
    check_round("killed after " + std::to_string(delay) + " us of " + std::to_string(whole));
  }
  EXPECT_GT(landed, 0) << "no kill landed inside the installation";
}
#endif  // _WIN32

TEST(Record, ReadsBackWhatItWritesAndSetsAsideWhatBreaksItsRules) {
  installer::Record r;
  r.set(installer::RecordedFolder{"/home/eva/Hry", true, true, {2049, 17}});
  r.set(installer::RecordedFolder{"/home/eva/Hry/zarnik", true, false, {}});
  r.add_game_folder("/home/eva/Hry/zarnik");
  const std::string game = "/home/eva/Hry/zarnik";
  r.set(installer::RecordedFile{installer::RecordedKind::File,
                                "/home/eva/Hry/zarnik/zvuk.xxx",
                                installer::content_id({1, 2, 3}),
                                {},
                                game});
  r.set(installer::RecordedFile{installer::RecordedKind::Shortcut,
                                "/home/eva/Hry/zarnik/zarnik.lnk",
                                {},
                                "zarnik.exe",
                                game});
  r.set(installer::RecordedFile{
      installer::RecordedKind::Scores, "/home/eva/Hry/zarnik/data.dat", {}, {}, game});
  const Lines lines = installer::record_lines(r);
  EXPECT_EQ(lines[0], installer::kRecordHeader);
  ASSERT_EQ(lines.size(), 7u) << "two folders, the game, three files after it";
  EXPECT_EQ(lines[3], "game " + game);
  EXPECT_EQ(installer::record_lines(installer::parse_record(lines)), lines);

  const std::string sha(64, 'a');
  Lines bad = lines;
  const Lines broken = {
      "folder made 1:2 relative/path",
      "folder made 1:2 /home/eva/../root",
      "folder made x:2 /home/eva/x",
      "folder lost 1:2 /home/eva/y",
      "file 10 " + sha + " /home/eva/Documents/zarnik.exe",  // not in a recorded folder
      "file 10 " + std::string(64, 'G') + " /home/eva/Hry/zarnik/menu.xxx",
      "file ten " + sha + " /home/eva/Hry/zarnik/menu.xxx",
      "shortcut ../zarnik.exe /home/eva/Hry/zarnik/x.lnk",
      "scores /home/eva/Hry/data.dat",  // not in a game folder
      "game /home/eva",
      "folder made 1:2 /home/eva/Hry/./x",
      "settings",
      "whatever",
  };
  bad.insert(bad.end(), broken.begin(), broken.end());
  const auto parsed = installer::parse_record(bad);
  EXPECT_EQ(std::set<std::string>(parsed.unreadable.begin(), parsed.unreadable.end()),
            std::set<std::string>(broken.begin(), broken.end()));
  EXPECT_EQ(installer::record_lines(parsed), lines);

  // A later entry of the same path replaces the earlier.
  bad = lines;
  bad.push_back("file 3 " + sha + " /home/eva/Hry/zarnik/zvuk.xxx");
  EXPECT_EQ(installer::parse_record(bad).file("/home/eva/Hry/zarnik/zvuk.xxx")->content.sha256,
            sha);
}

// A record of the first form, all its game lines first: a file in a game
// folder is that installation's, any other the last one's. In the second
// form each file is the installation's whose game line it follows.
TEST(Record, EachFileBelongsToItsInstallationInBothForms) {
  const std::string sha(64, 'a');
  const Lines first = {installer::kFirstRecordHeader,
                       "folder made 1:2 /home/eva/A",
                       "folder made 1:3 /home/eva/B",
                       "folder found 1:4 /home/eva/.config",
                       "game /home/eva/A",
                       "game /home/eva/B",
                       "file 1 " + sha + " /home/eva/A/zarnik.exe",
                       "file 1 " + sha + " /home/eva/B/zarnik.exe",
                       "settings /home/eva/.config/zarnik.ini"};
  const auto r = installer::parse_record(first);
  EXPECT_TRUE(r.unreadable.empty()) << r.unreadable.front();
  EXPECT_EQ(r.file("/home/eva/A/zarnik.exe")->game, "/home/eva/A");
  EXPECT_EQ(r.file("/home/eva/B/zarnik.exe")->game, "/home/eva/B");
  EXPECT_EQ(r.file("/home/eva/.config/zarnik.ini")->game, "/home/eva/B");
  // Written in the second form, each after its own game line, and read
  // back the same.
  const Lines second = installer::record_lines(r);
  EXPECT_EQ(second[0], installer::kRecordHeader);
  EXPECT_EQ(Lines(second.begin() + 4, second.end()),
            (Lines{"game /home/eva/A", "file 1 " + sha + " /home/eva/A/zarnik.exe",
                   "game /home/eva/B", "file 1 " + sha + " /home/eva/B/zarnik.exe",
                   "settings /home/eva/.config/zarnik.ini"}));
  EXPECT_EQ(installer::record_lines(installer::parse_record(second)), second);
  // A file before any game line, or a settings line for another file, is
  // no entry.
  Lines loose = second;
  loose.insert(loose.begin() + 4, "file 1 " + sha + " /home/eva/A/loose.txt");
  loose.push_back("settings /home/eva/A/notes.txt");
  EXPECT_EQ(installer::parse_record(loose).unreadable, (Lines{loose[4], loose.back()}));
}

TEST(Record, AFileThatIsNoRecordOrTooLargeIsRefusedAndAMissingOneIsNone) {
  TempHome home;
  const std::string path = home / "zarnik-install.rec";
  EXPECT_FALSE(installer::read_record(path));
  write(path, "800\r\n600\r\n");
  EXPECT_THROW(installer::read_record(path), std::runtime_error);
  write(path, std::string(installer::kRecordHeader) + "\r\n" +
                  std::string(installer::kMaxRecordBytes, 'x'));
  EXPECT_THROW(installer::read_record(path), std::runtime_error);
#ifndef _WIN32
  fs::remove(path);
  fs::create_symlink("/dev/zero", path);
  EXPECT_THROW(installer::read_record(path), std::runtime_error);
#endif
}

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(installer::content_id({}).sha256,
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const std::string abc = "abc";
  EXPECT_EQ(installer::content_id({abc.begin(), abc.end()}).sha256,
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Fed in uneven pieces across the block boundaries.
  const std::string a(1000, 'a');
  installer::Sha256 whole;
  for (int i = 0; i < 1000; ++i) whole.update(a);
  EXPECT_EQ(whole.hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  const std::string text = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  installer::Sha256 pieces;
  for (char c : text) pieces.update(std::string_view(&c, 1));
  EXPECT_EQ(pieces.hex(), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_TRUE(installer::is_sha256_hex(std::string(64, 'f')));
  EXPECT_FALSE(installer::is_sha256_hex(std::string(64, 'F')));
  EXPECT_FALSE(installer::is_sha256_hex(std::string(63, 'f')));
}

// The uninstaller knows a shortcut by the program it leads to.
TEST(ShellLinkTarget, ReadsWhatTheWriterWroteAndNothingFromBrokenBytes) {
  const std::string target = "/home/hráč/Hry/zarnik/zarnik.exe";
  const auto link = shell::encode_shell_link(target, "/home/hráč/Hry/zarnik/");
  EXPECT_EQ(shell::read_shell_link_target(link), target);
  // Without the UTF-16 offsets the 8-bit path is read.
  auto short_info = link;
  short_info[0x4C + 4] = 0x1C;
  EXPECT_EQ(shell::read_shell_link_target(short_info), target);
  const size_t info_end = 0x4C + (link[0x4C] | link[0x4D] << 8);  // the link information
  for (size_t cut = 0; cut < info_end; cut += 3) {
    const std::vector<uint8_t> part(link.begin(), link.begin() + ptrdiff_t(cut));
    EXPECT_TRUE(shell::read_shell_link_target(part).empty()) << cut;
  }
  auto foreign = link;
  foreign[5] ^= 1;  // another class
  EXPECT_TRUE(shell::read_shell_link_target(foreign).empty());
}

}  // namespace
