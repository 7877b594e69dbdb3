#include "document/BandCorner.h"

#include <algorithm>

#include "base/Round.h"
#include "document/BandManagement.h"

namespace kalvane {

TBandCorner::TBandCorner(TBandManagement* owner, std::string name, int width, int height)
    : Owner(owner), ControlName(std::move(name)), Width(width), Height(height) {}

void TBandCorner::CentreOn(int x, int y) {
  Left = x - RoundInt(Width * 0.5);
  Top = y - RoundInt(Height * 0.5);
}

TPoint TBandCorner::Centre() const {
  return {Left + RoundInt(Width * 0.5), Top + RoundInt(Height * 0.5)};
}

void TBandCorner::SetLocked(bool locked) {
  if (locked && IsDragging) {
    if (OnHandleUp) OnHandleUp(*this);
    IsDragging = false;
    TimerOn = false;
  }
  Locked = locked;
}

void TBandCorner::MouseDown(TMouseButton button, int x, int y) {
  if (button != TMouseButton::Left || Locked) return;
  MouseDownPoint = {x + Left, y + Top};
  PositionAtPress = {Left, Top};
  IsDragging = true;
  TimerOn = true;
  TargetPos = {Left, Top};
  if (OnHandleDown) OnHandleDown(*this);
}

void TBandCorner::MouseMove(int x, int y) {
  if (!IsDragging || Locked) return;
  TargetPos = Constrain({PositionAtPress.X + (x + Left - MouseDownPoint.X),
                         PositionAtPress.Y + (y + Top - MouseDownPoint.Y)});
}

void TBandCorner::TimerTick() {
  if (!IsDragging || Locked || !OnHandleMoving) return;
  SetPosition(TargetPos.X, TargetPos.Y);
  OnHandleMoving(*this);
}

void TBandCorner::MouseUp(TMouseButton button, int, int) {
  if (button != TMouseButton::Left || !IsDragging || Locked) return;
  if (OnHandleUp) OnHandleUp(*this);
  IsDragging = false;
  TimerOn = false;
}

TPoint TBandCorner::Constrain(TPoint p) const {
  const int ox = BoundsOrigin.X, oy = BoundsOrigin.Y;
  const int aw = BoundsSize.Width, ah = BoundsSize.Height;
  p.X = std::max(p.X, ox + 5);
  p.X = std::min(p.X, ox + aw - 8 - 5);
  p.Y = std::max(p.Y, oy + 5);
  p.Y = std::min(p.Y, oy + ah - 8 - 11);
  if (!Owner) return p;
  // The box never gets smaller than about 60 pixels between corner centres.
  const TScreenBox box = Owner->GetScreenBox();
  const std::string& n = Name();
  if (n == "CornerItem0" || n == "CornerItem3") p.X = std::min(p.X, box.x2 - 60);
  if (n == "CornerItem1" || n == "CornerItem2") p.X = std::max(p.X, box.x1 + 60);
  if (n == "CornerItem0" || n == "CornerItem1") p.Y = std::min(p.Y, box.y2 - 60);
  if (n == "CornerItem2" || n == "CornerItem3") p.Y = std::max(p.Y, box.y1 + 60);
  return p;
}

TPoint TBandLabel::Constrain(TPoint p) const {
  p.X = std::min(p.X, BoundsOrigin.X + BoundsSize.Width - 26 - 17);
  p.Y = std::min(p.Y, BoundsOrigin.Y + BoundsSize.Height - 10 - 4);
  return p;
}

}  // namespace kalvane
