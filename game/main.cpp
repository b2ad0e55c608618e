// The game program, the same on every system: starts the real backend it is
// linked with (SDL on Linux, Win32 on Windows, the browser's in a page),
// installs it as the platform's services, creates the game window and hands
// the message loop to the backend. On the desktop that runs the loop until
// the window closes; in a browser the page calls it back before each frame
// and run() does not return. A start-up failure ends with a message on
// stderr (and in an error box where a display exists), never with a crash.
#include <cstdio>
#include <exception>
#include <memory>
#include <span>

#include "assets/icon.h"
#include "game/form.h"
#include "game/program.h"
#include "media/errors.h"
#include "platform/backend.h"
#include "platform/services.h"

namespace {

platform::BackendOptions options() {
  platform::BackendOptions o;
  // The game's faces, loaded while the display starts.
  o.preload_fonts = {"Arial", "Arial Black", "Impact"};
  const std::span<const uint8_t> icon = assets::window_icon_argb();
  o.icon_size = assets::kWindowIconSize;
  o.icon.resize(icon.size() / 4);
  for (size_t i = 0; i < o.icon.size(); ++i)
    o.icon[i] = uint32_t(icon[4 * i]) | uint32_t(icon[4 * i + 1]) << 8 |
                uint32_t(icon[4 * i + 2]) << 16 | uint32_t(icon[4 * i + 3]) << 24;
  return o;
}

}  // namespace

int main() {
  std::unique_ptr<platform::Backend> backend;
  try {
    backend = platform::Backend::create(options());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarnik: %s\n", e.what());
    return 1;
  }
  platform::install(backend->services());

  int status = 1;
  try {
    // On the heap: in a browser it lives on after main() is left.
    auto program = std::make_unique<game::Program>();
    program->start();
    backend->run(*program);
    status = program->status();
  } catch (const std::exception& e) {
    game::show_error(media::ErrorTextForPlayer(e));
  }
  platform::install({});
  return status;
}
