// The game over the real backend (off-screen video driver, no sound) played
// with SDL's virtual controller: the D-pad picks the first menu item, A
// starts a game and, pressed again, fires a shot; Back leaves the game.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "game/form.h"
#include "game/game_files.h"
#include "media/application.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/sdl/events.h"
#include "platform/services.h"
#include "tests/sdl/virtual_pad.h"

namespace platform::sdl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class GameWithAPad : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* f : game::kDataFiles)
      if (!fs::exists(fs::path(ZARNIK_RUN_DIR) / f)) GTEST_SKIP() << f << " is not built";
    dir_ = fs::temp_directory_path() / ("zarnik-pad-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "config");
    for (const char* f : game::kDataFiles) fs::copy_file(fs::path(ZARNIK_RUN_DIR) / f, dir_ / f);
    old_dir_ = fs::current_path();
    fs::current_path(dir_);
    override_settings_directory((dir_ / "config").string());
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // The off-screen window never has the keyboard focus, without which SDL
    // holds controller events back.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    BackendOptions options;
    options.audio = false;
    backend_ = Backend::create(options);
    install(backend_->services());
  }
  void TearDown() override {
    install({});
    backend_.reset();
    override_settings_directory("");
    if (!old_dir_.empty()) fs::current_path(old_dir_);
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Runs the message loop until `done` or the time is up.
  static bool run_until(media::TApplication& app, const std::function<bool()>& done,
                        std::chrono::milliseconds limit = 3s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
      app.ProcessMessages();
      std::this_thread::sleep_for(2ms);
    }
    return done();
  }

  fs::path dir_, old_dir_;
  std::unique_ptr<Backend> backend_;
};

TEST_F(GameWithAPad, StartsAGameAndFiresAShot) {
  media::TApplication app;
  game::TForm1 form(app);
  ASSERT_TRUE(form.FormCreate());
  form.game.splash_frames = 250;  // the splash has been shown
  auto* system = dynamic_cast<SdlSystem*>(services().system);
  ASSERT_NE(system, nullptr);
  // Controllers start once the first frame is on the screen.
  ASSERT_TRUE(run_until(app, [] { return SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0; }));
  VirtualPad pad;
  ASSERT_TRUE(pad.attach()) << SDL_GetError();
  ASSERT_TRUE(run_until(app, [&] { return system->gamepads() == 1; }));

  auto tap = [&](SDL_GameControllerButton b, const std::function<bool()>& then) {
    pad.button(b, true);
    const bool ok = run_until(app, then);
    pad.button(b, false);
    run_until(
        app, [] { return false; }, 50ms);
    return ok;
  };
  ASSERT_TRUE(tap(SDL_CONTROLLER_BUTTON_DPAD_DOWN, [&] { return form.game.start_selected == 1; }));
  ASSERT_TRUE(tap(SDL_CONTROLLER_BUTTON_A, [&] { return form.game.in_menu == 0; }));
  auto shot_in_flight = [&] {
    for (int i = 1; i <= 10; ++i)
      if (form.player_rockets[i].active == 1 && form.player_rockets[i].kind == 35) return true;
    return false;
  };
  EXPECT_FALSE(shot_in_flight()) << "the A that started the game fired too";
  EXPECT_TRUE(tap(SDL_CONTROLLER_BUTTON_A, shot_in_flight)) << "no shot";
  EXPECT_TRUE(tap(SDL_CONTROLLER_BUTTON_BACK, [&] { return form.game.in_menu == 1; }));
  form.Close();
}

}  // namespace
}  // namespace platform::sdl
