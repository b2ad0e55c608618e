// The canvas draws text with the rasteriser in the services table. These
// tests run without a backend, so the platform's rasteriser is put there
// before any test starts (a backend a test installs keeps it).
#include <gtest/gtest.h>

#include "platform/fonts.h"
#include "platform/services.h"

namespace {

class PlatformFonts : public ::testing::Environment {
 public:
  void SetUp() override { platform::services().fonts = &platform::default_font_rasterizer(); }
};

[[maybe_unused]] ::testing::Environment* const kPlatformFonts =
    ::testing::AddGlobalTestEnvironment(new PlatformFonts);

}  // namespace
