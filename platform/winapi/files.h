#pragma once
// Where the settings file lives on Windows. It belongs in the Windows
// directory, which only an administrator may write to; on any other account
// (and for an administrator's programs run without elevation) it lives in
// the user's own application-data folder instead, "%APPDATA%\Zarnik", so the
// display size and the name still persist. The choice is made once per
// process: the folder the settings are written to is the one they are read
// from.
#include <string>

namespace platform::win32 {

// The system's Windows directory, no trailing backslash.
std::string system_windows_directory();

// The per-user folder used when the Windows directory is not writable:
// "Zarnik" in the user's roaming application data. Empty when the system
// names no such folder.
std::string per_user_settings_directory();

// Whether `path` names one of the system's devices rather than a file: a
// path in the device namespace ("\\.\pipe\x", "\\.\COM1"), or a reserved
// name (NUL, CON, PRN, AUX, COM0 to COM9, LPT0 to LPT9), which names the
// device in every folder and with any extension ("C:\x\nul.txt"). Such a
// path is never opened for reading: opening a device can wait or act.
bool names_a_device(const std::string& path);

// True when this process may create files in the folder.
bool folder_is_writable(const std::string& folder);

// The choice between the two: the Windows directory when it is writable,
// else the per-user folder (created if need be); the Windows directory again
// when there is no per-user folder either.
std::string choose_settings_directory(const std::string& windows_dir,
                                      const std::string& per_user_dir);

// What the error code `err` (GetLastError) means, in Czech words of our own
// for the common failures (not found, access denied, disk full, file in
// use and a few more) whatever the system's language, with the code in
// brackets: "přístup byl odepřen (kód 5)"; "chyba systému (kód N)" for the
// rest.
std::string system_error_text(unsigned long err);

}  // namespace platform::win32
