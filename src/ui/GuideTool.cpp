#include "ui/GuideTool.h"

#include <QColor>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>

#include "project/Commands.h"
#include "project/ProjectDocument.h"
#include "ui/MouseTarget.h"

namespace kalvane::ui {

namespace {

const QColor kGuideColour(0, 160, 230);

bool IsHorizontal(int orientation) {
  return orientation == TGuideShape::kHorizontal;
}

}  // namespace

TGuideTool::TGuideTool(TProjectDocument& document, const TViewState& view, QWidget* panel,
                       TMouseTarget* topRuler, TMouseTarget* leftRuler)
    : QObject(panel), Document(document), View(view), Panel(panel) {
  // The ruler keeps the pointer while the button is held, and so the drag
  // of the new guide.
  for (TMouseTarget* ruler : {topRuler, leftRuler}) {
    const int orientation = ruler == topRuler ? TGuideShape::kHorizontal : TGuideShape::kVertical;
    ruler->OnPress = [this, ruler, orientation](QMouseEvent& e) {
      RulerPress(orientation, ruler, e);
    };
    ruler->OnMove = [this, ruler](QMouseEvent& e) { RulerMove(ruler, e); };
    ruler->OnRelease = [this, ruler](QMouseEvent& e) { RulerRelease(ruler, e); };
  }
}

bool TGuideTool::Locked() const {
  return View.GuidesLocked;
}

int TGuideTool::Along(int orientation, QWidget* from, const QMouseEvent& e) const {
  const QPoint p = from->mapTo(Panel, e.position().toPoint());
  return IsHorizontal(orientation) ? p.y() : p.x();
}

int TGuideTool::Clamp(int orientation, int position) const {
  const int extent = IsHorizontal(orientation) ? Panel->height() : Panel->width();
  return std::min(std::max(position, 1), extent - 1);
}

bool TGuideTool::OverRuler(int orientation, int position) const {
  return position < (IsHorizontal(orientation) ? Area.Origin.y() : Area.Origin.x()) - 3;
}

double TGuideTool::RelOf(int orientation, int position) const {
  return IsHorizontal(orientation) ? Area.RelY(position) : Area.RelX(position);
}

std::vector<TGuideTool::TLine> TGuideTool::Lines() const {
  std::vector<TLine> lines;
  for (const TGuideShape& guide : Document.GuideLines().Lines()) {
    const int at = guide.Horizontal() ? Area.Y(guide.GetRelPos()) : Area.X(guide.GetRelPos());
    lines.push_back({guide.GetOrientation(), at});
  }
  if (Drag.Active && Drag.Index < 0) lines.push_back({Drag.Orientation, Drag.Position});
  if (Drag.Active && Drag.Index >= 0 && Drag.Index < static_cast<int>(lines.size()))
    lines[static_cast<std::size_t>(Drag.Index)].Position = Drag.Position;
  return lines;
}

QRect TGuideTool::LineRect(const TLine& line) const {
  if (IsHorizontal(line.Orientation)) {
    return {kMarginStart, line.Position, Panel->width() - kMarginStart - kMarginEnd, 1};
  }
  return {line.Position, kMarginStart, 1, Panel->height() - kMarginStart - kMarginEnd};
}

TMouseTarget* TGuideTool::MakeLine(int index) {
  auto* w = new TMouseTarget(Panel);
  w->setObjectName(QString("guide%1").arg(index));
  w->OnPress = [this, index, w](QMouseEvent& e) { LinePress(index, w, e); };
  w->OnMove = [this, w](QMouseEvent& e) { LineMove(w, e); };
  w->OnRelease = [this](QMouseEvent&) { LineRelease(); };
  w->OnPaint = [w](QPainter& painter) {
    painter.setPen(QPen(kGuideColour, 1));
    if (w->width() > w->height()) {
      painter.drawLine(0, kGrab, w->width(), kGrab);
    } else {
      painter.drawLine(kGrab, 0, kGrab, w->height());
    }
  };
  return w;
}

void TGuideTool::Sync() {
  if (Drag.Active && Locked()) return Finish(false);
  const std::vector<TLine> lines = Lines();
  // Widgets of guides that went are hidden and freed later: one of them
  // may be handling the release that deleted its guide.
  while (LineWidgets.size() > lines.size()) {
    LineWidgets.back()->hide();
    LineWidgets.back()->setObjectName(QString());
    LineWidgets.back()->deleteLater();
    LineWidgets.pop_back();
  }
  while (LineWidgets.size() < lines.size())
    LineWidgets.push_back(MakeLine(static_cast<int>(LineWidgets.size())));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const TLine& line = lines[i];
    TMouseTarget* w = LineWidgets[i];
    const QRect rect = LineRect(line);
    const bool horizontal = IsHorizontal(line.Orientation);
    w->setGeometry(horizontal ? rect.adjusted(0, -kGrab, 0, kGrab)
                              : rect.adjusted(-kGrab, 0, kGrab, 0));
    const QRect clip = Area.Clip;
    const QPoint centre = rect.center();
    const bool onCanvas =
        clip.isEmpty() ||
        (horizontal ? centre.y() >= clip.top() && centre.y() < clip.top() + clip.height()
                    : centre.x() >= clip.left() && centre.x() < clip.left() + clip.width());
    w->setVisible(Shown && !View.Previewing && onCanvas);
    w->setCursor(horizontal ? Qt::SplitVCursor : Qt::SplitHCursor);
    w->raise();
  }
}

