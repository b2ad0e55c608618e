// The game as the Debian package installed it, started as a player starts
// it: the program of the menu entry's Exec line, looked up on the PATH of a
// login of a fresh account, on a virtual X display. The player types a name
// and plays a round; the score and the settings are in the account's own
// folders and are still there after a second start. Screenshots of the menu
// and of the play go to $ZARNIK_SHOTS_DIR.
//
// scripts/test-package.sh runs this program as root with the package
// installed and the account made (ZARNIK_PLAYER names it); then it purges
// the package and checks what is left. Without ZARNIK_PLAYER it skips.
// gtest first: the X headers define macros (None, Bool) that clash with it.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "harness/x_session.h"
#include "shell/desktop_entry.h"
#include "tests/installer/payload.h"
#include "tests/shell/run_program.h"
#include "tools/png/png_write.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace xsession;
using installer_test::read_text;
using testing_run::run_program;

constexpr const char* kMenuEntry = "/usr/share/applications/zarnik.desktop";
constexpr const char* kName = "BALICEK";

// A stuck X server or program must not hang CI: after this long the test
// program ends (its children die with it).
extern "C" void installed_watchdog(int) {
  const char msg[] = "installed game test: watchdog expired, giving up\n";
  [[maybe_unused]] auto n = write(2, msg, sizeof msg - 1);
  _exit(3);
}

struct Account {
  std::string name;
  uid_t uid = 0;
  fs::path home;
};

// Every process of the account, by its id.
std::vector<pid_t> processes_of(uid_t uid) {
  std::vector<pid_t> out;
  DIR* d = opendir("/proc");
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    struct stat st {};
    if (*end == '\0' && pid > 0 && stat(("/proc/" + std::string(e->d_name)).c_str(), &st) == 0 &&
        st.st_uid == uid)
      out.push_back(pid_t(pid));
  }
  closedir(d);
  return out;
}

