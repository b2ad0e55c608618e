// The life of the game window: its components' settings, start-up, a new
// game, the way back to the menu, and shut-down.
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "assets/splash.h"
#include "game/form.h"
#include "game/game_files.h"
#include "game/persistence.h"
#include "media/container.h"
#include "media/errors.h"
#include "platform/file_names.h"
#include "platform/files.h"
#include "platform/services.h"
#include "platform/system.h"
#include "shell/shortcut.h"

namespace game {

namespace {

constexpr const char* kStartInGameFolder =
    "Hra čte svá data ze složky, ze které je spuštěna. Spouštějte ji z její složky: "
    "to dělá její zástupce i položka v nabídce.";

// Whether nothing at all stands at the path: a folder or a pipe there is
// something else than a missing file. Asked as the loaders ask (a read
// limited to no bytes refuses before it opens anything).
bool nothing_at(const std::string& path) {
  try {
    platform::read_file(path, 0);
  } catch (const platform::FileError& f) {
    return f.fault() == platform::FileFault::Missing;
  } catch (const std::exception&) {}
  return false;
}

// What the player is told when a data file cannot be loaded, in Czech. A
// file that is not in the folder the game was started from gets the folder
// named and the way out: the game reads its data from the current folder,
// so it has to be started there, as its shortcut and menu entry do. The
// media services' own texts (a damaged container, say) stay as they are,
// after a Czech sentence that says what they mean (media/errors.h).
std::string data_file_error(const std::string& name, const std::string& folder,
                            const std::exception& e) {
  const auto* file = dynamic_cast<const platform::FileError*>(&e);
  const bool missing =
      file ? file->fault() == platform::FileFault::Missing : nothing_at(folder + name);
  if (missing)
    return "Soubor \"" + name + "\" ve složce \"" + folder + "\" není.\n\n" + kStartInGameFolder;
  if (file) return e.what();
  return "Soubor \"" + name + "\" nelze načíst. " + media::ErrorTextForPlayer(e);
}

// Runs one load of a data file; a failure is raised again with the player's
// message, which names the file (the loaders' own messages do not say which
// of the game's files it was).
template <typename Load>
void load_data_file(const std::string& name, const std::string& folder, Load&& load) {
  try {
    load();
  } catch (const std::exception& e) {
    throw std::runtime_error(data_file_error(name, folder, e));
  }
}

}  // namespace

// The play frame's readouts (the targeting ring and its label, the lock-on
// readout) are the only text and ellipses drawn in play. Drawing them once
// here, on the back surface that is cleared straight after, loads their font
// and fills the canvas's glyph and outline caches, so the first enemy that
// aims does not stall a frame on font loading and no play frame allocates.
void TForm1::prime_readouts() {
  media::TDirectDrawSurface* s = DXDraw1.Surface();
  if (s == nullptr || !s->Exists()) return;
  auto& c = s->GetCanvas();
  c.Pen.Color = media::RGBColor(255, 0, 0);
  c.Brush.Style = media::TBrushStyle::bsClear;
  c.Ellipse(0, 0, 120, 120);
  c.MoveTo(0, 0);
  c.LineTo(10, 10);
  c.Font.Color = media::RGBColor(255, 0, 0);
  c.Font.Size = 8;
  c.Font.Name = "Arial";
  c.TextOut(0, 0, "Zamířen");
  c.TextOut(0, 0, "Odolnost -0123456789%");
  s->ReleaseCanvas();
  s->FillSurface(0);
}

TForm1::TForm1(media::TApplication& app) : Application(app), DXTimer1(&app) {
  // The display: the game adds full screen itself at start-up.
  DXDraw1.SetOptions(media::doAllowReboot | media::doWaitVBlank | media::doCenter |
                     media::doDirectX7Mode | media::doHardware | media::doSelectDriver);
  DXDraw1.AutoInitialize = true;
  DXDraw1.AutoSize = true;
  DXDraw1.Display.FixedBitCount = true;
  DXDraw1.Display.FixedRatio = true;
  DXDraw1.Display.FixedSize = false;

  // The frame timer stays off until the menu is ready (game_ower).
  DXTimer1.BeginLoading();
  DXTimer1.ActiveOnly = true;
  DXTimer1.SetEnabled(false);
  DXTimer1.SetInterval(16);
  DXTimer1.OnTimer = [this](media::TDXTimer* sender, int lag) {
    // A frame that fails (a media error the frame cannot go on from) is
    // reported and the game closes with its settings and scores saved.
    try {
      cas(sender, lag);
    } catch (const std::exception& e) {
      show_error(media::ErrorTextForPlayer(e));
      Close();
    }
  };
  DXTimer1.EndLoading();

  DXImageList1.SetDXDraw(&DXDraw1);

  // The built-in splash picture, black transparent.
  DXImageList2 = std::make_unique<media::TDXImageList>();
  DXImageList2->SetDXDraw(&DXDraw1);
  auto splash = assets::splash_picture_data();
  if (!splash.empty()) {
    auto& item = DXImageList2->Items.Add();
    item.Transparent = true;
    item.TransparentColor = 0;
    media::LoadPictureData(item.Picture, splash.data(), splash.size());
  }

  DXWaveList1.SetDXSound(&DXSound1);
  MediaPlayer1.Visible = false;

  program_path = platform::running_program_path();
  app.OnEvent = [this](const platform::Event& e) { HandleEvent(e); };
}

TForm1::~TForm1() {
  DXTimer1.SetEnabled(false);
  Application.OnEvent = nullptr;
}

bool TForm1::FormCreate() {
  try {
    // What the window does once its components are loaded: the sound device
    // (silent when there is none) and the first, windowed display.
    DXSound1.Loaded();
    if (DXDraw1.AutoInitialize) DXDraw1.InitializeDisplay();

    game_dir = platform::current_directory();
    if (game_dir.empty() || game_dir.back() != platform::kPathSeparator)
      game_dir += platform::kPathSeparator;

    game = Thra{};
    bonus = Tbonusy{};
    score_table.clear();

    load_settings();
    load_data_file(kSoundsFile, game_dir,
                   [&] { DXWaveList1.Items.LoadFromFile(game_dir + kSoundsFile); });
    // The game draws its own cursor pictures from now on.
    if (auto* sys = platform::services().system) sys->show_cursor(false);
    load_scores();

    cursor = Tmys{};
    cursor.pressed = 0;
    meteor = Tmeteor{};
    ship = Tstar{};
    planets = Planets{};
    explosions = Explosions{};
    stars = Stars{};
    player_rockets = PlayerRockets{};
    enemy_rockets = EnemyRockets{};
    enemies = Enemies{};

    // Full screen in the mode of the settings file (or the nearest larger
    // one); the drawing surface fills the window, so it takes the mode's size.
    const int width = std::stoi(settings_lines[0]);
    const int height = std::stoi(settings_lines[1]);
    DXDraw1.Display.SetWidth(width);
    DXDraw1.Display.SetHeight(height);
    DXDraw1.Display.SetBitCount(16);
    DXDraw1.SetOptions(DXDraw1.Options() | media::doFullScreen);
    try {
      DXDraw1.InitializeDisplay();
    } catch (const media::EDXDrawError&) {
      // A size saved on a larger screen than this one: the default size
      // instead, and the close writes the size used, so the next start
      // does not fail again.
      const int default_width = std::stoi(kDefaultWidth);
      const int default_height = std::stoi(kDefaultHeight);
      if (width == default_width && height == default_height) throw;
      DXDraw1.Display.SetWidth(default_width);
      DXDraw1.Display.SetHeight(default_height);
      DXDraw1.Display.SetBitCount(16);
      DXDraw1.InitializeDisplay();
    }
    prime_readouts();

    game.player_name = settings_lines[2];

    game_ower();
    created_ = true;
    return true;
  } catch (const std::exception& e) {
    startup_failed_ = true;
    DXTimer1.SetEnabled(false);
    show_error(media::ErrorTextForPlayer(e));
    Application.Terminate();
    return false;
  }
}

void TForm1::start() {
  // The doubled separator in the music path is accepted by the file system.
  MediaPlayer1.FileName = game_dir + platform::kPathSeparator + kGameMusicFile;
  load_data_file(kGameMusicFile, game_dir, [&] { MediaPlayer1.OpenMedia(); });
  MediaPlayer1.PlayMedia();

  game.in_menu = 0;
  level = 1;
  game.score = 0;
  game.paused = 0;

  // No frame may run on a half-loaded collection or a half-reset world.
  DXTimer1.SetEnabled(false);
  load_data_file(kGamePicturesFile, game_dir,
                 [&] { DXImageList1.Items.LoadFromFile(game_dir + kGamePicturesFile); });
  start_world();
  DXTimer1.SetEnabled(true);
}

void TForm1::start_world() {
  struct PlanetStart {
    int32_t x;
    int8_t drift;
    uint8_t angle;
  };
  static constexpr PlanetStart kPlanets[9] = {
      {50, 6, 0},  {400, -3, 125}, {800, 4, 15}, {50, -5, 2},  {700, -5, 2},
      {0, 4, 253}, {250, -2, 65},  {350, 3, 25}, {650, 5, 98},
  };
  for (int i = 1; i <= 9; ++i) {
    planets[i].x = kPlanets[i - 1].x;
    planets[i].picture = static_cast<int8_t>(slots::play::kPlanets[i - 1]);
    planets[i].drift = kPlanets[i - 1].drift;
    planets[i].angle = kPlanets[i - 1].angle;
  }
  posun_planet(400);

  ship.shield = 100;
  ship.x = 400;
  ship.y = 300;
  ship.scale = 1.0;
  ship.missiles = 20;
  ship.speed = 1;
  ship.alive = 1;

  game.game_won = 0;
  game.level_mark = 100;
  game.game_lost = 0;

  bonus.gone = 1;

  // Random draws in this order: meteor, then the stars, then nove.
  meteor.x = static_cast<int32_t>(Random(static_cast<uint32_t>(W())));
  meteor.y = static_cast<int32_t>(Random(static_cast<uint32_t>(H())));
  meteor.heading = static_cast<uint8_t>(Random(256));
  meteor.wait_limit = static_cast<uint8_t>(Random(250));
  meteor.scale = 0.001;

  for (auto& e : explosions) e.free = 1;

  // A star keeps its size from before.
  for (auto& s : stars) {
    s.x = static_cast<int32_t>(Random(static_cast<uint32_t>(W())));
    s.y = static_cast<int32_t>(Random(static_cast<uint32_t>(H())));
    s.brightness = static_cast<uint8_t>(Random(255));
    s.brightening = Random(2) == 1 ? 1 : 0;
  }

  // Player rockets keep their state from the previous game.
  for (int i = 1; i <= 10; ++i) {
    enemy_rockets[i].active = 0;
    enemies[i].respawn = 1;
  }
  nove();
}

void TForm1::game_ower() {
  MediaPlayer1.FileName = game_dir + platform::kPathSeparator + kMenuMusicFile;
  load_data_file(kMenuMusicFile, game_dir, [&] { MediaPlayer1.OpenMedia(); });
  MediaPlayer1.PlayMedia();

  DXTimer1.SetEnabled(false);
  load_data_file(kMenuPicturesFile, game_dir,
                 [&] { DXImageList1.Items.LoadFromFile(game_dir + kMenuPicturesFile); });

  game.in_menu = 1;
  game.start_selected = 0;
  game.end_selected = 0;
  game.scores_selected = 0;
  game.start_glow = 55;
  game.end_glow = 55;
  game.scores_glow = 55;
  game.scores_shown = 0;

  DXTimer1.SetEnabled(true);
}

void TForm1::FormCloseQuery(bool& CanClose) {
  CanClose = true;
  // After a failed start-up the files on disk are better than anything in
  // memory: nothing is written.
  if (!created_) return;

  std::string failures;
  auto step = [&failures](auto&& body) {
    try {
      body();
    } catch (const std::exception& e) {
      if (!failures.empty()) failures += '\n';
      failures += e.what();
    }
  };
  step([this] {
    // The game's own shortcut beside it, refreshed at every close.
    if (!shell::make_shortcut(program_path, game_dir, kGameShortcut, shell::LinkPath::Joined))
      throw std::runtime_error("Zástupce \"" + game_dir + kGameShortcut + "\" nelze zapsat.");
  });
  step([this] { save_settings(); });
  step([this] { save_scores(); });
  if (!failures.empty()) show_error(failures);
}

void TForm1::Close() {
  if (closed_) return;
  closed_ = true;
  DXTimer1.SetEnabled(false);
  bool can_close = true;
  FormCloseQuery(can_close);
  Application.Terminate();
}

void show_error(const std::string& text) {
  if (auto* sys = platform::services().system)
    sys->error_box("Zarnik", text);
  else
    std::fprintf(stderr, "zarnik: %s\n", text.c_str());
}

}  // namespace game
