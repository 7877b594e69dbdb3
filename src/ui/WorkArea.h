#pragma once

#include <QWidget>

#include "document/Geometry.h"

class QFrame;

namespace kalvane {
class TProjectDocument;
}

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

// The work area panel: the two rulers and their corner, the white frame,
// the canvas and the input layer above it. The guides and the trimming
// box lie on this panel with their origin at the canvas's top-left.
class TWorkArea : public QWidget, public IControlParent {
  Q_OBJECT
 public:
  static constexpr int kOrigin = 28;
  TWorkArea(TProjectDocument& document, QWidget* parent);
  TSize ClientSize() const override { return {width(), height()}; }
  TCanvas* pboxMain;
  QWidget* pboxDrag;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QFrame* shpDummy;
  QFrame* shpHoGuide;
  QFrame* shpVerGuide;
  QFrame* shpMain;
};

}  // namespace kalvane::ui
