#include "platform/win32/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(WinClock, SleepsAtLeastAsLongAsAsked) {
  platform::win32::WinClock clock;
  const uint32_t before = clock.now_ms();
  clock.sleep_ms(20);
  EXPECT_GE(clock.now_ms() - before, 20u);
}

}  // namespace
