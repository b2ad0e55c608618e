#pragma once
// The Windows game program seen from outside: started in a folder of its
// own, its window found, the screen read, the system's own input sent to it.
// Shared by the end-to-end tests, the window tests and the start-up timing
// (bench/win32); the library zarnik_win32_game_window.
// clang-format off
// windows.h first: the other system headers need its types.
#include <windows.h>
// clang-format on

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "game/game_files.h"

namespace game_window {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using game::kDataFiles;

// The build's run folder (zarnik.exe and the data files) as Wine sees the
// host's files.
std::string run_dir(const std::string& unix_path);

// A fresh folder holding the game and its data files.
void make_game_folder(const std::string& from, const std::string& folder);

// A part of the screen as 0x00RRGGBB pixels.
struct Screen {
  int x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[size_t(y - y0) * size_t(w) + size_t(x - x0)]; }
  // Pixels in the rectangle (screen coordinates) brighter than a dim grey.
  int lit(int xa, int ya, int xb, int yb) const;
};

int screen_width();
int screen_height();

// Reads a rectangle of what a device context shows.
Screen grab_from(HDC src, int x0, int y0, int w, int h);
// Reads a rectangle of the screen (the whole screen by default).
Screen grab(int x0 = 0, int y0 = 0, int w = 0, int h = 0);
// A window's client area.
Screen grab_window(HWND hwnd);
// The splash picture (320 x 240 in the middle) is on the screen.
bool splash_lit();
void save_bmp(const Screen& s, const std::string& path);

bool wait_until(const std::function<bool()>& done, std::chrono::milliseconds limit,
                std::chrono::milliseconds step = 20ms);

// A program of ours running in its folder (the game by default), ended when
// the owner goes if it is still running, so no failed test leaves it behind.
class GameProcess {
 public:
  // `window_class`: the class of the program's main window.
  explicit GameProcess(std::wstring window_class = L"ZarnikWindow")
      : class_(std::move(window_class)) {}
  ~GameProcess();
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;
  bool start(const std::string& folder) { return start(folder + "\\zarnik.exe", folder); }
  // `program` with `arguments` in the working directory `folder` (UTF-8,
  // started through the wide call, so any folder name works).
  bool start(const std::string& program, const std::string& folder,
             const std::string& arguments = "");
  DWORD id() const { return pi_.dwProcessId; }
  bool running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  // The game's visible window, once it has one.
  HWND window();
  // Waits for the program to end; false when it is still running then.
  bool wait_exit(DWORD ms, DWORD& code);

 private:
  static BOOL CALLBACK match(HWND hwnd, LPARAM lp);
  std::wstring class_;
  PROCESS_INFORMATION pi_{};
  HWND hwnd_ = nullptr;
};

// Keys as input from the keyboard, to the window that has the focus.
void press(int vk, std::chrono::milliseconds hold = 30ms);
// The mouse moved to a screen position and clicked there (the game reads the
// system's cursor, so it is moved first).
void click(int x, int y);

// A visible child window by its caption and, if given, class.
HWND child(HWND parent, const std::wstring& caption, const std::wstring& cls = L"");
std::wstring text_of(HWND h);
// A visible top-level window of the process `pid` of the class `cls`.
HWND top_level(DWORD pid, const std::wstring& cls);
inline HWND message_box(DWORD pid) { return top_level(pid, L"#32770"); }
// The text of a message box: its longest static text.
std::wstring box_text(HWND box);

// A message box as the player saw it: its text, its buttons' captions left
// to right, joined by "|".
struct Box {
  std::wstring text, buttons;
};

// Waits for a message box of `pid`, keeps what it showed (and a screenshot
// of the screen as a BMP file at `shot_path`, when given) and presses button
// `id`.
bool answer_box(DWORD pid, int id, Box& seen, const std::string& shot_path = "");
bool answer_box(DWORD pid, int id, std::wstring& text);

}  // namespace game_window
