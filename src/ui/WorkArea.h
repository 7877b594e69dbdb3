#pragma once

#include <QElapsedTimer>
#include <QEvent>
#include <QFrame>
#include <QPointF>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/Geometry.h"
#include "project/Commands.h"
#include "ui/ImageArea.h"
#include "ui/MouseTarget.h"
#include "ui/PhotoLevels.h"

namespace kalvane {
class TProjectDocument;
class TLayerItemObject;
}  // namespace kalvane

class QKeyEvent;
class QScrollBar;
class QRubberBand;

namespace kalvane::ui {

// The canvas: the work bitmap scaled to fit, at the top-left, rows and
// columns repeated or dropped (no smoothing), so the user sees the pixels
// the offsets are measured in. Zoomed, it shows a part of the canvas at a
// scale of the photos' own pixels; beyond the work bitmap's resolution the
// current photo itself is drawn (decoded off the GUI thread, once), and the
// monochrome view is made from the photos it shows.
class TCanvas : public QWidget {
  Q_OBJECT
 public:
  TCanvas(TProjectDocument& document, QWidget* parent);
  double CanvasScale() const { return canvasScale; }
  TSize DrawnSize() const { return {drawnWidth, drawnHeight}; }
  // Called with the new drawn size when it changes.
  std::function<void(int width, int height)> OnDrawnSizeChanged;

  // 0: fit, as the work area has always shown it; else screen pixels per
  // photo pixel.
  double Zoom() const { return zoom; }
  // Work pixels per photo pixel.
  double ItemScale() const;
  // The scale that fits the work bitmap into the canvas.
  double FitScale() const;
  // Screen pixels per work pixel as shown now.
  double ViewScale() const { return zoom > 0 ? zoom / ItemScale() : FitScale(); }
  // The work point at the canvas's top-left ((0, 0) at fit).
  QPointF ViewOrigin() const { return zoom > 0 ? origin : QPointF(); }
  // Sets the zoom (0 for fit) and the work point at the top-left, held so
  // the view stays on the work bitmap where it can.
  void SetView(double newZoom, QPointF newOrigin);
  QPointF ToWork(QPointF screen) const;
  QPointF ToScreen(QPointF work) const;
  // The size of the work bitmap (100 x 100 without items).
  QSize WorkSize() const;
  // Whether the last paint drew from the photos themselves (the current
  // one, or every one the monochrome view shows), all of it in view.
  bool DrewPhoto() const { return drewPhoto; }
  // The monochrome view is made from the photos' grey pieces when it shows
  // at most this many (a whole turn of 36 or 48); more would not stay in
  // the kept pieces.
  static constexpr std::size_t kSharpMonoItems = 48;
  TPhotoLevels Levels;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintZoomed(QPainter& painter);
  // Each true when every piece was there to draw.
  bool PaintPhoto(QPainter& painter);
  bool PaintMono(QPainter& painter);
  // `grey`: from the photos' grey pieces (the monochrome view's).
  bool DrawPhoto(QPainter& painter, const std::string& path, TPointF fine, bool grey = false);

  // What the monochrome view made from the photos shows.
  struct TMonoKey {
    struct TItem {
      std::string Path;
      TPointF Fine;
      bool operator==(const TItem&) const = default;
    };
    double Zoom = 0;
    QPointF Origin;
    QSize Size;
    qreal Ratio = 1;
    double Density = 0;
    int Rotation = 0;
    std::vector<TItem> Shown;  // the current item first
    bool operator==(const TMonoKey&) const = default;
  };
  static constexpr int kSettle = 120;  // ms

  TProjectDocument& Document;
  TMonoKey monoKey, lastMonoKey;
  QImage monoView;
  QElapsedTimer monoChanged;
  QTimer monoSettle;
  double canvasScale = 1.0;
  int drawnWidth = 0, drawnHeight = 0;
  double zoom = 0;
  QPointF origin;
  bool drewPhoto = false;
  QImage joined;  // the tiles in view put together, kept for the next paint
};

class TGuideTool;
class TBoxTool;

// The work area panel: the two rulers and their corner, the white frame,
// the canvas and the input layer above it, and above those the tools that
// show the trimming box and the guide lines and drag them.
class TWorkArea : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kOrigin = 28;
  // `view`: the window's view state, which the work area follows (and
  // whose zoom it keeps).
  TWorkArea(TProjectDocument& document, TViewState& view, QWidget* parent);

  // What the work area needs of the window.
  std::function<void(const QPoint&)> OnPopup;
  // A drag or an arrow key met the image lock.
  std::function<void()> OnLockedMove;

  // Image drag, the 40 ms timer and the arrow keys; each finished move is
  // one step of the document's history.
  void timDragTimer();
  // One screen pixel at the current zoom each (one work pixel at fit).
  void Nudge(int dx, int dy);
  // An image, a guide or the box is being dragged.
  bool Dragging() const;

