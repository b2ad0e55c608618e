#pragma once
// Where a test build of the browser's page attaches its hooks to the running
// game (tests/web/hooks.cpp defines it). The game's own definition, in
// main_web.cpp, does nothing.
namespace media {
class TApplication;
}
namespace platform {
class Backend;
}

namespace game {

class TForm1;

void attach_web_test_hooks(platform::Backend& backend, media::TApplication* app, TForm1* form);

}  // namespace game
