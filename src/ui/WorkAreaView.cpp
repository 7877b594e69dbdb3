// The work area's view: zoom, pan, the rulers' scale and the status line.
#include "ui/WorkArea.h"

#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "base/Round.h"
#include "export/FramePlanner.h"
#include "export/LayerToSwf.h"
#include "project/ProjectDocument.h"

namespace kalvane::ui {

// ---- zoom and pan ---------------------------------------------------------------

QPointF TWorkArea::CanvasCentre() const {
  return {pboxMain->width() / 2.0, pboxMain->height() / 2.0};
}

void TWorkArea::SetZoom(double zoom, QPointF about) {
  if (zoom > 0) zoom = std::clamp(zoom, kZoomSteps[0], kZoomSteps[std::size(kZoomSteps) - 1]);
  const QPointF fixed = pboxMain->ToWork(about);
  const bool bars = (zoom > 0) != (Zoom() > 0);
  pboxMain->SetView(zoom, {});
  if (bars) LayoutCanvas();
  // The work point under `about` stays there.
  const double k = pboxMain->ViewScale();
  pboxMain->SetView(zoom, fixed - about / k);
  View.Zoom = pboxMain->Zoom();
  ViewChanged();
}

void TWorkArea::ZoomIn(QPointF about) {
  const double now = Zoom() > 0 ? Zoom() : pboxMain->FitScale() * pboxMain->ItemScale();
  for (const double step : kZoomSteps) {
    if (step > now * 1.0001) return SetZoom(step, about);
  }
}

void TWorkArea::ZoomOut(QPointF about) {
  if (Zoom() <= 0) return;
  const double fit = pboxMain->FitScale() * pboxMain->ItemScale();
  for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it) {
    // Below the fit, the fit itself.
    if (*it < Zoom() * 0.9999) return SetZoom(*it <= fit ? 0 : *it, about);
  }
  SetZoom(0, about);
}

void TWorkArea::PanBy(QPointF screen) {
  if (Zoom() <= 0) return;
  pboxMain->SetView(Zoom(), pboxMain->ViewOrigin() - screen / pboxMain->ViewScale());
  ViewChanged();
}

bool TWorkArea::Wheel(QWheelEvent& e) {
  // The plain wheel keeps turning the item list (the window's rule).
  if (!(e.modifiers() & Qt::ControlModifier) || e.angleDelta().y() == 0) return false;
  if (e.angleDelta().y() > 0) {
    ZoomIn(e.position());
  } else {
    ZoomOut(e.position());
  }
  return true;
}

void TWorkArea::ViewChanged() {
  const double k = pboxMain->ViewScale();
  const QSize work = pboxMain->WorkSize();
  const int w = RoundInt(work.width() * k), h = RoundInt(work.height() * k);
  if (Zoom() > 0) {
    const QPointF origin = pboxMain->ViewOrigin() * k;
    SetImageArea({kOrigin - RoundInt(origin.x()), kOrigin - RoundInt(origin.y())}, {w, h});
    for (QScrollBar* bar : {scrWorkH, scrWorkV}) {
      const bool horizontal = bar == scrWorkH;
      const QSignalBlocker hold(bar);
      const int extent = horizontal ? w : h;
      const int page = horizontal ? pboxMain->width() : pboxMain->height();
      bar->setRange(0, std::max(0, extent - page));
      bar->setPageStep(page);
      bar->setSingleStep(std::max(page / 20, 1));
      bar->setValue(RoundInt(horizontal ? origin.x() : origin.y()));
    }
  } else {
    SetImageArea({kOrigin, kOrigin}, {w, h});
  }
  SyncControls();
  shpHoGuide->update();
  shpVerGuide->update();
  pboxMain->update();
  ShowStatus();
}

// ---- rulers and status --------------------------------------------------------

