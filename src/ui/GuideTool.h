#pragma once

#include <QObject>
#include <QRect>
#include <vector>

#include "ui/ImageArea.h"

class QMouseEvent;
class QWidget;

namespace kalvane {
class TProjectDocument;
struct TViewState;
}  // namespace kalvane

namespace kalvane::ui {

class TMouseTarget;

// The guide lines on the work area: a line widget for each guide of the
// document, new guides pulled out of the two rulers, and the drags that
// move a guide or drop it onto a ruler. While a drag runs only this tool
// knows where the guide is; its end is one operation of the document.
class TGuideTool : public QObject {
  Q_OBJECT
 public:
  // The line reaches this many pixels either side of the guide, which is
  // hard to catch at one pixel.
  static constexpr int kGrab = 3;
  // Where the lines start and end across the panel.
  static constexpr int kMarginStart = 25;
  static constexpr int kMarginEnd = 5;

  // `topRuler` pulls horizontal guides, `leftRuler` vertical ones.
  TGuideTool(TProjectDocument& document, const TViewState& view, QWidget* panel,
             TMouseTarget* topRuler, TMouseTarget* leftRuler);
  void SetArea(const TImageArea& area) { Area = area; }
  const TImageArea& GetArea() const { return Area; }
  // Shown by the window (items and the show toggle); hidden while the
  // preview plays.
  void SetShown(bool shown) { Shown = shown; }
  // The line widgets placed from the document and the drag; a lock that
  // came during a drag ends it where the guide is (not deleted, even over
  // a ruler: the release did not happen).
  void Sync();
  bool Dragging() const { return Drag.Active; }

 private:
  struct TDrag {
    bool Active = false;
    int Index = -1;  // the document's guide; -1 for one pulled from a ruler
    int Orientation = 0;
    int Position = 0;  // along the panel's axis across the line
    int PressPointer = 0, PressPosition = 0;
    int RulerLast = 0;
  };
  struct TLine {
    int Orientation = 0;
    int Position = 0;
  };

  bool Locked() const;
  std::vector<TLine> Lines() const;
  // The limits of a dragged guide: the panel less the line's own pixel.
  int Clamp(int orientation, int position) const;
  bool OverRuler(int orientation, int position) const;
  double RelOf(int orientation, int position) const;
  QRect LineRect(const TLine& line) const;
  TMouseTarget* MakeLine(int index);
  // The pointer along the axis across a line of `orientation`, in panel
  // pixels.
  int Along(int orientation, QWidget* from, const QMouseEvent& e) const;
  void LinePress(int index, QWidget* line, QMouseEvent& e);
  void LineMove(QWidget* line, QMouseEvent& e);
  void LineRelease();
  void RulerPress(int orientation, TMouseTarget* ruler, QMouseEvent& e);
  void RulerMove(TMouseTarget* ruler, QMouseEvent& e);
  void RulerRelease(TMouseTarget* ruler, QMouseEvent& e);
  // `dropped`: released over a ruler.
  void Finish(bool dropped);

  TProjectDocument& Document;
  const TViewState& View;
  QWidget* Panel = nullptr;
  TImageArea Area;
  bool Shown = true;
  TDrag Drag;
  std::vector<TMouseTarget*> LineWidgets;
};

}  // namespace kalvane::ui
