#pragma once
// The current user's registry (HKEY_CURRENT_USER) for the entry the
// installation writes for "Apps & features" (installer/core/registration.h),
// through the wide calls.
#include "installer/core/registration.h"

namespace installer::win32 {

class Registry : public AppRegistry {
 public:
  std::optional<RegistryValues> read(const std::string& key) override;
  bool write(const std::string& key, const RegistryValues& values, std::string& error) override;
  bool remove(const std::string& key, std::string& error) override;
};

}  // namespace installer::win32
