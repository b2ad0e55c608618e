#include "platform/backend.h"

#include "platform/fonts.h"

namespace platform {

void FontPreload::start(FontRasterizer& fonts, std::vector<std::string> families) {
  wait();
  if (families.empty()) return;
  thread_ = std::thread([&fonts, families = std::move(families)] {
    for (const std::string& f : families) fonts.render(f, 12, U"Ř");
  });
}

void FontPreload::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace platform
