#include "media/timer.h"

#include <gtest/gtest.h>

#include <vector>

#include "media/application.h"
#include "platform/headless/headless.h"

using namespace media;

namespace {

struct TimerTest : ::testing::Test {
  platform::headless::Backend hb;
  TApplication app;
  std::vector<int> lags;
  std::vector<uint32_t> at;

  void SetUp() override { hb.install(); }
  void Attach(TDXTimer& t, uint32_t handler_ms = 0) {
    t.SetInterval(16);
    t.OnTimer = [this, handler_ms](TDXTimer*, int lag) {
      lags.push_back(lag);
      at.push_back(hb.clock.now_ms());
      hb.clock.advance(handler_ms);
    };
  }
  // Idle rounds one millisecond apart.
  void RunFor(uint32_t ms) {
    for (uint32_t i = 0; i < ms; ++i) {
      app.ProcessMessages();
      hb.clock.advance(1);
    }
  }
};

}  // namespace

TEST_F(TimerTest, TicksEveryIntervalAndLagCountsSlowFrames) {
  TDXTimer t(&app);
  t.SetEnabled(false);
  Attach(t, 50);
  hb.clock.set(1000);
  t.SetEnabled(true);
  RunFor(16);
  EXPECT_TRUE(lags.empty()) << "the first tick comes a full interval after the start";
  app.ProcessMessages();  // now 1016
  ASSERT_EQ(lags, std::vector<int>{1});
  // The handler took 50 ms; the next idle round finds three steps gone by.
  app.ProcessMessages();
  ASSERT_EQ(lags, (std::vector<int>{1, 3}));
  EXPECT_EQ(at[1], 1066u);
}

TEST_F(TimerTest, EnablingAnEnabledTimerChangesNothing) {
  TDXTimer t(&app);
  Attach(t);
  RunFor(10);
  t.SetEnabled(true);  // must not restart the clock
  RunFor(7);
  EXPECT_EQ(at, std::vector<uint32_t>{16});
  t.SetEnabled(false);
  RunFor(100);
  EXPECT_EQ(at.size(), 1u);
  EXPECT_FALSE(t.Running());
}

TEST_F(TimerTest, InactiveWindowFreezesWithoutCatchUp) {
  TDXTimer t(&app);
  Attach(t);
  int activations = 0, deactivations = 0;
  t.OnActivate = [&] { ++activations; };
  t.OnDeactivate = [&] { ++deactivations; };
  RunFor(20);
  ASSERT_EQ(lags.size(), 1u);
  hb.system.push(platform::EventType::Deactivate);
  RunFor(500);
  EXPECT_EQ(lags.size(), 1u);
  EXPECT_FALSE(app.Active());
  uint32_t back = hb.clock.now_ms();
  hb.system.push(platform::EventType::Activate);
  RunFor(40);
  ASSERT_GE(lags.size(), 2u);
  EXPECT_EQ(lags[1], 1);
  EXPECT_EQ(at[1], back + 16);
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(deactivations, 1);

  // Without ActiveOnly the timer keeps ticking in the background.
  TDXTimer bg(&app);
  bg.ActiveOnly = false;
  bg.SetInterval(10);
  int bg_ticks = 0;
  bg.OnTimer = [&](TDXTimer*, int) { ++bg_ticks; };
  hb.system.push(platform::EventType::Deactivate);
  RunFor(101);
  EXPECT_EQ(bg_ticks, 10);
}

TEST_F(TimerTest, PropertiesSetWhileLoadingTakeEffectAfterwards) {
  TDXTimer t(&app);
  t.BeginLoading();
  t.SetEnabled(false);
  EXPECT_TRUE(t.Running());
  t.EndLoading();
  EXPECT_FALSE(t.Running());
  Attach(t);
  RunFor(50);
  EXPECT_TRUE(lags.empty());
}

TEST_F(TimerTest, TimerStartedWhileInactiveWaitsForActivation) {
  app.SetActive(false);
  TDXTimer t(&app);
  Attach(t);
  RunFor(100);
  EXPECT_TRUE(lags.empty());
  EXPECT_TRUE(t.Running());
  app.SetActive(true);
  RunFor(17);
  EXPECT_EQ(lags.size(), 1u);
}

TEST_F(TimerTest, FrameRateIsMeasuredOverOneSecond) {
  TDXTimer t(&app);
  Attach(t);
  RunFor(1010);
  EXPECT_EQ(t.FrameRate(), 62);  // 62 ticks in 992 ms
}

TEST_F(TimerTest, RunSleepsBetweenTicksAndTicksOnTime) {
  TDXTimer t(&app);
  Attach(t);
  t.OnTimer = [&](TDXTimer*, int lag) {
    lags.push_back(lag);
    at.push_back(hb.clock.now_ms());
    if (lags.size() == 5) app.Terminate();
  };
  app.Run();
  EXPECT_EQ(at, (std::vector<uint32_t>{16, 32, 48, 64, 80}));
  EXPECT_EQ(lags, (std::vector<int>{1, 1, 1, 1, 1}));
  // It waited for events instead of spinning through each millisecond.
  EXPECT_LE(hb.system.waits, 10);
  EXPECT_GE(hb.system.waited_ms, 70u);
}

TEST_F(TimerTest, ProcessMessagesHandsEventsToTheWindowBeforeIdle) {
  std::vector<int> keys;
  app.OnEvent = [&](const platform::Event& e) {
    if (e.type == platform::EventType::KeyDown) keys.push_back(e.key);
    if (e.type == platform::EventType::Close) app.Terminate();
  };
  platform::Event e;
  e.type = platform::EventType::KeyDown;
  e.key = 32;
  hb.system.push(e);
  e.key = 27;
  hb.system.push(e);
  hb.system.push(platform::EventType::Close);
  app.Run();
  EXPECT_EQ(keys, (std::vector<int>{32, 27}));
  EXPECT_TRUE(app.Terminated());
}

TEST_F(TimerTest, HandlerMayStopAndDestroyTimers) {
  TDXTimer t(&app);
  auto other = std::make_unique<TDXTimer>(&app);
  Attach(t);
  other->SetInterval(16);
  int other_ticks = 0;
  other->OnTimer = [&](TDXTimer*, int) { ++other_ticks; };
  t.OnTimer = [&](TDXTimer* self, int) {
    other.reset();
    self->SetEnabled(false);
  };
  RunFor(40);
  EXPECT_FALSE(t.Running());
  EXPECT_EQ(other_ticks, 0);  // destroyed before its turn in the same round
}
