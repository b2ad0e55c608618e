#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/dxdraw.h"
#include "media/errors.h"
#include "platform/headless/headless.h"

using namespace media;
using platform::DisplayMode;

namespace {

constexpr TDXDrawOptions kGameOptions =
    doAllowReboot | doWaitVBlank | doCenter | doDirectX7Mode | doHardware | doSelectDriver;

struct DisplayTest : ::testing::Test {
  platform::headless::Backend hb;
  void SetUp() override { hb.install(); }

  // The game's set-up: 16-bit full screen at the given size.
  void FullScreen(TDXDraw& d, int w, int h) {
    d.Display.SetWidth(w);
    d.Display.SetHeight(h);
    d.Display.SetBitCount(16);
    d.SetOptions(kGameOptions | doFullScreen);
  }
  std::string InitError(TDXDraw& d) {
    try {
      d.InitializeDisplay();
    } catch (const EDXDrawError& e) {
      return e.what();
    }
    return "";
  }
};

struct RecordingListener : TDXDrawListener {
  std::vector<std::string>* log;
  explicit RecordingListener(std::vector<std::string>* l) : log(l) {}
  void DXDrawNotify(TDXDraw*, TDXDrawNotifyType t) override {
    switch (t) {
      case TDXDrawNotifyType::Initialize: log->push_back("list:init"); break;
      case TDXDrawNotifyType::Finalize: log->push_back("list:final"); break;
      case TDXDrawNotifyType::Restore: log->push_back("list:restore"); break;
      default: break;
    }
  }
};

}  // namespace

TEST(DisplayOptions, DerivedForTheGameAndLiveChangesLimited) {
  TDXDraw d;
  d.SetOptions(kGameOptions);
  EXPECT_EQ(d.NowOptions(), doWaitVBlank | doCenter);
  d.SetOptions(kGameOptions | doFullScreen);
  EXPECT_EQ(d.NowOptions(), doFullScreen | doAllowReboot | doWaitVBlank | doCenter);
  // 3D keeps the driver options but never doHardware; DirectX 7 drops retained mode.
  EXPECT_EQ(
      TDXDraw::DeriveNowOptions(do3D | doDirectX7Mode | doRetainedMode | doHardware | doZBuffer),
      do3D | doDirectX7Mode | doZBuffer);
  EXPECT_EQ(TDXDraw::DeriveNowOptions(doFullScreen | doFlip | doSystemMemory),
            doFullScreen | doSystemMemory);
}

TEST(DisplayOptions, BitCountMustBeAStandardDepth) {
  TDXDraw d;
  for (int bad : {0, 15, 31, 64}) {
    try {
      d.Display.SetBitCount(bad);
      FAIL() << bad;
    } catch (const EDXDrawError& e) {
      EXPECT_STREQ(e.what(), "It should be either of 8 or 16 or 24 or 32");
    }
  }
  EXPECT_EQ(d.Display.BitCount(), 8);
  d.Display.SetWidth(-5);
  EXPECT_EQ(d.Display.Width(), 0);
}

TEST_F(DisplayTest, ModeSearchFallsBackBySameRatioThenAnyLarger) {
  // Unsorted on purpose; the search must walk it in ascending order.
  hb.display.mode_list = {{1280, 1024, 16}, {1024, 768, 16}, {1600, 1200, 16},
                          {1024, 768, 32},  {960, 720, 32},  {1280, 720, 16}};
  TDXDraw d;
  FullScreen(d, 800, 600);
  ASSERT_EQ(InitError(d), "");
  EXPECT_EQ(d.Display.Width(), 1024);  // smallest 16-bit 4:3 at least 800x600
  EXPECT_EQ(d.Display.Height(), 768);
  EXPECT_EQ(d.Display.BitCount(), 16);
  EXPECT_TRUE(hb.display.fullscreen);
  // The control and, with AutoSize, the back surface take the mode's size.
  EXPECT_EQ(d.Width(), 1024);
  EXPECT_EQ(d.SurfaceWidth(), 1024);
  EXPECT_EQ(d.SurfaceHeight(), 768);

  // 1100x700 has no 16-bit mode of its ratio: any larger one, smallest first.
  TDXDraw d2;
  FullScreen(d2, 1100, 700);
  ASSERT_EQ(InitError(d2), "");
  EXPECT_EQ(d2.Display.Width(), 1280);
  EXPECT_EQ(d2.Display.Height(), 720);
}

TEST_F(DisplayTest, ModeSearchWithoutFixedBitCount) {
  hb.display.mode_list = {{800, 600, 8}, {800, 600, 24}, {1024, 768, 32}};
  TDXDraw d;
  FullScreen(d, 800, 600);
  d.Display.FixedBitCount = false;
  ASSERT_EQ(InitError(d), "");
  EXPECT_EQ(d.Display.BitCount(), 24);  // both above 8 bits: any depth

  hb.display.mode_list = {{800, 600, 8}, {1024, 768, 16}};
  TDXDraw e;
  FullScreen(e, 800, 600);
  e.Display.SetBitCount(8);
  e.Display.FixedBitCount = false;
  ASSERT_EQ(InitError(e), "");
  EXPECT_EQ(e.Display.BitCount(), 8);
}

