#pragma once
// The operating-system services the programs use, reached through one table
// that the program's entry (or a test) fills in before it creates its window.
// Backends: platform/sdl (Linux), platform/win32 (Windows) and platform/web
// (a browser) for the game program, platform/headless for tests, benchmarks
// and tools (docs/backends.md).

namespace platform {

class DisplayDevice;
class SoundDevice;
class MusicDevice;
class Clock;
class System;
class FontRasterizer;
class Shell;
class SharedFiles;

struct Services {
  DisplayDevice* display = nullptr;  // may be absent: the display cannot be initialised
  SoundDevice* sound = nullptr;      // may be absent: the game runs silent
  MusicDevice* music = nullptr;      // may be absent: no music
  Clock* clock = nullptr;
  System* system = nullptr;
  FontRasterizer* fonts = nullptr;  // may be absent: no text is drawn
  Shell* shell = nullptr;           // may be absent: shell/ writes shortcut files itself
  // May be absent: every copy of the game sees the same files
  // (shared_files.h).
  SharedFiles* shared_files = nullptr;
};

// The table in force. Never null members for clock, system and fonts once a
// backend has been installed; the desktop backends put the platform's
// rasteriser (default_font_rasterizer() in fonts.h) in the table, the
// browser's its glyph atlas.
Services& services();

// Installs a backend's table (replaces the whole table).
void install(const Services& s);

}  // namespace platform
