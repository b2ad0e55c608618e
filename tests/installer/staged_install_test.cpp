// `cmake --install` into a staging prefix: what lands where, the desktop
// entry and the metainfo as their validators see them, the launcher's game
// folder of the player's own, and the installed game started under Xvfb.
// gtest first: the X headers define macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "harness/x_session.h"
#include "tests/installer/payload.h"
#include "tests/shell/run_program.h"
#include "version.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using installer_test::read_text;
using testing_run::run_program;

constexpr const char* kMetainfo = "share/metainfo/io.github.zarnik.zarnik.metainfo.xml";
constexpr const char* kDesktopEntry = "share/applications/zarnik.desktop";

fs::path fresh_folder(const std::string& what) {
  const fs::path p =
      fs::temp_directory_path() / ("zarnik-" + what + "-" + std::to_string(getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

// Every path under `root` with its size and modification time.
std::map<std::string, std::string> snapshot(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    struct stat st {};
    lstat(e.path().c_str(), &st);
    out[e.path().string()] = std::to_string(st.st_size) + "@" + std::to_string(st.st_mtim.tv_sec) +
                             "." + std::to_string(st.st_mtim.tv_nsec);
  }
  return out;
}

class StagedInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    stage_ = fresh_folder("stage");
    const auto r =
        run_program({ZARNIK_CMAKE, "--install", ZARNIK_BINARY_DIR, "--prefix", stage_.string()});
    ASSERT_EQ(r.status, 0) << r.output;
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(stage_);
  }

  fs::path stage_;
};

TEST_F(StagedInstall, PutsEveryPartInItsPlace) {
  for (const char* f :
       {"bin/zarnik", "bin/zarnik-installer", "bin/zarnik-uninstaller", "libexec/zarnik/zarnik",
        "libexec/zarnik/installer", "libexec/zarnik/uninstaller"})
    EXPECT_EQ(access((stage_ / f).c_str(), X_OK), 0) << f << " is not an installed program";
  // share/zarnik is the installer's payload: every file under its payload
  // name, the programs as links to libexec.
  for (const auto& p : installer::kPayload)
    EXPECT_TRUE(fs::is_regular_file(stage_ / "share/zarnik" / p.source)) << p.source;
  EXPECT_EQ(fs::canonical(stage_ / "share/zarnik/hra.xxx"),
            fs::canonical(stage_ / "libexec/zarnik/zarnik"));
  EXPECT_EQ(fs::canonical(stage_ / "share/zarnik/setup.xxx"),
            fs::canonical(stage_ / "libexec/zarnik/installer"));
  EXPECT_EQ(fs::canonical(stage_ / "bin/zarnik-uninstaller"),
            fs::canonical(stage_ / "libexec/zarnik/uninstaller"));
  EXPECT_TRUE(fs::is_symlink(stage_ / "share/zarnik/uninstall.exe"));
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string s = std::to_string(size);
    EXPECT_TRUE(
        fs::is_regular_file(stage_ / "share/icons/hicolor" / (s + "x" + s) / "apps" / "zarnik.png"))
        << s;
  }
  // The desktop entry starts the launcher by its name on PATH, with the
  // theme's icon, and names the window's class; the metainfo points at it.
  const std::string entry = read_text((stage_ / kDesktopEntry).string());
  EXPECT_EQ(testing_run::desktop_value(entry, "Exec"), "zarnik");
  EXPECT_EQ(testing_run::desktop_value(entry, "Icon"), "zarnik");
  EXPECT_EQ(testing_run::desktop_value(entry, "StartupWMClass"), "zarnik");
  EXPECT_NE(read_text((stage_ / kMetainfo).string())
                .find("<launchable type=\"desktop-id\">zarnik.desktop</launchable>"),
            std::string::npos);
}

