#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <array>

#include "document/BandManagement.h"
#include "ui/ImageArea.h"

class QMouseEvent;
class QWidget;

namespace kalvane {
class TProjectDocument;
struct TViewState;
}  // namespace kalvane

namespace kalvane::ui {

class TMouseTarget;

// The box in panel pixels: left, top, right, bottom.
struct TScreenBox {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool operator==(const TScreenBox&) const = default;
};

// The trimming box on the work area: its edges, the shades outside it while
// the preview plays, the four corner handles (CornerItem0 top-left ..
// CornerItem3 bottom-left) and the handle below it that moves it whole
// (MoveHandle). A handle follows the pointer on a repeat timer; each tick
// shows the box at its new place in the document, and the release sets it
// there as one step from where the drag began.
class TBoxTool : public QObject {
  Q_OBJECT
 public:
  static constexpr int kRepeatMs = 30;
  static constexpr int kMoveHandle = 4;

  TBoxTool(TProjectDocument& document, const TViewState& view, QWidget* panel);
  void SetArea(const TImageArea& area) { Area = area; }
  // Shown by the window (items and the show toggle); hidden, and the
  // outside shaded, while the preview plays.
  void SetShown(bool shown) { Shown = shown; }
  // The box as the document has it, on this area.
  TScreenBox ScreenBox() const;
  // The widgets placed; a lock that came during a drag ends it as a release
  // would.
  void Sync();
  bool Dragging() const { return Handle >= 0; }
  // The repeat timer's work: the box follows the pointer.
  void Tick();

 private:
  // Handle `i`'s top-left on the box `b`.
  static QPoint HandlePlace(int i, const TScreenBox& b);
  static QSize HandleSize(int i);
  TRelBox RelOf(const TScreenBox& b) const;
  // Where handle `i` may go, on the box as it is.
  QPoint Constrain(int i, QPoint p) const;
  // The box with the dragged handle at `place`.
  TScreenBox Moved(QPoint place) const;
  void Press(int i, QWidget* handle, QMouseEvent& e);
  void Move(QWidget* handle, QMouseEvent& e);
  void Release(QMouseEvent& e);
  void Finish();

  TProjectDocument& Document;
  const TViewState& View;
  QWidget* Panel = nullptr;
  TImageArea Area;
  bool Shown = true;
  std::array<QWidget*, 4> Shades{};
  std::array<QWidget*, 4> Edges{};
  std::array<TMouseTarget*, 5> Handles{};
  QTimer Repeat;
  int Handle = -1;  // the one dragged
  QPoint PressPointer, PressPlace, Target;
  TRelBox Before;  // the box when the drag began
};

}  // namespace kalvane::ui
