// The image list follows its display: initialise, restore, finalise, and a
// display that goes away first.
#include <gtest/gtest.h>

#include "media/dxdraw.h"
#include "media/errors.h"
#include "media/pictures.h"
#include "platform/headless/headless.h"

namespace media {
namespace {

void AddPicture(TPictureCollection& items) {
  auto& it = items.Add();
  it.Picture = TDIB::FromPixels(4, 2, 24, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80});
  it.PatternWidth = 2;
}

TEST(ImageList, FollowsTheDisplayLifecycle) {
  platform::headless::Backend backend;
  backend.install(false);
  TDXDraw display;
  TDXImageList list;
  AddPicture(list.Items);
  list.SetDXDraw(&display);
  EXPECT_EQ(list.GetDXDraw(), &display);
  EXPECT_FALSE(list.Items.ItemAt(0).Initialized());

  display.InitializeDisplay();  // initialise, then restore: patterns are cut
  ASSERT_TRUE(display.Initialized());
  EXPECT_TRUE(list.Items.Initialized());
  EXPECT_EQ(list.Items.ItemAt(0).PatternCount(), 2);
  list.Items.ItemAt(0).DrawPattern(display.Surface(), 0, 0, 1);
  EXPECT_EQ(display.Surface()->Pixel(0, 0), 0x0030 >> 3);  // blue 0x30 of the third pixel

  display.RestoreSurfaces();  // lost surfaces: patterns cut again
  EXPECT_EQ(list.Items.ItemAt(0).PatternCount(), 2);

  display.FinalizeDisplay();
  EXPECT_FALSE(list.Items.Initialized());
  EXPECT_EQ(list.Items.ItemAt(0).PatternCount(), 0);

  // Initialising the collection by hand needs the display running.
  EXPECT_THROW(list.Items.Initialize(), EDXDrawError);
}

// An image list with one picture on a running display.
struct RunningImageList : ::testing::Test {
  platform::headless::Backend backend;
  TDXDraw display;
  TDXImageList list;
  void SetUp() override {
    backend.install(false);
    AddPicture(list.Items);
    list.SetDXDraw(&display);
    display.InitializeDisplay();
  }
};

// Clearing is what a container load does first: the items and their
// surfaces go and the collection is finalised, so items added afterwards
// wait for the load's own initialise and restore.
TEST_F(RunningImageList, ClearFinalisesAndNewItemsWaitForTheRestore) {
  ASSERT_TRUE(list.Items.Initialized());

  list.Items.Clear();
  EXPECT_EQ(list.Items.Count(), 0);
  EXPECT_FALSE(list.Items.Initialized());
  AddPicture(list.Items);
  EXPECT_FALSE(list.Items.ItemAt(0).Initialized());
  display.Surface()->FillSurface(0x1234);
  list.Items.ItemAt(0).DrawPattern(display.Surface(), 0, 0, 0);
  EXPECT_EQ(display.Surface()->Pixel(0, 0), 0x1234);

  list.Items.Initialize();
  list.Items.Restore();
  EXPECT_EQ(list.Items.ItemAt(0).PatternCount(), 2);
  // Added to an initialised collection, an item is initialised at once and
  // draws once restored.
  AddPicture(list.Items);
  EXPECT_TRUE(list.Items.ItemAt(1).Initialized());
  EXPECT_EQ(list.Items.ItemAt(1).PatternCount(), 0);
  list.Items.Restore();
  EXPECT_EQ(list.Items.ItemAt(1).PatternCount(), 2);
}

// Out of range, both forms of ItemAt give an item that never draws, whatever
// a caller did to it before.
TEST_F(RunningImageList, ItemsOutOfRangeStayEmpty) {
  TPictureCollectionItem& stray = list.Items.ItemAt(3);
  stray.Picture = list.Items.ItemAt(0).Picture;
  stray.Initialize();
  stray.Restore();
  EXPECT_EQ(&list.Items.ItemAt(-1), &stray);
  EXPECT_FALSE(stray.Initialized());
  EXPECT_EQ(stray.PatternCount(), 0);

  const TPictureCollection& items = list.Items;
  EXPECT_EQ(items.ItemAt(0).PatternCount(), 2);
  EXPECT_EQ(items.ItemAt(1).PatternCount(), 0);
  EXPECT_FALSE(items.ItemAt(-5).Initialized());
  display.Surface()->FillSurface(0x1234);
  items.ItemAt(1).DrawPattern(display.Surface(), 0, 0, 0);
  EXPECT_EQ(display.Surface()->Pixel(0, 0), 0x1234);
}

TEST(ImageList, SurvivesEitherDestructionOrder) {
  platform::headless::Backend backend;
  backend.install(false);
  {
    auto display = std::make_unique<TDXDraw>();
    TDXImageList list;
    AddPicture(list.Items);
    list.SetDXDraw(display.get());
    display->InitializeDisplay();
    display.reset();  // tells the list it is going away
    EXPECT_EQ(list.GetDXDraw(), nullptr);
    EXPECT_EQ(list.Items.ItemAt(0).PatternCount(), 0);
  }
  {
    TDXDraw display;
    {
      TDXImageList list;
      list.SetDXDraw(&display);
    }
    display.InitializeDisplay();  // the list is gone and no longer called
    display.FinalizeDisplay();
  }
}

}  // namespace
}  // namespace media