  // Zoom and pan. The steps in screen pixels per photo pixel.
  static constexpr double kZoomSteps[] = {0.5, 0.75, 1, 1.5, 2, 3, 4, 6, 8};
  double Zoom() const { return pboxMain->Zoom(); }
  // A zoom (0 for fit) that keeps the work point under `about` (canvas
  // pixels) where it is.
  void SetZoom(double zoom, QPointF about);
  void ZoomIn(QPointF about);
  void ZoomOut(QPointF about);
  void ZoomIn() { ZoomIn(CanvasCentre()); }
  void ZoomOut() { ZoomOut(CanvasCentre()); }
  void ZoomFit() { SetZoom(0, CanvasCentre()); }
  void Zoom100() { SetZoom(1, CanvasCentre()); }
  // Moves the view by canvas pixels (the picture follows the pointer).
  void PanBy(QPointF screen);
  // Space held over the zoomed canvas: a left drag pans instead of moving
  // the item, a guide or the box. Whether the pointer is over it.
  void SetSpaceHeld(bool held);
  bool PointerOver() const;
  // Space is watched in the whole window from then on, wherever the focus
  // is (a field that takes text keeps its spaces).
  void WatchSpaceKey();
  // A key the window was left with: the arrows nudge the photo (Shift: ten
  // steps), Esc ends a region being picked. True when it was used up.
  bool WindowKey(const QKeyEvent& e);
  // A toggle of the view changed: the parts it shows and the locks the
  // tools read follow it.
  void ViewToggled(bool TViewState::*flag, bool on);
  // The status line: zoom, pointer and current offset in photo pixels,
  // and the size of the frames the box gives at the export width.
  std::function<void(const QString&)> OnStatus;
  QString StatusText() const;
  // Whether the arrow keys go to the item list (the photo before and
  // after) rather than nudging the photo on the canvas.
  std::function<bool()> KeysToList;
  // Photo pixels one press of an arrow key moves the photo by.
  double NudgeStep() const;
  void ShowStatus();
  // The width the next export will ask for (the export's first offer
  // without it).
  std::function<int()> OutputWidth;
  // The frame size an export at that width makes; empty without items or
  // with a box of no size.
  TSize OutputSize() const;
  // The box and the guides placed again from the document and the view.
  void SyncControls();
  // Whether the box and the guides show (the window's rule: items, and
  // their show toggles); the preview hides them itself.
  void ShowBox(bool shown);
  void ShowGuides(bool shown);
  // Where the image area lies on the panel now.
  const TImageArea& ImageArea() const { return area; }
  TBoxTool& BoxTool() { return *boxTool; }
  TGuideTool& GuideTool() { return *guideTool; }
  // The next left drag over the canvas draws a rectangle instead of moving
  // the photo; `picked` gets it as fractions of the work bitmap (left,
  // top, right, bottom). CancelPick (Esc) ends it without a call.
  using TPicked = std::function<void(double, double, double, double)>;
  void PickRegion(TPicked picked);
  void CancelPick();
  bool Picking() const { return static_cast<bool>(regionPicked); }

  TCanvas* pboxMain = nullptr;
  TMouseTarget* pboxDrag = nullptr;
  TMouseTarget* shpHoGuide = nullptr;
  TMouseTarget* shpVerGuide = nullptr;
  QTimer timDrag;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DragPress(QMouseEvent& e);
  // The rectangle drawn for PickRegion, in the drag target's pixels.
  TPicked regionPicked;
  QRubberBand* regionBand = nullptr;
  QPoint regionStart;
  void DragMove(QMouseEvent& e);
  void DragRelease(QMouseEvent& e);
  bool Wheel(QWheelEvent& e);
  // Where a drag puts the dragged item: the one place a drag hands an
  // offset to the document.
  void MoveItem(std::uint64_t id, TPointF fine);
  QPointF CanvasCentre() const;
  void LayoutCanvas();
  void PaintRuler(QPainter& painter, bool horizontal);

 public:
  // The box, guides, rulers, scroll bars and status placed for the view
  // as it is (after a zoom, a pan, or a change of the items).
  void ViewChanged();

 private:
  // The image area at `origin`, `size` (a size of 0 keeps that side).
  void SetImageArea(QPoint origin, QSize size);

  TProjectDocument& Document;
  TViewState& View;
  QFrame* shpDummy = nullptr;
  QFrame* shpMain = nullptr;
  QScrollBar* scrWorkH = nullptr;
  QScrollBar* scrWorkV = nullptr;
  QPoint dragStartMouse;
  TPoint dragStartOffset;
  TPointF dragStartFine, dragFine;
  std::uint64_t dragItem = 0;  // the id of the item dragged
  bool panning = false, spaceHeld = false;
  QPointF panLast, pointer{-1, -1};
  bool dragging = false;
  bool dragMoved = false;
  TImageArea area;
  TGuideTool* guideTool = nullptr;
  TBoxTool* boxTool = nullptr;
};

}  // namespace kalvane::ui
