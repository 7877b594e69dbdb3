#pragma once

#include <QEvent>
#include <QFrame>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "document/Geometry.h"

namespace kalvane {
class TProjectDocument;
class TBandCorner;
}  // namespace kalvane

namespace kalvane::ui {

// The canvas: the work bitmap scaled to fit, at the top-left, rows and
// columns repeated or dropped (no smoothing), so the user sees the pixels
// the offsets are measured in.
class TCanvas : public QWidget {
  Q_OBJECT
 public:
  TCanvas(TProjectDocument& document, QWidget* parent);
  double CanvasScale() const { return canvasScale; }
  TSize DrawnSize() const { return {drawnWidth, drawnHeight}; }
  // Called with the new drawn size when it changes.
  std::function<void(int width, int height)> OnDrawnSizeChanged;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TProjectDocument& Document;
  double canvasScale = 1.0;
  int drawnWidth = 0, drawnHeight = 0;
};

// A widget that hands its mouse events to the work area.
class TMouseTarget : public QFrame {
  Q_OBJECT
 public:
  using THandler = std::function<void(QMouseEvent&)>;
  explicit TMouseTarget(QWidget* parent) : QFrame(parent) {}
  THandler OnPress, OnMove, OnRelease;
  std::function<void(QPainter&)> OnPaint;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
};

// The work area panel: the two rulers and their corner, the white frame,
// the canvas and the input layer above it, and above those the trimming
// box and the guide lines, each a widget over its model's rectangle.
class TWorkArea : public QWidget, public IControlParent {
  Q_OBJECT
 public:
  static constexpr int kOrigin = 28;
  TWorkArea(TProjectDocument& document, QWidget* parent);
  TSize ClientSize() const override { return {width(), height()}; }

  // What the work area needs of the window.
  std::function<bool()> ImageLocked;
  std::function<bool()> PreviewIdle = [] { return true; };
  std::function<void(const QPoint&)> OnPopup;
  // A drag or an arrow key met the image lock.
  std::function<void()> OnLockedMove;

  // Image drag, the 40 ms timer and the arrow keys; each finished move is
  // one step of the document's history.
  void timDragTimer();
  void Nudge(int dx, int dy);
  bool Dragging() const { return dragging; }
  // The box and the guides placed again from their models.
  void SyncControls();

  TCanvas* pboxMain = nullptr;
  TMouseTarget* pboxDrag = nullptr;
  TMouseTarget* shpHoGuide = nullptr;
  TMouseTarget* shpVerGuide = nullptr;
  QTimer timDrag;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void DragPress(QMouseEvent& e);
  void DragMove(QMouseEvent& e);
  void DragRelease(QMouseEvent& e);
  void BuildBox();
  void SyncGuides();
  void SyncBox();
  void CornerEvent(TBandCorner& corner, QMouseEvent& e, QEvent::Type type);

  TProjectDocument& Document;
  QFrame* shpDummy = nullptr;
  QFrame* shpMain = nullptr;
  QPoint dragStartMouse;
  TPoint dragStartOffset, dragOffset;
  std::uint64_t dragItem = 0;  // the id of the item dragged
  bool dragging = false;
  bool dragMoved = false;
  std::vector<TMouseTarget*> guideWidgets;
  std::vector<QWidget*> edgeWidgets, shadeWidgets;
  std::vector<TMouseTarget*> cornerWidgets;  // four corners, then the move handle
  std::vector<QTimer*> cornerTimers;
  TSize lastProposed;
};

}  // namespace kalvane::ui
