#pragma once
// The entry a system keeps for an installed program, where it has one: on
// Windows "Apps & features" lists the game from the current user's key
// HKCU\<kRegistrationKey>, and its uninstall command runs the installation's
// own uninstall.exe. The installation writes the entry and records it with
// the digest of its values; the uninstaller removes it only while it still
// holds those values (another installation may have written it since).
// installer/win32 supplies the system's registry (set_app_registry); where
// there is none nothing is written or recorded.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace installer {

inline constexpr const char* kRegistrationKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zarnik";

// One value of the key: a text (REG_SZ) or a number (REG_DWORD).
struct RegistryValue {
  std::string name;
  std::string text;
  bool is_number = false;
  uint32_t number = 0;
  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};
using RegistryValues = std::vector<RegistryValue>;

// The current user's part of the system's registry.
class AppRegistry {
 public:
  virtual ~AppRegistry() = default;
  // Every value under `key`; nothing when there is no such key. A value of
  // another type is given as a text that no value we write can have.
  virtual std::optional<RegistryValues> read(const std::string& key) = 0;
  // Makes `key` hold exactly `values`; false (with `error`, Czech) otherwise.
  virtual bool write(const std::string& key, const RegistryValues& values, std::string& error) = 0;
  // Removes `key` with its values; false (with `error`) when it stays.
  virtual bool remove(const std::string& key, std::string& error) = 0;
};

// The registry the installation and the uninstallation use; none unless a
// program sets one.
void set_app_registry(AppRegistry* registry);
AppRegistry* app_registry();

// The values for the game installed in `game_folder` (Windows paths), its
// files taking `size_bytes`: the name, the icon (the game program's), the
// version, the team as publisher, the folder, the uninstall commands (the
// quiet one with "--yes"), the size in KiB, and neither change nor repair
// offered.
RegistryValues registration_values(const std::string& game_folder, uint64_t size_bytes);

// The digest the record keeps of `values`, whatever order they come in.
std::string registration_digest(RegistryValues values);

}  // namespace installer
