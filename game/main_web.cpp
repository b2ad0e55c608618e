// The game in a browser tab: starts the browser's backend, installs it as the
// platform's services, creates the game window and hands the message loop to
// the browser, which runs one pass of it before each frame it shows. main()
// returns at once; the program lives on in the page until the game closes,
// and the page then says so. A start-up failure shows its error and ends
// the same way.
#include <exception>
#include <memory>

#include "game/form.h"
#include "game/web_test_hooks.h"
#include "media/application.h"
#include "platform/services.h"
#include "platform/web/backend.h"

namespace {

// They outlive main(): the browser calls the loop back after it returns.
std::unique_ptr<platform::Backend> backend;
std::unique_ptr<media::TApplication> app;
std::unique_ptr<game::TForm1> form;

bool pass() {
  try {
    app->ProcessMessages();
  } catch (const std::exception& e) {
    game::show_error(e.what());
    app->Terminate();
  }
  return !app->Terminated();
}

void ended() {
  try {
    if (form && !form->Closed()) form->Close();
  } catch (const std::exception& e) {
    game::show_error(e.what());
  }
}

}  // namespace

namespace game {
// The test build of the page links its own definition, which wins.
__attribute__((weak)) void attach_web_test_hooks(platform::Backend&, media::TApplication*,
                                                 TForm1*) {}
}  // namespace game

int main() {
  backend = platform::Backend::create();
  platform::install(backend->services());
  try {
    app = std::make_unique<media::TApplication>();
    form = std::make_unique<game::TForm1>(*app);
    app->OnEvent = [](const platform::Event& e) { form->HandleEvent(e); };
    // On failure FormCreate has shown the error and ended the loop; the
    // close that follows writes nothing.
    form->FormCreate();
  } catch (const std::exception& e) {
    game::show_error(e.what());
    if (app) app->Terminate();
  }
  game::attach_web_test_hooks(*backend, app.get(), form.get());
  platform::web::run(
      *backend, pass, [] { return app ? app->MillisecondsToNextTick() : UINT32_MAX; }, ended);
  return 0;
}
