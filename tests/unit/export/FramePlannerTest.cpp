#include "export/FramePlanner.h"

#include <gtest/gtest.h>

#include <cmath>

#include "TestImages.h"

namespace kalvane {
namespace {

TFrameInputs Inputs(double s, int W, int H, double l, double t, double r, double b, int w,
                    int angle = 0) {
  return {s, W, H, l, t, r, b, angle, w};
}

TEST(FramePlanner, HeightFollowsTheCropsAspect) {
  TFramePlanner planner(Inputs(1.0, 400, 300, 0, 0, 1, 1, 500));
  ASSERT_TRUE(test::Ok(planner.Check()));
  const TFramePlan plan = planner.Plan(12, "/p/a.jpg", 0, 0, "/tmp/k/");
  EXPECT_EQ(plan.Crop.right - plan.Crop.left, 400);
  EXPECT_EQ(plan.Width, 500);
  EXPECT_EQ(plan.Height, 375);
  EXPECT_EQ(plan.FileName, "/tmp/k/12.jpg");
}

TEST(FramePlanner, TheLimitLowersTheWidthForLaterFrames) {
  // crop 1000 x 2000 source pixels at width 2500 would be 2500 x 5000
  TFramePlanner planner(Inputs(1.0, 1000, 2000, 0, 0, 1, 1, 2500));
  const TFramePlan first = planner.Plan(0, "a", 0, 0, "");
  EXPECT_EQ(first.Width, 1250);
  EXPECT_EQ(first.Height, 2500);
  EXPECT_EQ(planner.Width(), 1250);
  const TFramePlan second = planner.Plan(1, "b", 0, 0, "");
  EXPECT_EQ(second.Width, 1250);
  EXPECT_EQ(second.Height, 2500);
}

TEST(FramePlanner, AfterTheLimitEveryFrameHasOneHeight) {
  // 900 x 2003 at 2500 wide: the first frame becomes 1123 x 2500; worked
  // out again from 1123, the next would be 2499 high.
  TFramePlanner planner(Inputs(1.0, 900, 2003, 0, 0, 1, 1, 2500));
  const TFramePlan first = planner.Plan(0, "a", 0, 0, "");
  const TFramePlan second = planner.Plan(1, "b", 0, 0, "");
  EXPECT_EQ(first.Width, 1123);
  EXPECT_EQ(first.Height, 2500);
  EXPECT_EQ(second.Width, 1123);
  EXPECT_EQ(second.Height, 2500);
}

TEST(FramePlanner, BoxInSourcePixelsAndOffsetsShiftTheCrop) {
  // work bitmap 600 x 450 at scale 0.375 of a 1600 x 1200 photo
  TFramePlanner planner(Inputs(0.375, 600, 450, 0.1, 0.15, 0.9, 0.95, 500));
  EXPECT_EQ(planner.SourceBox().left, 160);  // 0.1 / 0.375 * 600
  EXPECT_EQ(planner.SourceBox().top, 180);
  EXPECT_EQ(planner.SourceBox().right, 1440);
  EXPECT_EQ(planner.SourceBox().bottom, 1140);
  const TFramePlan still = planner.Plan(0, "a", 0, 0, "");
  const TFramePlan moved = planner.Plan(1, "b", -3, 3, "");  // display pixels
  EXPECT_EQ(moved.Crop.left - still.Crop.left, 8);           // 3 / 0.375
  EXPECT_EQ(moved.Crop.top - still.Crop.top, -8);
  EXPECT_EQ(moved.Crop.right - moved.Crop.left, still.Crop.right - still.Crop.left);
  EXPECT_EQ(still.Height, 375);
}

TEST(FramePlanner, FineOffsetsMoveTheCutByTheirFraction) {
  TFramePlanner planner(Inputs(0.375, 600, 450, 0.1, 0.15, 0.9, 0.95, 500));
  const TFramePlan still = planner.PlanFine(0, "a", 0, 0, "");
  const TFramePlan moved = planner.PlanFine(1, "b", -7.75, 2.4, "");
  // the cut lies at Crop + Shift: 7.75 right and 2.4 up of the still one
  EXPECT_NEAR(moved.Crop.left + moved.ShiftX - still.Crop.left, 7.75, 1e-9);
  EXPECT_NEAR(moved.Crop.top + moved.ShiftY - still.Crop.top, -2.4, 1e-9);
  EXPECT_LE(std::abs(moved.ShiftX), 0.5);
  EXPECT_LE(std::abs(moved.ShiftY), 0.5);
  EXPECT_EQ(moved.Crop.right - moved.Crop.left, still.Crop.right - still.Crop.left);
  EXPECT_EQ(moved.Height, still.Height);
  // a work-pixel offset is the same as its fine one
  const TFramePlan work = planner.Plan(2, "c", -3, 1, "");
  const TFramePlan fine = planner.PlanFine(3, "d", -8.0, 1 / 0.375, "");
  EXPECT_EQ(work.Crop.top, fine.Crop.top);
  EXPECT_DOUBLE_EQ(work.ShiftY, fine.ShiftY);
  EXPECT_EQ(work.Crop.left, fine.Crop.left);
  EXPECT_EQ(work.ShiftX, 0);
}

TEST(FramePlanner, ABoxWithoutWidthOrHeightIsRefused) {
  std::string error;
  EXPECT_TRUE(
      test::Failed(TFramePlanner(Inputs(1.0, 400, 300, 0.5, 0.1, 0.5, 0.9, 500)).Check(), &error));
  EXPECT_NE(error.find("no width or no height"), std::string::npos);
  EXPECT_TRUE(
      test::Failed(TFramePlanner(Inputs(1.0, 400, 300, 0.1, 0.4, 0.9, 0.4, 500)).Check(), &error));
  EXPECT_TRUE(
      test::Failed(TFramePlanner(Inputs(1.0, 400, 300, 0.1, 0.1, 0.9, 0.9, 0)).Check(), &error));
}

}  // namespace
}  // namespace kalvane
