#include "document/LayerItemObject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "TestImages.h"

namespace kalvane {
namespace {

using Px = TBitmap24::Pixel;
using test::TempDir;

TEST(LayerItemFields, SettersKeepTheirRanges) {
  TLayerItemObject item;
  item.SetIndex(-5);
  EXPECT_EQ(item.GetIndex(), -1);
  item.SetIndex(0);
  EXPECT_EQ(item.GetIndex(), 0);
  item.SetScale(0);
  item.SetScale(1.5);
  EXPECT_EQ(item.GetScale(), 0.3);
  item.SetScale(1);
  EXPECT_EQ(item.GetScale(), 1.0);
  EXPECT_TRUE(item.GetMonoVisible());
  EXPECT_EQ(item.GetOffset(), (TPoint{0, 0}));
}

TEST(LayerItemFields, TheWorkOffsetIsTheFineOneRoundedAtTheScale) {
  TLayerItemObject item;
  item.SetScale(0.25);
  item.SetFineOffset({10.0, -6.0});  // 2.5 and -1.5: halves to even
  EXPECT_EQ(item.GetOffset(), (TPoint{2, -2}));
  item.SetFineOffset({14.0, 13.9});  // 3.5 and 3.475
  EXPECT_EQ(item.GetOffset(), (TPoint{4, 3}));
  EXPECT_EQ(item.GetFineOffset(), (TPointF{14.0, 13.9}));
  // a work-pixel offset puts the fine one on the same place
  item.SetOffset({-3, 5});
  EXPECT_EQ(item.GetFineOffset(), (TPointF{-12.0, 20.0}));
}

TEST(LayerItemFields, FineOffsetsThatAreNoNumbersOrFarOffAreHeld) {
  TLayerItemObject item;
  item.SetScale(0.5);
  item.SetFineOffset({std::nan(""), std::numeric_limits<double>::infinity()});
  EXPECT_EQ(item.GetFineOffset(), (TPointF{0, 0}));
  EXPECT_EQ(item.GetOffset(), (TPoint{0, 0}));
  item.SetFineOffset({1e300, -1e300});
  EXPECT_EQ(item.GetOffset(),
            (TPoint{TLayerItemObject::kMaxOffset, -TLayerItemObject::kMaxOffset}));
  EXPECT_EQ(item.GetFineOffset().X, TLayerItemObject::kMaxOffset / 0.5);
}

TEST(LayerItemLoad, DisplayAndMonoCopiesHaveTheRoundedScaledSize) {
  TempDir dir;
  test::WriteGradient(dir.File("a.png"), 1000, 750);
  test::WriteGradient(dir.File("b.jpg"), 1001, 751);
  TLayerItemObject a;
  ASSERT_TRUE(a.LoadFromFile(dir.File("a.png")));
  EXPECT_EQ(a.GetDisplayBitmap()->Width(), 300);
  EXPECT_EQ(a.GetDisplayBitmap()->Height(), 225);
  EXPECT_EQ(a.GetMonoBitmap()->Width(), 300);
  EXPECT_EQ(a.GetMonoBitmap()->Height(), 225);
  EXPECT_EQ(a.GetFileName(), dir.File("a.png"));

  TLayerItemObject b;
  b.SetScale(0.5);
  ASSERT_TRUE(b.LoadFromFile(dir.File("b.jpg")));
  EXPECT_EQ(b.GetDisplayBitmap()->Width(), 500);   // 500.5 to even
  EXPECT_EQ(b.GetDisplayBitmap()->Height(), 376);  // 375.5 to even
}

TEST(LayerItemLoad, MonoCopyIsTheLightenedGrey) {
  TempDir dir;
  test::WriteSolid(dir.File("grey100.png"), 20, 10, 100, 100, 100);
  test::WriteSolid(dir.File("grey175.png"), 20, 10, 175, 175, 175);
  TLayerItemObject a, b;
  a.SetScale(1);
  b.SetScale(1);
  ASSERT_TRUE(a.LoadFromFile(dir.File("grey100.png")));
  ASSERT_TRUE(b.LoadFromFile(dir.File("grey175.png")));
  EXPECT_EQ(a.GetMonoBitmap()->GetPixel(5, 5), (Px{180, 180, 180}));
  EXPECT_EQ(b.GetMonoBitmap()->GetPixel(5, 5), (Px{255, 255, 255}));
  EXPECT_EQ(a.GetDisplayBitmap()->GetPixel(5, 5), (Px{100, 100, 100}));
}

TEST(LayerItemLoad, MissingFileChangesNothingAndBadFileLeavesNoCopies) {
  TempDir dir;
  TLayerItemObject item;
  EXPECT_FALSE(item.LoadFromFile(dir.File("gone.jpg")));
  EXPECT_EQ(item.GetFileName(), "");
  EXPECT_NE(item.LoadError().find("not found"), std::string::npos);

  test::WriteGradient(dir.File("good.png"), 50, 40);
  ASSERT_TRUE(item.LoadFromFile(dir.File("good.png")));
  std::ofstream(dir.File("bad.jpg")) << "garbage";
  EXPECT_FALSE(item.LoadFromFile(dir.File("bad.jpg")));
  EXPECT_FALSE(item.HasImage());
  EXPECT_EQ(item.GetMonoBitmap(), nullptr);
  EXPECT_EQ(item.GetFileName(), dir.File("bad.jpg"));
  EXPECT_NE(item.LoadError().find("bad.jpg"), std::string::npos);
}

TEST(LayerItemRotation, QuarterTurnsSwapBothCopiesAndKeepTheOffset) {
  TempDir dir;
  test::WriteGradient(dir.File("a.png"), 1000, 750);
  TLayerItemObject item;
  item.LoadFromFile(dir.File("a.png"));
  item.SetOffset({7, -3});
  item.SetRotation(9000);
  EXPECT_EQ(item.GetDisplayBitmap()->Width(), 225);
  EXPECT_EQ(item.GetDisplayBitmap()->Height(), 300);
  EXPECT_EQ(item.GetMonoBitmap()->Width(), 225);
  EXPECT_EQ(item.GetOffset(), (TPoint{7, -3}));
  item.SetRotation(0);
  EXPECT_EQ(item.GetDisplayBitmap()->Width(), 300);
  EXPECT_EQ(item.GetDisplayBitmap()->Height(), 225);
  EXPECT_EQ(item.GetRotation(), 0);
}

TEST(LayerItemRotation, LoadingTurnsByTheStoredAngle) {
  TempDir dir;
  test::WriteGradient(dir.File("a.png"), 1000, 750);
  TLayerItemObject item;
  item.SetRotation(-9000);  // no copies yet: only stored
  EXPECT_EQ(item.GetRotation(), -9000);
  item.LoadFromFile(dir.File("a.png"));
  EXPECT_EQ(item.GetDisplayBitmap()->Width(), 225);
  EXPECT_EQ(item.GetDisplayBitmap()->Height(), 300);
}

TEST(LayerItemSelection, SelectedOnlyWhileTheFileExistsButAlwaysCleared) {
  TempDir dir;
  TLayerItemObject item;
  item.SetSelected(true);
  EXPECT_FALSE(item.GetSelected());
  test::WriteGradient(dir.File("a.png"), 10, 10);
  item.LoadFromFile(dir.File("a.png"));
  item.SetSelected(true);
  EXPECT_TRUE(item.GetSelected());
  std::filesystem::remove(dir.File("a.png"));
  item.SetSelected(false);  // file gone: clearing still works
  EXPECT_FALSE(item.GetSelected());
  item.SetSelected(true);
  EXPECT_FALSE(item.GetSelected());
}

class LayerItemBlend : public testing::Test {
 protected:
  void SetUp() override {
    test::WriteSolid(dir.File("grey.png"), 40, 30, 100, 100, 100);  // mono copy 180
    item.SetScale(1);
    ASSERT_TRUE(item.LoadFromFile(dir.File("grey.png")));
  }
  TempDir dir;
  TLayerItemObject item;
};

TEST_F(LayerItemBlend, DarkChangesOnlyWhereTheOffsetCopyLands) {
  TBitmap24 target(40, 30);
  target.FillWhite();
  item.SetOffset({-10, 5});
  item.DrawMonoDark(target, 1.0);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const bool inside = x <= 40 - 11 && y >= 5;
      EXPECT_EQ(target.GetPixel(x, y), inside ? (Px{180, 180, 180}) : (Px{255, 255, 255}))
          << x << "," << y;
    }
  }
}

