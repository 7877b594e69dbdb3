#pragma once

#include <functional>
#include <string>

#include "document/Geometry.h"

namespace kalvane {

class TBandManagement;

enum class TCursorKind { Default, SizeNWSE, SizeNESW, Hand, SplitVertical, SplitHorizontal };

// A handle of the trimming box (a corner, or the move handle below): its
// place and its drag state machine. The widget draws it, forwards mouse
// events in its own coordinates, and runs a repeat timer of kRepeatMs while
// TimerActive() holds, calling TimerTick() on each tick.
class TBandCorner {
 public:
  static constexpr int kRepeatMs = 30;
  using TEvent = std::function<void(TBandCorner& sender)>;

  TBandCorner(TBandManagement* owner, std::string name, int width = 8, int height = 8);
  virtual ~TBandCorner() = default;

  const std::string& Name() const { return ControlName; }
  TBoundsRect Bounds() const { return {Left, Top, Width, Height}; }
  int GetLeft() const { return Left; }
  int GetTop() const { return Top; }
  void SetPosition(int left, int top) {
    Left = left;
    Top = top;
  }
  // Left = x - Round(width / 2), top likewise.
  void CentreOn(int x, int y);
  TPoint Centre() const;

  bool Visible = true;
  TCursorKind Cursor = TCursorKind::Default;
  // A lock that comes during a drag ends it, as a release would.
  void SetLocked(bool locked);
  bool GetLocked() const { return Locked; }
  void SetBoundsOrigin(TPoint origin) { BoundsOrigin = origin; }
  void SetBoundsSize(TSize size) { BoundsSize = size; }

  TEvent OnHandleDown;
  TEvent OnHandleMoving;
  TEvent OnHandleUp;

  void MouseDown(TMouseButton button, int x, int y);
  void MouseMove(int x, int y);
  void TimerTick();
  void MouseUp(TMouseButton button, int x, int y);
  bool Dragging() const { return IsDragging; }
  bool TimerActive() const { return TimerOn; }

  // Limits a proposed top-left position.
  virtual TPoint Constrain(TPoint p) const;

 protected:
  TBandManagement* Owner = nullptr;
  TPoint BoundsOrigin;
  TSize BoundsSize;

 private:
  std::string ControlName;
  int Left = 0, Top = 0, Width, Height;
  TPoint MouseDownPoint;
  TPoint PositionAtPress;
  bool TimerOn = false;
  bool IsDragging = false;
  TPoint TargetPos;
  bool Locked = false;
};

// The 26 x 10 handle that moves the whole box.
class TBandLabel : public TBandCorner {
 public:
  explicit TBandLabel(TBandManagement* owner) : TBandCorner(owner, "MoveHandle", 26, 10) {
    Cursor = TCursorKind::Hand;
  }
  TPoint Constrain(TPoint p) const override;
};

}  // namespace kalvane
