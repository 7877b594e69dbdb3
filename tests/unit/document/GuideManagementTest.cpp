#include "document/GuideManagement.h"

#include <gtest/gtest.h>

namespace kalvane {
namespace {

class TFakePanel : public IControlParent {
 public:
  TSize ClientSize() const override { return {460, 360}; }
};

class Guides : public testing::Test {
 protected:
  void SetUp() override {
    guides.SetParent(&panel);
    guides.SetOrigin(28, 28);
    guides.SetAreaSize(400, 300);
    guides.SetMarginStart(25);
    guides.SetMarginEnd(5);
    guides.OnGuideEndDrag = [this](TGuideManagement&) { ++ended; };
  }
  TFakePanel panel;
  TGuideManagement guides;
  int ended = 0;
};

TEST_F(Guides, PositionFollowsTheRelativePlaceAndTheAreaSize) {
  TGuideShape* h = guides.AddAtRelPos(1, 0.5);
  EXPECT_EQ(h->GetPosition(), 178);
  EXPECT_EQ(h->Bounds(), (TBoundsRect{25, 178, 460 - 30, 1}));
  EXPECT_EQ(h->Cursor(), TCursorKind::SplitVertical);
  guides.SetAreaSize(800, 600);
  EXPECT_EQ(h->GetPosition(), 328);
  TGuideShape* v = guides.AddAtPosition(0, 228);
  EXPECT_DOUBLE_EQ(v->GetRelPos(), 0.25);  // (228 - 28) / 800
  EXPECT_EQ(v->Bounds(), (TBoundsRect{228, 25, 1, 360 - 30}));
  guides.SetAreaSize(0, 100);  // width kept
  EXPECT_EQ(v->GetPosition(), 228);
}

TEST_F(Guides, OrientationIsZeroOrOne) {
  TGuideShape* g = guides.AddAtRelPos(1, 0.5);
  g->SetOrientation(2);
  EXPECT_EQ(g->GetOrientation(), 1);
  EXPECT_EQ(guides.AddAtRelPos(5, 0.5)->GetOrientation(), 0);  // vertical
}

TEST_F(Guides, DeletingMovesTheLastIntoTheGap) {
  TGuideShape* a = guides.AddAtRelPos(1, 0.1);
  TGuideShape* b = guides.AddAtRelPos(1, 0.2);
  TGuideShape* c = guides.AddAtRelPos(1, 0.3);
  (void)a;
  guides.Delete(0);
  ASSERT_EQ(guides.Count(), 2);
  EXPECT_EQ(guides.GetGuide(0), c);
  EXPECT_EQ(guides.GetGuide(1), b);
  EXPECT_EQ(c->GetGuideIndex(), 0);
  EXPECT_EQ(guides.LastGuide(), b);
  guides.Delete(7);
  EXPECT_EQ(guides.Count(), 2);
  EXPECT_EQ(guides.GetGuide(-1), nullptr);
  guides.Clear();
  EXPECT_EQ(guides.Count(), 0);
  EXPECT_EQ(guides.LastGuide(), nullptr);
}

TEST_F(Guides, DraggedOntoTheRulerTheGuideIsDeleted) {
  TGuideShape* g = guides.AddAtRelPos(1, 0.5);
  g->MouseDown(10, 0);
  g->MouseMove(10, -1000);
  EXPECT_EQ(g->Bounds().Top, 1);  // at least its own height
  g->MouseUp(10, 0);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(guides.Count(), 0);
}

TEST_F(Guides, ExactlyThreeAboveTheAreaStays) {
  TGuideShape* g = guides.AddAtRelPos(1, 0.5);
  g->MouseDown(0, 0);
  g->MouseMove(0, 25 - 178);
  EXPECT_EQ(g->Bounds().Top, 25);
  g->MouseUp(0, 0);
  EXPECT_EQ(guides.Count(), 1);
  EXPECT_DOUBLE_EQ(g->GetRelPos(), -3.0 / 300);
  // the lower limit: the panel's height less the guide's
  g->MouseDown(0, 0);
  g->MouseMove(0, 5000);
  EXPECT_EQ(g->Bounds().Top, 359);
  g->MouseUp(0, 0);
}

TEST_F(Guides, LockedGuidesIgnoreTheMouse) {
  TGuideShape* g = guides.AddAtRelPos(0, 0.5);
  guides.SetLocked(true);
  EXPECT_TRUE(guides.AddAtRelPos(0, 0.1)->GetLocked());  // new guides take the lock
  g->MouseDown(0, 0);
  g->MouseMove(-500, 0);
  g->MouseUp(0, 0);
  EXPECT_EQ(g->GetPosition(), 228);
  EXPECT_EQ(ended, 0);
}

TEST_F(Guides, ALockEndsADragWhereTheGuideIs) {
  TGuideShape* g = guides.AddAtRelPos(0, 0.5);
  g->MouseDown(0, 0);
  g->MouseMove(-40, 0);
  guides.SetLocked(true);
  EXPECT_FALSE(g->Dragging());
  EXPECT_EQ(ended, 1);
  guides.SetLocked(false);
  g->MouseMove(-100, 0);  // no button: nothing
  EXPECT_EQ(g->GetPosition(), 188);
  EXPECT_EQ(guides.Count(), 1);
}

TEST_F(Guides, ARulerPullsANewGuide) {
  guides.RulerPress(1, TMouseButton::Left, 10);  // top ruler, 3 px inside the panel
  ASSERT_EQ(guides.Count(), 1);
  TGuideShape* g = guides.LastGuide();
  EXPECT_EQ(g->GetPosition(), 13);
  guides.RulerMove(60);
  guides.RulerMove(110);
  EXPECT_EQ(g->GetPosition(), 113);
  guides.RulerRelease();
  EXPECT_EQ(guides.Count(), 1);
  EXPECT_DOUBLE_EQ(g->GetRelPos(), (113.0 - 28) / 300);

  guides.RulerPress(0, TMouseButton::Left, 4);  // left ruler, 2 px inside
  EXPECT_EQ(guides.LastGuide()->GetPosition(), 6);
  guides.RulerRelease();  // still over the ruler: gone
  EXPECT_EQ(guides.Count(), 1);
  EXPECT_EQ(ended, 2);
}

TEST_F(Guides, RulersDoNothingWhileGuidesAreHiddenOrLockedOrForOtherButtons) {
  guides.RulerPress(1, TMouseButton::Right, 10);
  guides.SetVisible(false);
  guides.RulerPress(1, TMouseButton::Left, 10);
  guides.SetVisible(true);
  guides.SetLocked(true);
  guides.RulerPress(0, TMouseButton::Left, 10);
  EXPECT_EQ(guides.Count(), 0);
  guides.RulerMove(50);
  guides.RulerRelease();
}

TEST(GuidesWithoutParent, AddNeedsAParent) {
  TGuideManagement guides;
  EXPECT_EQ(guides.AddAtRelPos(1, 0.5), nullptr);
  EXPECT_EQ(guides.Count(), 0);
}

}  // namespace
}  // namespace kalvane
