// Installs from the build's distribution folder into a throw-away home, starts
// the installed game from its menu entry under a virtual X server until its
// menu, lets it close as a user would, and uninstalls. Skipped until the distribution folder has
// been made (target "dist").
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "installer/core/uninstall.h"
#include "installer/form.h"
#include "payload.h"
#include "qt_app.h"
#include "shell/desktop_entry.h"
#include "shell/settings_file.h"
#include "tests/shell/temp_home.h"

namespace {

namespace fs = std::filesystem;
using namespace installer_test;
using testing_home::TempHome;

const std::string kDist = std::string(ZARNIK_BINARY_DIR) + "/dist";

bool dist_complete() {
  for (const auto& f : installer::kPayload)
    if (!fs::exists(kDist + "/" + f.source)) return false;
  return true;
}

// Files and folders under `root` that either program could have made; the
// caches and sound-server state of the libraries below the game are not
// theirs.
std::set<std::string> tree(const std::string& root) {
  std::set<std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = fs::relative(it->path(), root).string();
    if (rel == ".cache" || rel == ".config/pulse" || rel.rfind(".local/state", 0) == 0) {
      it.disable_recursion_pending();
      continue;
    }
    out.insert(rel);
  }
  return out;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

TEST(EndToEnd, InstallFromDistRunTheGameAndUninstall) {
  if (!dist_complete()) GTEST_SKIP() << "no complete " << kDist << " (build the target dist)";
  if (std::system("command -v xvfb-run >/dev/null && command -v xwd >/dev/null") != 0)
    GTEST_SKIP() << "xvfb-run or xwd missing";

  app();

  TempHome home;
  const std::string desktop = home.mkdir("Desktop");
  const std::string menu = home.mkdir(".local/share/applications");
  home.mkdir(".config");
  const auto before = tree(home.path());

  // Install, as started from the distribution folder.
  const fs::path saved_cwd = fs::current_path();
  fs::current_path(kDist);
  std::string final_message;
  {
    installer::TForm1 form;
    form.show();
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      final_message = box->text().toStdString();
      QAbstractButton* b = box->button(QMessageBox::Yes);
      QTest::mouseClick(b ? b : box->buttons().value(0), Qt::LeftButton);
    });
    timer.start();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
  }
  fs::current_path(saved_cwd);
  ASSERT_EQ(final_message, "INSTALACE JE HOTOVA");

  const std::string d = home / ".local/share/zarnik";
  const std::string ini = home / ".config/zarnik.ini";
  const auto installed = expected_lines(d, menu, desktop, home / ".config");
  ASSERT_EQ(shell::read_settings_lines(ini), installed);

  // Start the installed game as the menu does, from its desktop entry
  // (through GLib's launcher when gio is there, else as the entry says);
  // after the splash it sits in the menu. It must have started in its own
  // folder, still be running then, have drawn something, and close cleanly
  // when asked to. The game is found by its program's path, which is this
  // test's own.
  const std::string entry = menu + "/Programy/ZARNIK/Zarnik.desktop";
  const auto launch = shell::read_desktop_entry_launch(read_text(entry));
  ASSERT_EQ(launch.program, d + "/zarnik.exe");
  const std::string start =
      std::system("command -v gio >/dev/null") == 0
          ? "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent gio launch " + quoted(entry) +
                " || exit 12"
          : "(cd " + quoted(launch.folder) + " && exec " + quoted(launch.program) + ") &";
  const std::string script =
      "export SDL_AUDIODRIVER=dummy; " + start +
      "; pid=; for i in $(seq 100); do sleep 0.1; "
      "for p in /proc/[0-9]*; do [ \"$(readlink $p/exe)\" = " +
      quoted(d + "/zarnik.exe") +
      " ] && pid=${p#/proc/}; done; [ -n \"$pid\" ] && break; done; "
      "[ -n \"$pid\" ] || exit 13; "
      "[ \"$(readlink /proc/$pid/cwd)\" = " +
      quoted(d) +
      " ] || exit 14; sleep 8; "
      "kill -0 $pid || exit 10; "
      "xwd -root -silent > " +
      quoted(home / "screen.xwd") +
      " || exit 11; "
      "kill -TERM $pid; for i in $(seq 100); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; "
      "done; exit 15";
  const std::string command = "HOME=" + quoted(home.path()) +
                              " timeout 60 xvfb-run -a -s '-screen 0 800x600x24' sh -c " +
                              quoted(script) + " >/dev/null 2>&1";
  const int rc = std::system(command.c_str());
  ASSERT_EQ(rc, 0) << "exit status " << WEXITSTATUS(rc)
                   << " (10: the game ended before the menu; 12: the entry did not launch; 13: "
                      "no game started; 14: not in its folder; 15: it did not close)";
  {
    const std::string screen = read_text(home / "screen.xwd");
    ASSERT_GT(screen.size(), 800u * 600u);
    size_t lit = 0;
    for (size_t i = screen.size() - 800 * 600 * 4; i < screen.size(); ++i) lit += screen[i] != 0;
    EXPECT_GT(lit, 100u) << "the menu drew nothing";
    fs::remove(home / "screen.xwd");
  }

  // The game rewrote its four lines and kept the installer's list.
  auto after_game = shell::read_settings_lines(ini);
  ASSERT_EQ(after_game.size(), installed.size());
  EXPECT_EQ(after_game[3], d + "/zarnik.lnk");
  EXPECT_TRUE(std::equal(installed.begin() + 4, installed.end(), after_game.begin() + 4));

  // Uninstall with the installed uninstaller, which answers for the user and
  // keeps the score table the game wrote and the game's lines of the
  // settings file, and says so; then as a user who answers that the scores
  // go too. The settings file is the game's own again: it stays.
  ASSERT_TRUE(fs::is_regular_file(d + "/data.dat")) << "the game wrote no score table";
  const std::string report = home / "uninstall.txt";
  const std::string uninstall = "HOME=" + quoted(home.path()) + " " + quoted(d + "/uninstall.exe") +
                                " --yes >" + quoted(report);
  EXPECT_EQ(std::system(uninstall.c_str()), 0);
  const std::string said = read_text(report);
  fs::remove(report);
  EXPECT_NE(said.find("ODINSTALACE JE HOTOVA"), std::string::npos) << said;
  EXPECT_NE(said.find("tabulka rekordů " + d + "/data.dat"), std::string::npos) << said;
  EXPECT_NE(said.find("soubor nastavení " + ini), std::string::npos) << said;
  auto kept = before;
  for (const char* f : {".config/zarnik-install.rec", ".config/zarnik.ini", ".local/share/zarnik",
                        ".local/share/zarnik/data.dat"})
    kept.insert(f);
  EXPECT_EQ(shell::read_settings_lines(ini).size(), 4u);
  EXPECT_EQ(tree(home.path()), kept);
  const std::string record = home / ".config/zarnik-install.rec";
  const auto result =
      installer::perform_uninstall(installer::plan_uninstall(installer::read_record(record), record,
                                                             shell::read_settings_lines(ini), ini),
                                   /*keep_scores=*/false, /*keep_settings=*/false);
  EXPECT_TRUE(result.failures.empty());
  auto game_settings = before;
  game_settings.insert(".config/zarnik.ini");
  EXPECT_EQ(tree(home.path()), game_settings);
}

}  // namespace
