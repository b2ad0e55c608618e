#include "harness/game_driver.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>

#include "game/game_files.h"
#include "harness/world_digest.h"
#include "media/container.h"
#include "media/dib.h"
#include "media/pictures.h"
#include "media/sound.h"
#include "media/wave.h"
#include "platform/files.h"
#include "platform/services.h"

namespace fs = std::filesystem;

namespace game_driver {

uint32_t probe_rgb(int picture, int pattern) {
  // 0x00RRGGBB: red 5 bits = pattern, green 6 bits = picture, blue full.
  return (uint32_t(pattern) << 19) | (uint32_t(picture) << 10) | 0xF8u;
}

Mark mark_of(uint16_t px) {
  if ((px & 0x1F) != 0x1F) return {};
  return {(px >> 5) & 0x3F, px >> 11};
}

void add_probe_pictures(media::TPictureCollection& c, int count) {
  for (int p = 0; p < count; ++p) {
    auto& item = c.Add();
    const int w = kProbe * kPatterns;
    std::vector<uint32_t> px(size_t(w) * kProbe);
    for (int y = 0; y < kProbe; ++y)
      for (int x = 0; x < w; ++x) px[size_t(y) * w + x] = probe_rgb(p, x / kProbe);
    item.Name = "p" + std::to_string(p);
    item.Picture = media::TDIB::FromPixels(w, kProbe, 24, px);
    item.PatternWidth = kProbe;
    item.PatternHeight = kProbe;
    item.Transparent = true;
    item.TransparentColor = 0;
  }
}

void add_short_waves(media::TWaveCollection& c, int count) {
  for (int i = 0; i < count; ++i) {
    auto& item = c.Add();
    item.Name = "w" + std::to_string(i);
    std::vector<uint8_t> samples(440);  // 220 16-bit samples
    for (size_t s = 0; s < samples.size(); s += 2) samples[s + 1] = (s / 2) % 20 < 10 ? 0x10 : 0xF0;
    item.Wave = media::TWave::FromPCM(1, 22050, 16, samples);
  }
}

namespace {

std::vector<uint8_t> probe_pictures(int count) {
  media::TPictureCollection c;
  add_probe_pictures(c, count);
  return media::SaveCollectionStream(c);
}

std::vector<uint8_t> short_waves(int count) {
  media::TWaveCollection c;
  add_short_waves(c, count);
  return media::SaveCollectionStream(c);
}

void put(const std::string& path, const std::vector<uint8_t>& bytes) {
  platform::write_file_atomic(path, bytes);
}

std::string fresh_temp_dir() {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = fs::temp_directory_path() / ("zarnik-driver-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(p, ec)) return p.string();
  }
  throw std::runtime_error("cannot make a temporary folder");
}

}  // namespace

std::vector<uint8_t> tiny_midi() {
  return {
      'M',  'T',  'h',  'd',  0, 0,  0, 6,
      0,    0,    0,    1,    0, 96,         // format 0, one track, 96 per quarter
      'M',  'T',  'r',  'k',  0, 0,  0, 12,  // track of 12 bytes
      0x00, 0x90, 60,   64,                  // note on
      0x60, 0x80, 60,   64,                  // a quarter later: note off
      0x00, 0xFF, 0x2F, 0x00,                // end of track
  };
}

std::vector<uint8_t> crowd_midi(size_t notes, uint32_t length_ms) {
  // 1000 ticks a quarter at the default half a second: a tick is half a
  // millisecond.
  std::vector<uint8_t> track = {0x00, 0x90, 60, 100};
  track.reserve(notes * 3 + 16);
  for (size_t i = 1; i < notes; ++i) track.insert(track.end(), {0x00, uint8_t(i % 128), 100});
  uint32_t ticks = length_ms * 2;
  std::vector<uint8_t> delta = {uint8_t(ticks & 0x7F)};
  while (ticks >>= 7) delta.insert(delta.begin(), uint8_t(0x80 | (ticks & 0x7F)));
  track.insert(track.end(), delta.begin(), delta.end());
  track.insert(track.end(), {0xFF, 0x2F, 0x00});
  const uint32_t n = uint32_t(track.size());
  std::vector<uint8_t> f = {'M',
                            'T',
                            'h',
                            'd',
                            0,
                            0,
                            0,
                            6,
                            0,
                            0,
                            0,
                            1,
                            0x03,
                            0xE8,
                            'M',
                            'T',
                            'r',
                            'k',
                            uint8_t(n >> 24),
                            uint8_t(n >> 16),
                            uint8_t(n >> 8),
                            uint8_t(n)};
  f.insert(f.end(), track.begin(), track.end());
  return f;
}

void write_data_files(const std::string& dir) {
  put(dir + "/" + game::kGamePicturesFile, probe_pictures(kGamePictures));
  put(dir + "/" + game::kMenuPicturesFile, probe_pictures(kMenuPictures));
  put(dir + "/" + game::kSoundsFile, short_waves(kWaves));
  put(dir + "/" + game::kGameMusicFile, tiny_midi());
  put(dir + "/" + game::kMenuMusicFile, tiny_midi());
}

GameDriver::GameDriver(Options options) : options_(std::move(options)) {
  if (options_.game_dir.empty()) {
    options_.game_dir = fresh_temp_dir();
    own_dir_ = true;
  } else {
    fs::create_directories(options_.game_dir);
  }
  options_.game_dir = fs::absolute(options_.game_dir).lexically_normal().string();
  while (options_.game_dir.size() > 1 && options_.game_dir.back() == '/')
    options_.game_dir.pop_back();
  if (options_.config_dir.empty()) options_.config_dir = options_.game_dir + "/config";
  fs::create_directories(options_.config_dir);

  if (options_.write_data) {
    if (options_.data_from.empty()) {
      write_data_files(options_.game_dir);
    } else {
      for (const char* name : game::kDataFiles)
        fs::copy_file(fs::path(options_.data_from) / name, fs::path(options_.game_dir) / name,
                      fs::copy_options::overwrite_existing);
    }
  }

  // The settings file lives in the folder that stands in for the system's.
  platform::override_settings_directory(options_.config_dir);
  if (options_.write_settings && !options_.settings.empty())
    platform::write_file_atomic(settings_path(), platform::join_lines(options_.settings));

  old_cwd_ = fs::current_path().string();
  fs::current_path(options_.game_dir);

  if (!options_.modes.empty()) backend_.display.mode_list = options_.modes;
  backend_.install(options_.with_sound);
  // A fresh program: the generator starts from 0.
  game::set_random_state(0);
  app_ = std::make_unique<media::TApplication>();
  form_ = std::make_unique<game::TForm1>(*app_);
}

GameDriver::~GameDriver() {
  form_.reset();
  app_.reset();
  std::error_code ec;
  fs::current_path(old_cwd_, ec);
  platform::override_settings_directory("");
  if (own_dir_) fs::remove_all(options_.game_dir, ec);
}

std::string GameDriver::settings_path() const { return options_.config_dir + "/zarnik.ini"; }

bool GameDriver::create() { return form_->FormCreate(); }

void GameDriver::open_display(int width, int height) {
  game::TForm1& f = *form_;
  f.DXDraw1.SetBounds(width, height);
  f.DXDraw1.Display.SetWidth(width);
  f.DXDraw1.Display.SetHeight(height);
  f.DXDraw1.InitializeDisplay();
  // As start-up does: the play frame's text and outline caches filled.
  f.prime_readouts();
  auto& pictures = f.DXImageList1.Items;
  pictures.Clear();
  add_probe_pictures(pictures, kGamePictures);
  pictures.Initialize();
  pictures.Restore();
  auto& waves = f.DXWaveList1.Items;
  waves.Clear();
  add_short_waves(waves, kWaves);
}

void GameDriver::quiet_world() {
  game::TForm1& f = *form_;
  f.game.in_menu = 0;
  f.game.splash_frames = 250;
  f.game.level_mark = 100;
  f.level = 1;
  f.ship.shield = 100;
  f.ship.x = 400;
  f.ship.y = 300;
  f.ship.scale = 1.0;
  f.ship.missiles = 20;
  f.ship.speed = 1;
  f.ship.alive = 1;
  f.bonus.gone = 1;
  for (auto& e : f.explosions) e.free = 1;
  for (int i = 1; i <= 10; ++i) {
    f.enemies[i].respawn = 1;
    f.enemy_rockets[i].active = 0;
    f.player_rockets[i].active = 0;
  }
  // The meteor waits well beyond any test.
  f.meteor.wait_limit = 255;
  f.meteor.wait_count = 0;
  backend_.system.cursor = {-1000, -1000};
}

void GameDriver::open_game() {
  quiet_world();
  form_->start_world();
}

void GameDriver::send(const platform::Event& e) {
  backend_.system.push(e);
  // Events only; the clock has not moved, so no frame is due.
  app_->ProcessMessages();
}

void GameDriver::key_down(int vk) {
  platform::Event e;
  e.type = platform::EventType::KeyDown;
  e.key = vk;
  send(e);
}

void GameDriver::key_up(int vk) {
  platform::Event e;
  e.type = platform::EventType::KeyUp;
  e.key = vk;
  send(e);
}

void GameDriver::press(int vk) {
  key_down(vk);
  key_up(vk);
}

void GameDriver::type(const std::string& capitals) {
  for (char c : capitals) press(static_cast<unsigned char>(c));
}

void GameDriver::set_cursor(int x, int y) { backend_.system.cursor = {x, y}; }

void GameDriver::move_to(int x, int y) {
  set_cursor(x, y);
  platform::Event e;
  e.type = platform::EventType::MouseMove;
  e.x = x;
  e.y = y;
  send(e);
}

platform::Event GameDriver::at_cursor(platform::EventType type) const {
  platform::Event e;
  e.type = type;
  e.x = backend_.system.cursor.x;
  e.y = backend_.system.cursor.y;
  return e;
}

void GameDriver::mouse_down(int button) {
  platform::Event e = at_cursor(platform::EventType::MouseDown);
  e.button = button;
  send(e);
}

void GameDriver::mouse_up(int button) {
  platform::Event e = at_cursor(platform::EventType::MouseUp);
  e.button = button;
  send(e);
}

void GameDriver::click(int button) {
  mouse_down(button);
  mouse_up(button);
}

void GameDriver::double_click() {
  click(0);
  send(at_cursor(platform::EventType::DoubleClick));
  click(0);
}

void GameDriver::wheel(int notches) {
  platform::Event e = at_cursor(platform::EventType::Wheel);
  e.wheel_delta = 120 * notches;
  send(e);
}

void GameDriver::close_window() { send(platform::Event{platform::EventType::Close}); }

void GameDriver::tick(int n) {
  for (int i = 0; i < n && !app_->Terminated(); ++i) {
    backend_.clock.advance(16);
    app_->ProcessMessages();
  }
}

uint16_t GameDriver::back_pixel(int x, int y) {
  auto* s = form_->DXDraw1.Surface();
  if (s == nullptr || x < 0 || y < 0 || x >= s->Width() || y >= s->Height()) return 0;
  return s->Pixel(x, y);
}

uint64_t GameDriver::digest() const { return world_digest(*form_); }

}  // namespace game_driver
