// The game program: starts the real backend it is linked with (SDL on Linux,
// Win32 on Windows), installs it as the platform's services, creates the
// game window and runs the message loop until the window closes. A start-up failure ends with a
// message on stderr (and in an error box where a display exists), never with
// a crash.
#include <cstdio>
#include <exception>
#include <memory>
#include <span>

#include "assets/icon.h"
#include "game/form.h"
#include "media/application.h"
#include "media/errors.h"
#include "platform/backend.h"
#include "platform/services.h"

int main() {
  std::unique_ptr<platform::Backend> backend;
  try {
    platform::BackendOptions options;
    // The game's faces, loaded while the display starts.
    options.preload_fonts = {"Arial", "Arial Black", "Impact"};
    const std::span<const uint8_t> icon = assets::window_icon_argb();
    options.icon_size = assets::kWindowIconSize;
    options.icon.resize(icon.size() / 4);
    for (size_t i = 0; i < options.icon.size(); ++i)
      options.icon[i] = uint32_t(icon[4 * i]) | uint32_t(icon[4 * i + 1]) << 8 |
                        uint32_t(icon[4 * i + 2]) << 16 | uint32_t(icon[4 * i + 3]) << 24;
    backend = platform::Backend::create(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zarnik: %s\n", e.what());
    return 1;
  }
  platform::install(backend->services());

  int status = 0;
  try {
    media::TApplication app;
    game::TForm1 form(app);
    app.OnEvent = [&form](const platform::Event& e) { form.HandleEvent(e); };
    // On failure FormCreate has shown the error and ended the loop; the
    // close that follows writes nothing.
    form.FormCreate();
    app.Run();
    if (!form.Closed()) form.Close();
    status = form.StartupFailed() ? 1 : 0;
  } catch (const std::exception& e) {
    game::show_error(media::ErrorTextForPlayer(e));
    status = 1;
  }
  platform::install({});
  return status;
}