TEST_F(DisplayTest, ImpossibleModeFailsWithItsSizeAndLeavesNothingBehind) {
  hb.display.mode_list = {{640, 480, 16}, {800, 600, 32}};
  TDXDraw d;
  FullScreen(d, 800, 600);
  EXPECT_EQ(InitError(d), "Display mode cannot be changed (800x600 16bit)");
  EXPECT_FALSE(d.Initialized());
  EXPECT_EQ(d.BackSurface(), nullptr);
  EXPECT_EQ(d.NowOptions(), doFullScreen | doAllowReboot | doWaitVBlank | doCenter);

  d.HasParentForm = false;
  EXPECT_EQ(InitError(d), "Form not found");
  platform::install({});
  TDXDraw none;
  EXPECT_EQ(InitError(none), "DirectDraw cannot be initialized");
}

TEST_F(DisplayTest, InitializeOrderAndReinitialize) {
  std::vector<std::string> log;
  RecordingListener list(&log);
  TDXDraw d;
  d.RegisterListener(&list);
  d.OnInitialize = [&] { log.push_back("OnInitialize"); };
  d.OnInitializeSurface = [&] { log.push_back("OnInitializeSurface"); };
  d.OnRestoreSurface = [&] { log.push_back("OnRestoreSurface"); };
  d.OnFinalizeSurface = [&] { log.push_back("OnFinalizeSurface"); };
  d.OnFinalize = [&] { log.push_back("OnFinalize"); };
  d.SetOptions(kGameOptions);
  d.InitializeDisplay();  // windowed first, as at form load
  EXPECT_EQ(d.Driver(), TDXDrawDriver::Blt);
  FullScreen(d, 800, 600);
  // Setting options on a live display takes over only the presentation switches.
  EXPECT_EQ(d.NowOptions(), doWaitVBlank | doCenter);
  d.InitializeDisplay();
  EXPECT_EQ(d.NowOptions(), doFullScreen | doAllowReboot | doWaitVBlank | doCenter);
  std::vector<std::string> want = {
      "list:init",        "OnInitialize", "OnInitializeSurface", "list:restore",
      "OnRestoreSurface", "list:final",   "OnFinalizeSurface",   "OnFinalize",
      "list:init",        "OnInitialize", "OnInitializeSurface", "list:restore",
      "OnRestoreSurface"};
  EXPECT_EQ(log, want);
  d.UnregisterListener(&list);
}

TEST_F(DisplayTest, CentredPresentationAndBackSurfaceKept) {
  TDXDraw d;
  d.AutoSize = false;
  d.SetBounds(660, 490);  // 20 wider, 10 taller than the surface
  d.SetSurfaceWidth(640);
  d.SetSurfaceHeight(480);
  d.SetOptions(kGameOptions);
  d.InitializeDisplay();
  d.BackSurface()->Pixels()[0] = 0xF800;
  d.PresentFrame();
  EXPECT_EQ(hb.display.dst_x, 10);
  EXPECT_EQ(hb.display.dst_y, 5);
  EXPECT_EQ(hb.display.dst_w, 640);
  EXPECT_EQ(hb.display.dst_h, 480);
  EXPECT_EQ(hb.display.pixel(10, 5), 0xF800);
  EXPECT_EQ(hb.display.vblank_waits, 1);
  // Presenting does not clear: the next frame draws over the last one.
  EXPECT_EQ(d.BackSurface()->Pixel(0, 0), 0xF800);

  // Control smaller than the surface: the offset is negative, truncated toward zero.
  d.SetBounds(637, 477);
  d.PresentFrame();
  EXPECT_EQ(hb.display.dst_x, -1);
  EXPECT_EQ(hb.display.dst_y, -1);

  d.SetOptions(kGameOptions | doStretch);
  d.PresentFrame();
  EXPECT_EQ(hb.display.dst_x, 0);
  EXPECT_EQ(hb.display.dst_w, 637);
}

TEST_F(DisplayTest, LostSurfacesAreRestoredBeforePresenting) {
  std::vector<std::string> log;
  RecordingListener list(&log);
  TDXDraw d;
  d.RegisterListener(&list);
  d.SetOptions(kGameOptions);
  d.InitializeDisplay();
  log.clear();
  d.BackSurface()->FillSurface(0x1234);
  hb.display.lost = true;
  d.PresentFrame();
  EXPECT_EQ(log, std::vector<std::string>{"list:restore"});
  EXPECT_FALSE(hb.display.lost);
  EXPECT_EQ(hb.display.presents, 1);
  EXPECT_EQ(hb.display.pixel(0, 0), 0);  // restored surfaces start black

  // A device that cannot restore yet: nothing is shown, nothing is raised.
  hb.display.lost = true;
  hb.display.refuse_restore = true;
  d.PresentFrame();
  EXPECT_EQ(hb.display.presents, 1);
  EXPECT_EQ(d.LastError, TDXDraw::kErrorSurfaceLost);
  hb.display.refuse_restore = false;
  hb.display.fail_present = true;
  d.PresentFrame();
  EXPECT_EQ(d.LastError, TDXDraw::kErrorFailed);
  d.UnregisterListener(&list);
}