void TWorkArea::PaintRuler(QPainter& painter, bool horizontal) {
  // Canvas positions in photo pixels of the work canvas, whatever the zoom.
  const double perPhoto = pboxMain->ViewScale() * pboxMain->ItemScale();  // screen px
  if (!(perPhoto > 0)) return;
  // A tick at least every 60 screen pixels, at 1, 2 or 5 times a power of ten.
  double step = 1;
  while (step * perPhoto < 60) {
    const double next[] = {step * 2, step * 5, step * 10};
    for (const double n : next) {
      if (n * perPhoto >= 60 || n == step * 10) {
        step = n;
        break;
      }
    }
  }
  QWidget* ruler = horizontal ? static_cast<QWidget*>(shpHoGuide) : shpVerGuide;
  // The ruler's own position of canvas position 0.
  const int canvasAt = horizontal ? kOrigin - ruler->x() : kOrigin - ruler->y();
  const double firstPhoto = (horizontal ? pboxMain->ViewOrigin().x() : pboxMain->ViewOrigin().y()) /
                            pboxMain->ItemScale();
  const int length = horizontal ? ruler->width() : ruler->height();
  const int across = horizontal ? ruler->height() : ruler->width();
  painter.setPen(QColor(60, 80, 110));
  QFont font = painter.font();
  font.setPixelSize(9);
  painter.setFont(font);
  for (double v = std::floor(firstPhoto / step) * step;; v += step) {
    const double at = canvasAt + (v - firstPhoto) * perPhoto;
    if (at > length) break;
    if (at < canvasAt) continue;
    const int p = RoundInt(at);
    if (horizontal) {
      painter.drawLine(p, across - 6, p, across);
      painter.drawText(p + 2, across - 8, QString::number(v, 'f', 0));
    } else {
      painter.drawLine(across - 6, p, across, p);
      painter.save();
      painter.translate(across - 8, p + 2);
      painter.rotate(-90);
      painter.drawText(-30, 0, 30, 10, Qt::AlignRight, QString::number(v, 'f', 0));
      painter.restore();
    }
  }
}

QString TWorkArea::StatusText() const {
  const double s = pboxMain->ItemScale();
  const double zoom = Zoom() > 0 ? Zoom() : pboxMain->FitScale() * s;
  QString text = QString::fromUtf8(Zoom() > 0 ? "ズーム %1 %" : "全体表示 (%1 %)")
                     .arg(zoom * 100, 0, 'f', zoom * 100 < 10 ? 1 : 0);
  if (pointer.x() >= 0) {
    const QPointF at = pboxMain->ToWork(pointer) / s;
    text += QString::fromUtf8("   位置 %1, %2").arg(at.x(), 0, 'f', 1).arg(at.y(), 0, 'f', 1);
  }
  if (const TLayerItemObject* current = Document.LayerItems().GetSelected()) {
    const TPointF f = current->GetFineOffset();
    text += QString::fromUtf8("   オフセット %1, %2").arg(f.X, 0, 'f', 2).arg(f.Y, 0, 'f', 2);
  }
  const TSize out = OutputSize();
  text += out.Width > 0 ? QString::fromUtf8("   出力 %1 × %2 px").arg(out.Width).arg(out.Height)
                        : QString::fromUtf8("   出力 -");
  // Where the arrow keys go, so a press meant as a nudge does not change
  // the photo instead.
  if (Document.LayerItems().Count() > 0) {
    if (KeysToList && KeysToList()) {
      text += QString::fromUtf8("   矢印キー: 前後の写真へ");
    } else if (View.ImageLocked) {
      text += QString::fromUtf8("   矢印キー: 画像ロック中");
    } else {
      text += QString::fromUtf8("   矢印キー: %1 画素ずつ移動").arg(NudgeStep(), 0, 'f', 2);
    }
  }
  return text;
}

double TWorkArea::NudgeStep() const {
  // One screen pixel at this zoom; one work pixel at fit.
  return 1.0 / (Zoom() > 0 ? Zoom() : pboxMain->ItemScale());
}

TSize TWorkArea::OutputSize() const {
  // The export's own planning, so the numbers are the frames it would make
  // (the box cut in photo pixels, the height from its aspect, the side limit).
  if (Document.LayerItems().Count() == 0) return {};
  const QSize work = pboxMain->WorkSize();
  const TRelBox box = Document.TrimBox().GetRelBox();
  const int width = OutputWidth ? OutputWidth() : TSwfExportWidth::kDefault;
  TFramePlanner planner({pboxMain->ItemScale(), work.width(), work.height(), box.p1x, box.p1y,
                         box.p2x, box.p2y, Document.LayerItems().GetRotation(), width});
  if (!planner.Check().Ok()) return {};
  const TFramePlan frame = planner.PlanFine(0, {}, 0, 0, {});
  return {frame.Width, frame.Height};
}

void TWorkArea::ShowStatus() {
  if (OnStatus) OnStatus(StatusText());
}

}  // namespace kalvane::ui
