#include "game/program.h"

#include <exception>

#include "media/errors.h"

namespace game {

Program::Program() {
  app_.OnEvent = [this](const platform::Event& e) { form_.HandleEvent(e); };
}

void Program::start() {
  try {
    // On failure FormCreate has shown the error and ended the loop; the
    // close that follows writes nothing.
    form_.FormCreate();
  } catch (const std::exception& e) {
    show_error(media::ErrorTextForPlayer(e));
    failed_ = true;
    app_.Terminate();
  }
}

bool Program::pass() {
  try {
    app_.ProcessMessages();
  } catch (const std::exception& e) {
    show_error(media::ErrorTextForPlayer(e));
    failed_ = true;
    app_.Terminate();
  }
  return !app_.Terminated();
}

void Program::ended() {
  try {
    if (!form_.Closed()) form_.Close();
  } catch (const std::exception& e) {
    show_error(media::ErrorTextForPlayer(e));
    failed_ = true;
  }
}

}  // namespace game