TEST_F(StagedInstall, DesktopEntryPassesItsValidator) {
  REQUIRE_TOOL("desktop-file-validate");
  EXPECT_EQ(testing_run::desktop_file_complaints((stage_ / kDesktopEntry).string()), "");
}

TEST_F(StagedInstall, MetainfoPassesItsValidator) {
  REQUIRE_TOOL("appstreamcli");
  const auto r =
      run_program({"appstreamcli", "validate", "--no-net", (stage_ / kMetainfo).string()});
  EXPECT_EQ(r.status, 0) << r.output;
}

// The launcher with a stand-in game that records where it was started and
// which links it found there: the player's folder is made under the state
// home and holds links to the installed data files while a game runs; the
// last game to end takes them away again, and a start takes away links that
// lead nowhere.
class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fresh_folder("launcher");
    prefix_ = root_ / "usr";
    home_ = root_ / "home";
    fs::create_directories(prefix_ / "bin");
    fs::create_directories(prefix_ / "libexec/zarnik");
    fs::create_directories(prefix_ / "share/zarnik");
    fs::create_directories(home_);
    fs::copy_file(fs::path(ZARNIK_BINARY_DIR) / "installer/linux/zarnik", prefix_ / "bin/zarnik");
    // It waits while the file $HOLD names is there, so that two games run
    // at once.
    std::ofstream(prefix_ / "libexec/zarnik/zarnik")
        << "#!/bin/sh\npwd -P > \"$HOME/started-in.tmp\"\n"
        << "for f in *; do [ -L \"$f\" ] && readlink -f -- \"$f\"; done "
           ">> \"$HOME/started-in.tmp\"\n"
        << "mv \"$HOME/started-in.tmp\" \"$HOME/started-in\"\n"
        << "trap 'echo TERM > \"$HOME/got\"; exit 7' TERM\n"
        << "while [ -n \"${HOLD:-}\" ] && [ -e \"$HOLD\" ]; do sleep 0.05; done\n";
    fs::permissions(prefix_ / "libexec/zarnik/zarnik", fs::perms::owner_all);
    for (const char* f : xsession::kDataFiles) std::ofstream(prefix_ / "share/zarnik" / f) << f;
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }
  testing_run::RunResult start(const std::string& state_home = {}, const std::string& hold = {}) {
    return run_program({(prefix_ / "bin/zarnik").string()},
                       {{"HOME", home_.string()}, {"XDG_STATE_HOME", state_home}, {"HOLD", hold}});
  }
  // The folder the game was started in, and the files the links it found
  // there led to.
  std::string started_in() { return seen().front(); }
  std::vector<std::string> seen() {
    std::vector<std::string> lines;
    std::istringstream in(read_text((home_ / "started-in").string()));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    if (lines.empty()) lines.emplace_back();
    return lines;
  }
  std::vector<std::string> installed_data() {
    std::vector<std::string> out;
    for (const char* f : xsession::kDataFiles)
      out.push_back(fs::canonical(prefix_ / "share/zarnik" / f).string());
    std::sort(out.begin(), out.end());
    return out;
  }
  // The links in the player's folder.
  std::vector<std::string> links() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(home_ / ".local/state/zarnik"))
      if (e.is_symlink()) out.push_back(e.path().filename().string());
    return out;
  }

  fs::path root_, prefix_, home_;
};

TEST_F(Launcher, StartsTheGameInThePlayersFolderWithLinksToTheDataThatGoWhenItEnds) {
  const auto r = start();
  ASSERT_EQ(r.status, 0) << r.output;
  const fs::path dir = home_ / ".local/state/zarnik";
  auto found = seen();
  EXPECT_EQ(found.front(), fs::canonical(dir).string());
  found.erase(found.begin());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, installed_data()) << "the game found a link to each data file";
  EXPECT_TRUE(links().empty()) << "no link left once the game ended";
  EXPECT_TRUE(fs::is_directory(dir));
}