// The program of the menu entry started by `runuser -l`, as a login of the
// account would start it: the account's own environment and PATH, the
// display passed on.
class PlayerGame : public ChildProcess {
 public:
  PlayerGame(const Account& account, const std::string& program, const std::string& display,
             const fs::path& log)
      : account_(account), log_(log) {
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      dup2(fd, 2);
      setenv("DISPLAY", display.c_str(), 1);
      // The Exec line's program, looked up on PATH by the shell as a
      // launcher does; it holds no quote (checked by the caller).
      const std::string command = "exec '" + program + "'";
      execlp("runuser", "runuser", "-l", account.name.c_str(), "-w", "DISPLAY", "-c",
             command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~PlayerGame() {
    if (running()) {
      // runuser passes the signal on to the game and waits for it.
      kill(pid_, SIGTERM);
      wait_exit(3s);
      if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    // Nothing of the account may outlive the test: its folder is compared
    // after the purge.
    for (pid_t p : processes_of(account_.uid)) kill(p, SIGKILL);
  }
  std::string log() const { return read_text(log_.string()); }

 private:
  Account account_;
  fs::path log_;
};

class InstalledGame : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* player = std::getenv("ZARNIK_PLAYER");
    if (!player || !*player)
      GTEST_SKIP() << "run by scripts/test-package.sh with the package installed (ZARNIK_PLAYER)";
    const passwd* pw = getpwnam(player);
    ASSERT_NE(pw, nullptr) << "no account " << player;
    account_ = {player, pw->pw_uid, pw->pw_dir};
    const char* shots = std::getenv("ZARNIK_SHOTS_DIR");
    shots_ = shots && *shots ? fs::path(shots) : fs::temp_directory_path();
    fs::create_directories(shots_);
    signal(SIGALRM, installed_watchdog);
    alarm(240);
    std::string why;
    ASSERT_TRUE(display_.start(why)) << why;

    const std::string entry = read_text(kMenuEntry);
    ASSERT_FALSE(entry.empty()) << kMenuEntry << " is not installed";
    program_ = shell::read_desktop_entry_launch(entry).program;
    ASSERT_FALSE(program_.empty()) << "the menu entry starts nothing";
    ASSERT_EQ(program_.find('\''), std::string::npos) << program_;
  }
  void TearDown() override { alarm(0); }

  // The whole screen as a PNG file in the shots folder.
  void screenshot(const std::string& name) {
    const std::vector<uint32_t> px = display_.screen_pixels();
    ASSERT_FALSE(px.empty());
    EXPECT_TRUE(assets::write_png((shots_ / name).string(), display_.width(), display_.height(), px,
                                  1, false))
        << name;
  }

  // Starts the game as the account and waits for its window and its menu.
  std::unique_ptr<PlayerGame> start(const std::string& log_name) {
    auto game = std::make_unique<PlayerGame>(account_, program_, display_.name(),
                                             shots_ / (log_name + ".log"));
    EXPECT_TRUE(wait_until([&] { return display_.any_window_viewable() || !game->running(); }, 30s))
        << "no window appeared";
    EXPECT_TRUE(game->running()) << game->log();
    // The splash lasts 250 frames; the menu follows.
    std::this_thread::sleep_for(7s);
    return game;
  }

  // Esc in the menu closes the game (a shown score list takes one Esc more).
  void quit(PlayerGame& game) {
    for (int i = 0; i < 3 && game.running(); ++i) {
      display_.tap(XK_Escape);
      game.wait_exit(1500ms);
    }
    ASSERT_TRUE(game.wait_exit(5s)) << "the game did not close";
    ASSERT_TRUE(WIFEXITED(game.status())) << game.log();
    EXPECT_EQ(WEXITSTATUS(game.status()), 0) << game.log();
  }

  std::vector<std::string> settings() {
    return lines_of(read_bytes(account_.home / ".config/zarnik.ini"));
  }
  // The score entered under the name, or "" when the table has none.
  std::string score_of(const std::string& name) {
    const auto table = lines_of(read_bytes(account_.home / ".local/state/zarnik/data.dat"));
    for (size_t i = 0; i + 1 < table.size(); i += 2)
      if (unshift(table[i + 1]) == name) return unshift(table[i]);
    return {};
  }

  Account account_;
  fs::path shots_;
  VirtualDisplay display_;
  std::string program_;
};

TEST_F(InstalledGame, ThePlayersLoginFindsThePackagesCommand) {
  const auto r =
      run_program({"runuser", "-l", account_.name, "-c", "command -v '" + program_ + "'"});
  ASSERT_EQ(r.status, 0) << r.output;
  std::string path = r.output.substr(0, r.output.find('\n'));
  EXPECT_EQ(path, "/usr/games/zarnik");
  const auto owner = run_program({"dpkg-query", "-S", path});
  EXPECT_EQ(owner.output, "zarnik: " + path + "\n");
}

TEST_F(InstalledGame, PlaysARoundAndKeepsScoreAndSettingsAcrossStarts) {
  const fs::path state = account_.home / ".local/state/zarnik";
  {
    auto game = start("first-start");
    ASSERT_TRUE(game->running());
    EXPECT_GT(display_.lit_share(), 0.01) << "the menu frame is black";
    screenshot("menu.png");
    // While it runs, the launcher's links to the installed data are in the
    // player's folder.
    for (const char* f : kDataFiles) {
      EXPECT_TRUE(fs::is_symlink(state / f)) << f;
      EXPECT_EQ(fs::read_symlink(state / f), fs::path("/usr/share/zarnik") / f);
    }

    // The name: a click on the field at the bottom right, cleared, typed,
    // ended with Enter.
    const int w = VirtualDisplay::kWidth, h = VirtualDisplay::kHeight;
    display_.click(w - 100, h - 72);
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < 12; ++i) display_.tap(XK_BackSpace);
    for (KeySym k : {XK_b, XK_a, XK_l, XK_i, XK_c, XK_e, XK_k}) display_.tap(k);
    display_.tap(XK_Return);

    // A round: fire for a while, a missile, then Esc enters the score.
    display_.tap(XK_Down);
    display_.tap(XK_Return);
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(game->running()) << game->log();
    display_.key_down(XK_space);
    std::this_thread::sleep_for(800ms);
    screenshot("play.png");
    display_.key_up(XK_space);
    display_.tap(XK_Control_L);
    std::this_thread::sleep_for(300ms);
    display_.tap(XK_Escape);
    std::this_thread::sleep_for(800ms);
    quit(*game);
  }

  // The links went with the game; what the game wrote belongs to the
  // player.
  for (const char* f : kDataFiles) EXPECT_FALSE(fs::is_symlink(state / f)) << f;
  for (const fs::path& p :
       {state / "data.dat", state / "zarnik.lnk", account_.home / ".config/zarnik.ini"}) {
    struct stat st {};
    ASSERT_EQ(lstat(p.c_str(), &st), 0) << p << " was not written";
    EXPECT_EQ(st.st_uid, account_.uid) << p;
  }
  auto ini = settings();
  ASSERT_GE(ini.size(), 3u);
  EXPECT_EQ(ini[0], "800");
  EXPECT_EQ(ini[1], "600");
  EXPECT_EQ(ini[2], kName);
  const std::string score = score_of(kName);
  ASSERT_FALSE(score.empty()) << "the round's score is not in data.dat";
  EXPECT_EQ(score.find_first_not_of("0123456789"), std::string::npos) << score;

  // A second start reads them back and keeps them.
  {
    auto game = start("second-start");
    ASSERT_TRUE(game->running());
    screenshot("second-start.png");
    quit(*game);
  }
  ini = settings();
  ASSERT_GE(ini.size(), 3u);
  EXPECT_EQ(ini[2], kName) << "the name did not persist";
  EXPECT_EQ(score_of(kName), score) << "the score did not persist";
}

}  // namespace
