#include "document/GuideManagement.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kalvane {
namespace {

TEST(Guides, OrientationIsZeroOrOneAndThePlaceStaysANumberWithinReach) {
  TGuideManagement guides;
  guides.AddAtRelPos(1, 0.5);
  guides.AddAtRelPos(5, 0.25);  // vertical
  guides.AddAtRelPos(0, NAN);
  guides.AddAtRelPos(1, -1e300);
  EXPECT_EQ(guides.GetGuide(0)->GetOrientation(), TGuideShape::kHorizontal);
  EXPECT_EQ(guides.GetGuide(1)->GetOrientation(), TGuideShape::kVertical);
  EXPECT_EQ(guides.GetGuide(2)->GetRelPos(), 0.5);  // not a number: the middle
  EXPECT_EQ(guides.GetGuide(3)->GetRelPos(), -100.0);
  guides.SetRelPos(1, INFINITY);
  EXPECT_EQ(guides.GetGuide(1)->GetRelPos(), 0.5);
  guides.SetRelPos(9, 0.1);  // none there: nothing
  EXPECT_EQ(guides.Count(), 4);
}

TEST(Guides, DeletingMovesTheLastIntoTheGap) {
  TGuideManagement guides;
  for (const double r : {0.1, 0.2, 0.3})
    guides.AddAtRelPos(1, r);
  guides.Delete(0);
  ASSERT_EQ(guides.Count(), 2);
  EXPECT_EQ(guides.GetGuide(0)->GetRelPos(), 0.3);
  EXPECT_EQ(guides.GetGuide(1)->GetRelPos(), 0.2);
  guides.Delete(7);
  EXPECT_EQ(guides.Count(), 2);
  EXPECT_EQ(guides.GetGuide(-1), nullptr);
  EXPECT_EQ(guides.GetGuide(2), nullptr);
  guides.Clear();
  EXPECT_EQ(guides.Count(), 0);
}

}  // namespace
}  // namespace kalvane