TEST_F(Launcher, TheLastOfTwoGamesToEndTakesTheLinksAway) {
  const fs::path hold = home_ / "hold";
  std::ofstream(hold) << "";
  std::thread first([&] { EXPECT_EQ(start({}, hold.string()).status, 0); });
  ASSERT_TRUE(xsession::wait_until([&] { return fs::exists(home_ / "started-in"); }, 10s));
  // A second game while the first runs starts with every link and ends; the
  // first keeps its data.
  ASSERT_EQ(start().status, 0);
  EXPECT_EQ(seen().size(), std::size(xsession::kDataFiles) + 1);
  EXPECT_EQ(links().size(), std::size(xsession::kDataFiles)) << "the first game still runs";
  fs::remove(hold);
  first.join();
  EXPECT_TRUE(links().empty());
}

TEST_F(Launcher, ASignalToTheLauncherEndsTheGameAsItWouldEndItAlone) {
  // The desktop's session ends the launcher: the game gets the signal (and
  // saves), the launcher waits for it, takes the links away and passes its
  // status on.
  const fs::path hold = home_ / "hold", pid = home_ / "launcher.pid";
  std::ofstream(hold) << "";
  testing_run::RunResult r;
  std::thread run([&] {
    r = run_program({"sh", "-c", "\"$0\" & echo $! > \"$1\"; wait $!",
                     (prefix_ / "bin/zarnik").string(), pid.string()},
                    {{"HOME", home_.string()}, {"XDG_STATE_HOME", ""}, {"HOLD", hold.string()}});
  });
  ASSERT_TRUE(xsession::wait_until([&] { return fs::exists(home_ / "started-in"); }, 10s));
  const std::string launcher = read_text(pid.string());
  ASSERT_EQ(run_program({"kill", "-TERM", launcher.substr(0, launcher.find('\n'))}).status, 0);
  run.join();
  EXPECT_EQ(read_text((home_ / "got").string()), "TERM\n") << "the game got the signal";
  EXPECT_EQ(r.status, 7) << "the game's status passed on";
  EXPECT_TRUE(links().empty());
  fs::remove(hold);
}

