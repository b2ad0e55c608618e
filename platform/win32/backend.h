#pragma once
// The Windows backend: the game's window drawn with GDI, its messages as
// events, the multimedia clock, the software mixer played through the
// system's wave output, music through the system's MIDI synthesiser, text
// through GDI fonts, and shortcuts and shell folders through the shell.
// create() starts it; the returned object owns everything and must outlive
// the game window.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

namespace platform::win32 {

struct BackendOptions {
  std::string window_title = "Zarnik";
  bool audio = true;  // false: no sound device and no music (silent)
  // Font families to load ahead, while the rest of start-up runs.
  std::vector<std::string> preload_fonts;
  // The window's icon: icon_size x icon_size pixels of 0xAARRGGBB (none
  // when empty).
  std::vector<uint32_t> icon;
  int icon_size = 0;
};

class Backend {
 public:
  // A missing sound or MIDI device is not an error: the game then runs
  // silent or without music, and a line on stderr says why.
  static std::unique_ptr<Backend> create(const BackendOptions& options = {});
  ~Backend();
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;

  // The table to install into platform::services().
  Services services();

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  explicit Backend(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform::win32
