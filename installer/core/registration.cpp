#include "installer/core/registration.h"

#include <algorithm>

#include "installer/core/digest.h"
#include "installer/core/title.h"
#include "version.h"

namespace installer {

namespace {
AppRegistry* registry_ = nullptr;
}  // namespace

void set_app_registry(AppRegistry* registry) { registry_ = registry; }
AppRegistry* app_registry() { return registry_; }

RegistryValues registration_values(const std::string& game_folder, uint64_t size_bytes) {
  const std::string uninstaller = "\"" + game_folder + "\\uninstall.exe\"";
  auto text = [](const char* name, std::string value) {
    return RegistryValue{name, std::move(value), false, 0};
  };
  auto number = [](const char* name, uint64_t value) {
    return RegistryValue{name, {}, true, uint32_t(std::min<uint64_t>(value, UINT32_MAX))};
  };
  return {
      text("DisplayName", "Zarnik"),
      text("DisplayIcon", game_folder + "\\zarnik.exe,0"),
      text("DisplayVersion", ZARNIK_VERSION),
      text("Publisher", kPublisher),
      text("InstallLocation", game_folder),
      text("UninstallString", uninstaller),
      text("QuietUninstallString", uninstaller + " --yes"),
      number("EstimatedSize", (size_bytes + 1023) / 1024),
      number("NoModify", 1),
      number("NoRepair", 1),
  };
}

std::string registration_digest(RegistryValues values) {
  std::sort(values.begin(), values.end(),
            [](const RegistryValue& a, const RegistryValue& b) { return a.name < b.name; });
  Sha256 h;
  for (const auto& v : values) {
    // Each part ends in a zero byte, which no part holds.
    h.update(v.name);
    h.update(std::string_view("\0", 1));
    h.update(v.is_number ? "n" + std::to_string(v.number) : "s" + v.text);
    h.update(std::string_view("\0", 1));
  }
  return h.hex();
}

}  // namespace installer