TEST_F(Launcher, VersionAndHelpAreTheLaunchersAndStartNoGame) {
  auto r =
      run_program({(prefix_ / "bin/zarnik").string(), "--version"}, {{"HOME", home_.string()}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "zarnik " ZARNIK_VERSION "\n");
  r = run_program({(prefix_ / "bin/zarnik").string(), "--help"}, {{"HOME", home_.string()}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output.rfind("Použití: zarnik [--version | --help]\n", 0), 0u) << r.output;
  EXPECT_NE(r.output.find("data.dat"), std::string::npos) << "says where the scores are";
  r = run_program({(prefix_ / "bin/zarnik").string(), "--fullscreen"}, {{"HOME", home_.string()}});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("--fullscreen"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(home_ / "started-in")) << "no game was started";
  EXPECT_FALSE(fs::exists(home_ / ".local")) << "nor its folder made";
}

TEST_F(Launcher, TakesAnAbsoluteStateHomeAndIgnoresARelativeOne) {
  ASSERT_EQ(start((root_ / "state").string()).status, 0);
  EXPECT_EQ(started_in(), fs::canonical(root_ / "state/zarnik").string());
  ASSERT_EQ(start("relative/state").status, 0);
  EXPECT_EQ(started_in(), fs::canonical(home_ / ".local/state/zarnik").string());
}

TEST_F(Launcher, RepairsStaleLinksAndKeepsThePlayersOwnFiles) {
  ASSERT_EQ(start().status, 0);
  const fs::path dir = home_ / ".local/state/zarnik";
  // Links of an installation that is gone (a game killed with its launcher
  // left them) lead nowhere; a player's own file in place of a link stays,
  // and so do the player's own links under other names.
  fs::create_symlink("/opt/old/share/zarnik/menu.xxx", dir / "menu.xxx");
  fs::create_symlink("/opt/old/share/zarnik/obrazky.xxx", dir / "obrazky.xxx");
  std::ofstream(dir / "hra.mid") << "my own music";
  std::ofstream(dir / "data.dat") << "scores";
  fs::create_symlink("/nonexistent/notes.txt", dir / "notes.txt");
  ASSERT_EQ(start().status, 0);
  auto found = seen();
  found.erase(found.begin());
  EXPECT_NE(std::find(found.begin(), found.end(),
                      fs::canonical(prefix_ / "share/zarnik/menu.xxx").string()),
            found.end())
      << "the stale link was made anew for the game";
  EXPECT_EQ(std::find(found.begin(), found.end(),
                      fs::canonical(prefix_ / "share/zarnik/hra.mid").string()),
            found.end())
      << "the player's own file was used";
  EXPECT_EQ(read_text((dir / "hra.mid").string()), "my own music");
  EXPECT_EQ(read_text((dir / "data.dat").string()), "scores");
  EXPECT_EQ(links(), std::vector<std::string>{"notes.txt"}) << "only the player's own link stays";
}

TEST_F(Launcher, RefusesAHomeThatIsNotAnAbsolutePath) {
  const auto r = run_program({(prefix_ / "bin/zarnik").string()},
                             {{"HOME", "relative"}, {"XDG_STATE_HOME", ""}}, root_.string());
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("HOME"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(root_ / "relative"));
}

// A stuck X server or program must not hang the run.
extern "C" void staged_watchdog(int) {
  const char msg[] = "staged install test: watchdog expired\n";
  [[maybe_unused]] auto n = write(2, msg, sizeof msg - 1);
  _exit(3);
}

// The installed game, started as its desktop entry starts it, shows its
// window with the class the entry names, and writes its files into the
// player's folder and nowhere in the installation.
TEST_F(StagedInstall, GameStartsFromTheInstallationAndWritesOnlyInThePlayersFolder) {
  signal(SIGALRM, staged_watchdog);
  alarm(90);
  xsession::VirtualDisplay x;
  std::string why;
  if (!x.start(why)) GTEST_SKIP() << why;
  const fs::path home = fresh_folder("staged-home");
  unsetenv("XDG_STATE_HOME");  // the game inherits it: its folder goes under `home`
  const auto before = snapshot(stage_);
  {
    xsession::Game game((stage_ / "bin/zarnik").string(), home, x.name());
    ASSERT_TRUE(
        xsession::wait_until([&] { return x.any_window_viewable() || !game.running(); }, 20s))
        << "no window appeared";
    ASSERT_TRUE(game.running()) << game.log();
    const std::string entry = read_text((stage_ / kDesktopEntry).string());
    EXPECT_EQ(x.window_looks().res_class, testing_run::desktop_value(entry, "StartupWMClass"));
    std::this_thread::sleep_for(3s);  // a few seconds of splash and menu
    ASSERT_TRUE(game.running()) << game.log();
    ASSERT_TRUE(xsession::wait_until(
        [&] {
          x.tap(XK_Escape);
          return !game.running();
        },
        10s, 300ms))
        << "Esc did not close the game";
    EXPECT_EQ(game.status(), 0) << game.log();
  }
  alarm(0);
  const fs::path dir = home / ".local/state/zarnik";
  EXPECT_TRUE(fs::is_regular_file(dir / "data.dat"));
  EXPECT_TRUE(fs::is_regular_file(dir / "zarnik.lnk"));
  const auto settings = xsession::lines_of(xsession::read_bytes(home / "config/zarnik.ini"));
  ASSERT_GE(settings.size(), 4u);
  EXPECT_EQ(settings[3], fs::canonical(dir).string() + "/zarnik.lnk");
  EXPECT_EQ(snapshot(stage_), before) << "the game wrote into its installation";
  fs::remove_all(home);
}

}  // namespace
