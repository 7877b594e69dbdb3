#pragma once

#include <functional>

#include "document/BandCorner.h"
#include "document/Geometry.h"

namespace kalvane {

class TGuideManagement;

// One guide line: its place as a fraction of the image area (the master
// value) and in parent pixels, its rectangle on the panel, and its drag
// rules. The widget draws the rectangle and forwards mouse events in the
// guide's own coordinates.
class TGuideShape {
 public:
  using TEvent = std::function<void(TGuideShape& sender)>;
  static constexpr int kHorizontal = 1;
  static constexpr int kVertical = 0;

  explicit TGuideShape(IControlParent* parent) : Parent(parent) {}

  void SetAreaSize(int w, int h);
  void SetOrigin(int x, int y);
  void SetManager(TGuideManagement* manager);
  void SetGuideIndex(int i);
  int GetGuideIndex() const { return GuideIndex; }
  void SetPosition(int p);
  int GetPosition() const { return Position; }
  void SetRelPos(double r);
  double GetRelPos() const { return RelPos; }
  // Only 0 (vertical) and 1 (horizontal) are taken.
  void SetOrientation(int t);
  int GetOrientation() const { return Orientation; }
  void SetMarginStart(int m);
  void SetMarginEnd(int m);
  // A lock that comes during a drag ends it where the guide is (it is not
  // deleted, even over a ruler: the release did not happen).
  void SetLocked(bool locked);
  bool GetLocked() const { return Locked; }
  void Layout();

  TBoundsRect Bounds() const { return Rect; }
  TCursorKind Cursor() const { return CursorKind; }
  bool Visible = true;
  TEvent OnBeginDrag;
  TEvent OnEndDrag;

  // Any button drags a guide. A guide released over a ruler (above or left
  // of the image area by more than 3 pixels) is deleted by its manager; the
  // guide must not be used after MouseUp then.
  void MouseDown(int x, int y);
  void MouseMove(int x, int y);
  void MouseUp(int x, int y);
  bool Dragging() const { return IsDragging; }

 private:
  void RelFromPosition();

  TPoint MouseDownPoint;
  TPoint PositionAtPress;
  bool IsDragging = false;
  TGuideManagement* Manager = nullptr;
  IControlParent* Parent = nullptr;
  int Orientation = kVertical;
  int Position = 0;
  double RelPos = 0;
  int MarginStart = 0, MarginEnd = 0;
  int GuideIndex = 0;
  TSize AreaSize{1, 1};
  TPoint Origin;
  bool Locked = false;
  TBoundsRect Rect;
  TCursorKind CursorKind = TCursorKind::Default;
};

}  // namespace kalvane