// ---- a guide on the canvas: any button drags it -------------------------------

void TGuideTool::LinePress(int index, QWidget* line, QMouseEvent& e) {
  const TGuideShape* guide = Document.GuideLines().GetGuide(index);
  if (Locked() || Drag.Active || !guide) return;
  const int at = guide->Horizontal() ? Area.Y(guide->GetRelPos()) : Area.X(guide->GetRelPos());
  Drag = {true, index, guide->GetOrientation(), at, Along(guide->GetOrientation(), line, e), at, 0};
  Sync();
}

void TGuideTool::LineMove(QWidget* line, QMouseEvent& e) {
  if (!Drag.Active || Drag.Index < 0 || Locked()) return;
  const int pointer = Along(Drag.Orientation, line, e);
  Drag.Position = Clamp(Drag.Orientation, pointer - Drag.PressPointer + Drag.PressPosition);
  Sync();
}

void TGuideTool::LineRelease() {
  if (!Drag.Active || Drag.Index < 0 || Locked()) return;
  Finish(OverRuler(Drag.Orientation, Drag.Position));
}

// ---- a new guide out of a ruler: the left button, guides shown and free --------

void TGuideTool::RulerPress(int orientation, TMouseTarget* ruler, QMouseEvent& e) {
  if (e.button() != Qt::LeftButton || !Shown || View.Previewing || Locked() || Drag.Active) {
    return;
  }
  const int at = Along(orientation, ruler, e);
  Drag = {true, -1, orientation, at, at, at, at};
  ruler->setCursor(IsHorizontal(orientation) ? Qt::SplitVCursor : Qt::SplitHCursor);
  Sync();
}

void TGuideTool::RulerMove(TMouseTarget* ruler, QMouseEvent& e) {
  if (!(e.buttons() & Qt::LeftButton) || !Drag.Active || Drag.Index >= 0 || Locked()) return;
  // Step by step from where the guide is, held at each step.
  const int at = Along(Drag.Orientation, ruler, e);
  Drag.Position = Clamp(Drag.Orientation, Drag.Position + at - Drag.RulerLast);
  Drag.RulerLast = at;
  Sync();
}

void TGuideTool::RulerRelease(TMouseTarget* ruler, QMouseEvent& e) {
  if (e.button() != Qt::LeftButton) return;
  ruler->unsetCursor();
  if (Drag.Active && Drag.Index < 0 && !Locked())
    Finish(OverRuler(Drag.Orientation, Drag.Position));
}

void TGuideTool::Finish(bool dropped) {
  const TDrag drag = Drag;
  Drag = {};
  const double rel = RelOf(drag.Orientation, drag.Position);
  if (drag.Index < 0) {
    if (!dropped) Document.AddGuide(drag.Orientation, rel);
  } else if (dropped) {
    Document.DeleteGuide(drag.Index);
  } else {
    Document.MoveGuide(drag.Index, rel);
  }
  Sync();
}

}  // namespace kalvane::ui
