#pragma once
// The system's modal message boxes with Czech buttons whatever the system's
// language: "OK" for a message, "Ano" and "Ne" for a question. The texts are
// UTF-8 and shown through the wide box, so Czech letters show on any system.
// Shared by the game's backend, setup.exe and uninstall.exe.
#include <windows.h>

#include <string>

namespace platform::win32 {

enum class BoxIcon { Error, Warning, Information };

// A message with the one button "OK" over `owner` (may be null).
void message_box(HWND owner, const std::string& title_utf8, const std::string& text_utf8,
                 BoxIcon icon);

// A question with the buttons "Ano" and "Ne" over `owner` (may be null).
// True for "Ano".
bool ask_yes_no(HWND owner, const std::string& title_utf8, const std::string& text_utf8);

}  // namespace platform::win32
