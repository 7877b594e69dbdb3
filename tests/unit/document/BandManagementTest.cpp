#include "document/BandManagement.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kalvane {
namespace {

class TFakePanel : public IControlParent {
 public:
  TSize ClientSize() const override { return Size; }
  TSize Size{500, 400};
};

class TrimBox : public testing::Test {
 protected:
  void SetUp() override {
    box.SetParent(&panel);
    box.SetOrigin(28, 28);
    box.SetAreaSize(400, 300);
    box.SetRelBox(kDefaultRelBox);
    box.OnChange = [this](TBandManagement& sender) {
      EXPECT_EQ(&sender, &box);
      ++changes;
    };
  }
  // Presses at the control's (2, 2), moves the mouse by (dx, dy), lets the
  // repeat timer fire once; the release is left to the test.
  void Drag(TBandCorner& handle, int dx, int dy) {
    handle.MouseDown(TMouseButton::Left, 2, 2);
    handle.MouseMove(2 + dx, 2 + dy);
    handle.TimerTick();
  }
  TFakePanel panel;
  TBandManagement box;
  int changes = 0;
};

TEST_F(TrimBox, RelativeBoxMapsOntoTheImageArea) {
  EXPECT_EQ(box.GetScreenBox(), (TScreenBox{48, 43, 408, 313}));
  box.SetAreaSize(800, 600);  // the window grew
  EXPECT_EQ(box.GetScreenBox(), (TScreenBox{68, 58, 788, 598}));
  EXPECT_EQ(box.GetRelBox(), kDefaultRelBox);
  box.SetAreaSize(0, -3);
  box.SetOrigin(-1, 10);
  EXPECT_EQ(box.GetAreaSize(), (TSize{800, 600}));
  EXPECT_EQ(box.GetOrigin(), (TPoint{28, 10}));
  // halves round to even: 0.5 * 5 = 2.5 -> 2
  box.SetOrigin(0, 0);
  box.SetAreaSize(5, 7);
  box.SetRelBox({0.5, 0.5, 0.9, 0.5});
  EXPECT_EQ(box.GetScreenBox(), (TScreenBox{2, 4, 4, 4}));  // 3.5 -> 4, 4.5 -> 4
}

TEST_F(TrimBox, ControlsArePlacedAroundTheBox) {
  EXPECT_EQ(box.Corner(0).Bounds(), (TBoundsRect{44, 39, 8, 8}));
  EXPECT_EQ(box.Corner(2).Bounds(), (TBoundsRect{404, 309, 8, 8}));
  EXPECT_EQ(box.Edges()[0], (TBoundsRect{47, 42, 362, 2}));   // top
  EXPECT_EQ(box.Edges()[1], (TBoundsRect{407, 42, 2, 272}));  // right
  EXPECT_EQ(box.Edges()[3], (TBoundsRect{47, 42, 2, 272}));   // left
  // handle centred on (408 - 26 + 5, 5 + 313 + 1)
  EXPECT_EQ(box.MoveHandle().Bounds(), (TBoundsRect{374, 314, 26, 10}));
  EXPECT_EQ(box.Shades()[0], (TBoundsRect{0, 0, 500, 44}));
  EXPECT_EQ(box.Shades()[1], (TBoundsRect{0, 0, 49, 400}));
  EXPECT_EQ(box.Shades()[2], (TBoundsRect{408, 0, 92, 400}));
  EXPECT_EQ(box.Shades()[3], (TBoundsRect{0, 313, 500, 87}));
  EXPECT_EQ(box.Corner(1).Cursor, TCursorKind::SizeNESW);
  EXPECT_EQ(box.MoveHandle().Cursor, TCursorKind::Hand);
}

TEST_F(TrimBox, ACornerStopsSixtyPixelsBeforeTheOppositeOne) {
  TBandCorner& topLeft = box.Corner(0);
  Drag(topLeft, 1000, 1000);
  // its top-left stops 60 left of and above the opposite corner's centre
  EXPECT_EQ(topLeft.GetLeft(), 408 - 60);
  EXPECT_EQ(topLeft.GetTop(), 313 - 60);
  const TScreenBox b = box.GetScreenBox();
  EXPECT_EQ(b.x1, 352);
  EXPECT_LT(b.x1, b.x2);
  EXPECT_LT(b.y1, b.y2);
  EXPECT_EQ(changes, 0);  // nothing while dragging
  topLeft.MouseUp(TMouseButton::Left, 0, 0);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(topLeft.Dragging());
  EXPECT_FALSE(topLeft.TimerActive());
}

TEST_F(TrimBox, ACornerStaysInsideTheArea) {
  TBandCorner& bottomRight = box.Corner(2);
  Drag(bottomRight, 1000, 1000);
  EXPECT_EQ(bottomRight.GetLeft(), 28 + 400 - 13);
  EXPECT_EQ(bottomRight.GetTop(), 28 + 300 - 19);
  Drag(box.Corner(0), -1000, -1000);
  EXPECT_EQ(box.Corner(0).GetLeft(), 33);
  EXPECT_EQ(box.Corner(0).GetTop(), 33);
}

TEST_F(TrimBox, TheBoxFollowsOnlyOnTimerTicks) {
  TBandCorner& corner = box.Corner(1);
  corner.MouseDown(TMouseButton::Left, 2, 2);
  EXPECT_TRUE(corner.TimerActive());
  corner.MouseMove(12, 2);
  EXPECT_EQ(box.GetScreenBox().x2, 408);  // not yet
  corner.TimerTick();
  EXPECT_EQ(box.GetScreenBox().x2, 418);
  corner.MouseUp(TMouseButton::Right, 0, 0);  // only the left button ends it
  EXPECT_TRUE(corner.Dragging());
}

TEST_F(TrimBox, MovingKeepsTheSizeAndStopsAtTheEdges) {
  TBandLabel& handle = box.MoveHandle();
  Drag(handle, -1000, -1000);
  TScreenBox b = box.GetScreenBox();
  EXPECT_EQ(b.x1, 33);
  EXPECT_EQ(b.y1, 33);
  EXPECT_EQ(b.x2 - b.x1, 360);
  EXPECT_EQ(b.y2 - b.y1, 270);
  handle.MouseUp(TMouseButton::Left, 0, 0);
  EXPECT_EQ(changes, 1);
  // the handle lies under the moved box again
  EXPECT_EQ(handle.GetTop(), b.y2 + 1);

  // the handle's own limits stop the box before the box-move limits do
  Drag(handle, 1000, 1000);
  handle.TimerTick();
  b = box.GetScreenBox();
  EXPECT_EQ(b.x2, 28 + 400 - 9);
  EXPECT_EQ(b.y2, 28 + 300 - 15);
  EXPECT_EQ(b.x2 - b.x1, 360);
  handle.MouseUp(TMouseButton::Left, 0, 0);
}

TEST_F(TrimBox, ABoxWiderThanTheAreaKeepsItsRightAndBottomLimits) {
  box.SetRelBox({0, 0, 1, 1});
  TBandLabel& handle = box.MoveHandle();
  Drag(handle, -3, -3);
  const TScreenBox b = box.GetScreenBox();
  EXPECT_EQ(b.x2, 28 + 400 - 5);
  EXPECT_EQ(b.x1, b.x2 - 400);
}

TEST_F(TrimBox, ALockEndsADragAsAReleaseWould) {
  TBandCorner& corner = box.Corner(0);
  corner.MouseDown(TMouseButton::Left, 2, 2);
  box.SetLocked(true);
  EXPECT_FALSE(corner.Dragging());
  EXPECT_FALSE(corner.TimerActive());
  corner.MouseMove(50, 50);
  corner.TimerTick();
  corner.MouseUp(TMouseButton::Left, 0, 0);  // ignored: locked
  EXPECT_EQ(box.GetScreenBox(), (TScreenBox{48, 43, 408, 313}));
  // unlocked again, a move without a press moves nothing: the drag is over
  box.SetLocked(false);
  corner.MouseMove(60, 60);
  corner.TimerTick();
  EXPECT_EQ(box.GetScreenBox(), (TScreenBox{48, 43, 408, 313}));
  box.SetLocked(true);
  box.MoveHandle().MouseDown(TMouseButton::Left, 1, 1);
  EXPECT_FALSE(box.MoveHandle().Dragging());
}

TEST_F(TrimBox, UpdateWithNormalizeOrdersTheBox) {
  box.SetRelBox({0.9, 0.8, 0.1, 0.2});  // ordered on input
  EXPECT_EQ(box.GetRelBox(), (TRelBox{0.1, 0.2, 0.9, 0.8}));
  box.Update(true);
  EXPECT_EQ(box.GetScreenBox(), (TScreenBox{68, 88, 388, 268}));
}

TEST_F(TrimBox, ValuesFromAFileAreClampedAndOrdered) {
  box.SetRelBox({-0.5, 0.2, 7.0, NAN});
  const TRelBox r = box.GetRelBox();
  EXPECT_EQ(r.p1x, 0.0);
  EXPECT_EQ(r.p2x, 1.0);
  EXPECT_EQ(r.p1y, 0.2);
  EXPECT_EQ(r.p2y, 0.95);  // not a number: the default's
}

TEST(TrimBoxWithoutParent, VisibilityNeedsAParent) {
  TBandManagement box;
  box.SetVisible(false);
  EXPECT_TRUE(box.GetVisible());
  EXPECT_TRUE(box.Corner(0).Visible);
  TFakePanel panel;
  box.SetParent(&panel);
  EXPECT_FALSE(box.GetShadesVisible());
  box.SetVisible(false);
  EXPECT_FALSE(box.Corner(3).Visible);
  EXPECT_FALSE(box.MoveHandle().Visible);
}

}  // namespace
}  // namespace kalvane