TEST_F(LayerItemBlend, RedOnWhiteShowsTheGreyInShadesOfRed) {
  TBitmap24 target(40, 30);
  target.FillWhite();
  item.DrawMonoRed(target, 1.0);
  EXPECT_EQ(target.GetPixel(3, 3), (Px{180, 180, 255}));
}

TEST_F(LayerItemBlend, ZeroTargetRedIsNeverChangedAndHalvesRoundToEven) {
  TBitmap24 target(40, 30);
  target.FillWhite();
  target.SetPixel(0, 0, {50, 50, 0});
  target.SetPixel(1, 0, {185, 185, 185});  // |180 - 185| * 0.5 = 2.5 -> 2
  target.SetPixel(2, 0, {187, 187, 187});  // 3.5 -> 4
  target.SetPixel(3, 0, {10, 10, 250});    // red: 250 + Round(35) clamps at 255
  item.DrawMonoDark(target, 0.5);
  EXPECT_EQ(target.GetPixel(0, 0), (Px{50, 50, 0}));
  EXPECT_EQ(target.GetPixel(1, 0), (Px{183, 183, 183}));
  EXPECT_EQ(target.GetPixel(2, 0), (Px{183, 183, 183}));
  TBitmap24 red(40, 30);
  red.FillWhite();
  red.SetPixel(3, 0, {10, 10, 250});
  red.SetPixel(4, 0, {20, 20, 0});
  item.DrawMonoRed(red, 1.0);
  EXPECT_EQ(red.GetPixel(3, 0), (Px{0, 0, 255}));
  EXPECT_EQ(red.GetPixel(4, 0), (Px{20, 20, 0}));
}

TEST(LayerItemLighten, EveryByteFollowsTheTable) {
  TBitmap24 b(4, 1);
  b.SetPixel(0, 0, {0, 100, 175});
  b.SetPixel(1, 0, {176, 255, 95});
  LightenMono(b);
  EXPECT_EQ(b.GetPixel(0, 0), (Px{80, 180, 255}));
  EXPECT_EQ(b.GetPixel(1, 0), (Px{255, 255, 175}));
}

}  // namespace
}  // namespace kalvane
