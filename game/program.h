#pragma once
// The game program on any backend: the message loop and the game window
// over the services installed, as platform::Backend::run drives it.
#include <cstdint>

#include "game/form.h"
#include "media/application.h"
#include "platform/loop.h"

namespace game {

class Program : public platform::ProgramLoop {
 public:
  Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Runs the window's start-up. On failure the error has been shown and
  // the loop ends at its first pass.
  void start();

  // An error that escapes a pass is shown, and the game closes with its
  // settings and scores saved, as after a frame that fails.
  bool pass() override;
  uint32_t next_due_ms() override { return app_.MillisecondsToNextTick(); }
  // Closes the window unless the game has closed it already.
  void ended() override;

  // The program's exit status: 1 after a failed start-up or an error.
  int status() const { return failed_ || form_.StartupFailed() ? 1 : 0; }

  TForm1& form() { return form_; }
  media::TApplication& app() { return app_; }

 private:
  // Runs a step; an error it raises is shown and ends the loop.
  template <typename Step>
  void guarded(Step&& step);

  media::TApplication app_;
  TForm1 form_{app_};
  bool failed_ = false;
};

}  // namespace game
