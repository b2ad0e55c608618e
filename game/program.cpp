#include "game/program.h"

#include <exception>

#include "media/errors.h"

namespace game {

Program::Program() {
  app_.OnEvent = [this](const platform::Event& e) { form_.HandleEvent(e); };
}

template <typename Step>
void Program::guarded(Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    show_error(media::ErrorTextForPlayer(e));
    failed_ = true;
    app_.Terminate();
  }
}

void Program::start() {
  // On failure FormCreate has shown the error and ended the loop; the close
  // that follows writes nothing.
  guarded([this] { form_.FormCreate(); });
}

bool Program::pass() {
  guarded([this] { app_.ProcessMessages(); });
  return !app_.Terminated();
}

void Program::ended() {
  guarded([this] {
    if (!form_.Closed()) form_.Close();
  });
}

}  // namespace game
