#include "document/GuideShape.h"

#include <algorithm>
#include <cmath>

#include "base/Round.h"
#include "document/GuideManagement.h"

namespace kalvane {

void TGuideShape::SetAreaSize(int w, int h) {
  if (w > 0) AreaSize.Width = w;
  if (h > 0) AreaSize.Height = h;
  Layout();
}

void TGuideShape::SetOrigin(int x, int y) {
  Origin = {x, y};
  Layout();
}

void TGuideShape::SetManager(TGuideManagement* manager) {
  if (manager) Manager = manager;
}

void TGuideShape::SetGuideIndex(int i) {
  if (i >= 0) GuideIndex = i;
}

void TGuideShape::RelFromPosition() {
  RelPos = Orientation == kHorizontal ? static_cast<double>(Position - Origin.Y) / AreaSize.Height
                                      : static_cast<double>(Position - Origin.X) / AreaSize.Width;
}

void TGuideShape::SetPosition(int p) {
  Position = p;
  RelFromPosition();
  Layout();
}

void TGuideShape::SetRelPos(double r) {
  // Whatever a file holds: a place that is not a number is the middle, and
  // far-away places are kept within reach of int arithmetic.
  RelPos = std::isfinite(r) ? std::clamp(r, -100.0, 100.0) : 0.5;
  Layout();
}

void TGuideShape::SetOrientation(int t) {
  if (t != kHorizontal && t != kVertical) return;
  Orientation = t;
  Layout();
}

void TGuideShape::SetMarginStart(int m) {
  MarginStart = m;
  Layout();
}

void TGuideShape::SetMarginEnd(int m) {
  MarginEnd = m;
  Layout();
}

void TGuideShape::Layout() {
  if (!Parent) return;
  Rect.Width = Rect.Height = 0;
  Position = Orientation == kHorizontal ? RoundInt(AreaSize.Height * RelPos) + Origin.Y
                                        : RoundInt(RelPos * AreaSize.Width) + Origin.X;
  const TSize client = Parent->ClientSize();
  if (Orientation == kHorizontal) {
    CursorKind = TCursorKind::SplitVertical;
    Rect = {MarginStart, Position, client.Width - MarginStart - MarginEnd, 1};
  } else {
    CursorKind = TCursorKind::SplitHorizontal;
    Rect = {Position, MarginStart, 1, client.Height - MarginStart - MarginEnd};
  }
}

void TGuideShape::SetLocked(bool locked) {
  if (locked && IsDragging) {
    IsDragging = false;
    if (OnEndDrag) OnEndDrag(*this);
  }
  Locked = locked;
}

void TGuideShape::MouseDown(int x, int y) {
  if (Locked) return;
  if (OnBeginDrag) OnBeginDrag(*this);
  MouseDownPoint = {x + Rect.Left, y + Rect.Top};
  PositionAtPress = {Rect.Left, Rect.Top};
  IsDragging = true;
}

void TGuideShape::MouseMove(int x, int y) {
  if (Locked || !IsDragging || !Parent) return;
  const TSize client = Parent->ClientSize();
  if (Orientation == kHorizontal) {
    const int p = y + Rect.Top + PositionAtPress.Y - MouseDownPoint.Y;
    Position = std::min(std::max(p, Rect.Height), client.Height - Rect.Height);
  } else {
    const int p = x + Rect.Left + PositionAtPress.X - MouseDownPoint.X;
    Position = std::min(std::max(p, Rect.Width), client.Width - Rect.Width);
  }
  RelFromPosition();
  Layout();
}

void TGuideShape::MouseUp(int, int) {
  if (Locked) return;
  if (IsDragging && OnEndDrag) OnEndDrag(*this);
  IsDragging = false;
  if (Manager && (Rect.Top < Origin.Y - 3 || Rect.Left < Origin.X - 3)) {
    Manager->Delete(GuideIndex);  // destroys this guide: nothing may follow
  }
}

}  // namespace kalvane
