#include "platform/services.h"

#include "platform/fonts.h"

namespace platform {

namespace {
Services g_services;
}

Services& services() {
  if (!g_services.fonts) g_services.fonts = &default_font_rasterizer();
  return g_services;
}

void install(const Services& s) { g_services = s; }

}  // namespace platform
