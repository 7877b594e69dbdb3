#include "ui/WorkArea.h"

#include <QFrame>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "base/Round.h"
#include "document/BandCorner.h"
#include "project/ProjectDocument.h"

namespace kalvane::ui {

namespace {

QFrame* Shape(QWidget* parent, const char* name, const QString& style) {
  auto* shape = new QFrame(parent);
  shape->setObjectName(name);
  shape->setStyleSheet(QString("QFrame#%1 { %2 }").arg(name, style));
  return shape;
}

const QString kRulerColour = "background: rgb(201, 222, 245);";

}  // namespace

TCanvas::TCanvas(TProjectDocument& document, QWidget* parent)
    : QWidget(parent), Document(document) {
  setObjectName("pboxMain");
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TCanvas::paintEvent(QPaintEvent*) {
  TBitmap24& work = Document.WorkBitmap();
  if (Document.LayerItems().Count() == 0) {
    CanvasLock lock(work);
    work.SetSize(100, 100);
    work.FillWhite();
  }
  QPainter painter(this);
  int w = 0, h = 0;
  {
    // List first, then canvas: the lock order of the document.
    const TLayerManagement::TLockedView view = Document.LayerItems().LockedView();
    CanvasLock lock(work);
    if (work.IsEmpty()) return;
    canvasScale = std::min(static_cast<double>(width()) / work.Width(),
                           static_cast<double>(height()) / work.Height());
    w = RoundInt(work.Width() * canvasScale);
    h = RoundInt(work.Height() * canvasScale);
    const QImage image(work.Bits(), work.Width(), work.Height(),
                       static_cast<qsizetype>(work.Stride()), QImage::Format_BGR888);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(0, 0, w, h), image);
  }
  if (w != drawnWidth || h != drawnHeight) {
    drawnWidth = w;
    drawnHeight = h;
    if (OnDrawnSizeChanged) OnDrawnSizeChanged(w, h);
  }
}

namespace {

TMouseButton ButtonOf(const QMouseEvent& e) {
  switch (e.button()) {
    case Qt::RightButton:
      return TMouseButton::Right;
    case Qt::MiddleButton:
      return TMouseButton::Middle;
    default:
      return TMouseButton::Left;
  }
}

Qt::CursorShape CursorOf(TCursorKind kind) {
  switch (kind) {
    case TCursorKind::SizeNWSE:
      return Qt::SizeFDiagCursor;
    case TCursorKind::SizeNESW:
      return Qt::SizeBDiagCursor;
    case TCursorKind::Hand:
      return Qt::PointingHandCursor;
    case TCursorKind::SplitVertical:
      return Qt::SplitVCursor;
    case TCursorKind::SplitHorizontal:
      return Qt::SplitHCursor;
    default:
      return Qt::ArrowCursor;
  }
}

QRect RectOf(const TBoundsRect& r) {
  return {r.Left, r.Top, r.Width, r.Height};
}

const QColor kGuideColour(0, 160, 230);
constexpr int kGuideGrab = 3;
const QColor kBoxColour(230, 40, 40);

}  // namespace

void TMouseTarget::mousePressEvent(QMouseEvent* e) {
  if (OnPress) OnPress(*e);
}

void TMouseTarget::mouseMoveEvent(QMouseEvent* e) {
  if (OnMove) OnMove(*e);
}

void TMouseTarget::mouseReleaseEvent(QMouseEvent* e) {
  if (OnRelease) OnRelease(*e);
}

void TMouseTarget::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  if (!OnPaint) return;
  QPainter painter(this);
  OnPaint(painter);
}

TWorkArea::TWorkArea(TProjectDocument& document, QWidget* parent)
    : QWidget(parent), Document(document) {
  setObjectName("pnlMain");
  shpDummy = Shape(this, "shpDummy", kRulerColour + "border: 1px solid rgb(128, 128, 128);");
  shpHoGuide = new TMouseTarget(this);
  shpHoGuide->setObjectName("shpHoGuide");
  shpHoGuide->setStyleSheet("QFrame#shpHoGuide { " + kRulerColour + " }");
  shpHoGuide->setToolTip(QString::fromUtf8("ドラッグ＆ドロップで水平ガイドラインを配置します"));
  shpVerGuide = new TMouseTarget(this);
  shpVerGuide->setObjectName("shpVerGuide");
  shpVerGuide->setStyleSheet("QFrame#shpVerGuide { " + kRulerColour + " }");
  shpVerGuide->setToolTip(QString::fromUtf8("ドラッグ＆ドロップで垂直ガイドラインを配置します"));
  shpMain = Shape(this, "shpMain", "background: white; border: 1px solid rgb(128, 128, 128);");
  pboxMain = new TCanvas(document, this);
  pboxDrag = new TMouseTarget(this);
  pboxDrag->setObjectName("pboxDrag");
  pboxDrag->setCursor(Qt::SizeAllCursor);
  pboxDrag->OnPress = [this](QMouseEvent& e) { DragPress(e); };
  pboxDrag->OnMove = [this](QMouseEvent& e) { DragMove(e); };
  pboxDrag->OnRelease = [this](QMouseEvent& e) { DragRelease(e); };
  timDrag.setInterval(40);
  connect(&timDrag, &QTimer::timeout, this, &TWorkArea::timDragTimer);

  // Guides from the rulers: the ruler keeps the pointer while the button
  // is held, and hands press, moves and release to the new guide.
  TGuideManagement& guides = document.GuideLines();
  for (TMouseTarget* ruler : {shpHoGuide, shpVerGuide}) {
    const int orientation = ruler == shpHoGuide ? TGuideShape::kHorizontal : TGuideShape::kVertical;
    ruler->OnPress = [this, ruler, orientation, &guides](QMouseEvent& e) {
      const int at = orientation == TGuideShape::kHorizontal ? e.position().toPoint().y()
                                                             : e.position().toPoint().x();
      const int before = guides.Count();
      guides.RulerPress(orientation, ButtonOf(e), at);
      if (guides.Count() > before) {
        ruler->setCursor(orientation == TGuideShape::kHorizontal ? Qt::SplitVCursor
                                                                 : Qt::SplitHCursor);
      }
      SyncControls();
    };
    ruler->OnMove = [this, orientation, &guides](QMouseEvent& e) {
      if (!(e.buttons() & Qt::LeftButton)) return;
      guides.RulerMove(orientation == TGuideShape::kHorizontal ? e.position().toPoint().y()
                                                               : e.position().toPoint().x());
      SyncControls();
    };
    ruler->OnRelease = [this, ruler, &guides](QMouseEvent& e) {
      if (e.button() != Qt::LeftButton) return;
      guides.RulerRelease();
      ruler->unsetCursor();
      SyncControls();
      Document.GuidesSettled();
    };
  }
  guides.OnGuidesChanged = [this](TGuideManagement&) { SyncControls(); };
  BuildBox();
  pboxMain->OnDrawnSizeChanged = [this, &document](int w, int h) {
    document.GuideLines().SetAreaSize(w, h);
    document.TrimBox().SetAreaSize(w, h);
    SyncControls();
  };
  setMinimumSize(120, 120);
}

void TWorkArea::resizeEvent(QResizeEvent*) {
  // Rulers along the top and left, the frame and canvas fill the rest.
  const int w = width(), h = height();
  shpDummy->setGeometry(1, 1, 24, 24);
  shpHoGuide->setGeometry(23, 3, w - 25, 22);
  shpVerGuide->setGeometry(2, 23, 22, h - 25);
  shpMain->setGeometry(24, 24, w - 27, h - 26);
  pboxMain->setGeometry(kOrigin, kOrigin, w - 35, h - 34);
  pboxDrag->setGeometry(pboxMain->geometry());
  Document.GuideLines().Relayout();
  if (TSize{w, h} != lastProposed) {
    Document.TrimBox().Update(false);
    lastProposed = {w, h};
  }
  SyncControls();
}

// ---- image drag ---------------------------------------------------------------

void TWorkArea::DragPress(QMouseEvent& e) {
  if (e.button() == Qt::RightButton) {
    if (OnPopup && PreviewIdle()) OnPopup(e.globalPosition().toPoint());
    return;
  }
  if (e.button() != Qt::LeftButton || !PreviewIdle()) return;
  // Arrow keys reach the window only while no control holds the focus.
  if (QWidget* focused = window()->focusWidget()) focused->clearFocus();
  TLayerItemObject* current = Document.LayerItems().GetSelected();
  if (Document.LayerItems().Count() == 0 || !current) return;
  if (ImageLocked && ImageLocked()) {
    if (OnLockedMove) OnLockedMove();
    return;
  }
  dragStartMouse = e.position().toPoint();
  dragItem = current->GetId();
  dragStartOffset = current->GetOffset();
  dragOffset = dragStartOffset;
  dragging = true;
  dragMoved = false;
  timDrag.start();
}

void TWorkArea::DragMove(QMouseEvent& e) {
  if (!dragging || !PreviewIdle() || Document.LayerItems().Count() == 0) return;
  // Only the target is computed here; the timer applies it.
  const double scale = pboxMain->CanvasScale();
  const QPoint p = e.position().toPoint();
  dragOffset = {
      TLayerItemObject::ClampOffset(std::int64_t{RoundInt((p.x() - dragStartMouse.x()) / scale)} +
                                    dragStartOffset.X),
      TLayerItemObject::ClampOffset(std::int64_t{RoundInt((p.y() - dragStartMouse.y()) / scale)} +
                                    dragStartOffset.Y)};
  dragMoved = true;
}

void TWorkArea::timDragTimer() {
  if (Document.LayerItems().Count() == 0) return;
  TItemOffset offset = Document.ItemOffset(dragItem);
  offset.Work = dragOffset;
  Document.SetItemOffset(dragItem, offset);
}

void TWorkArea::DragRelease(QMouseEvent& e) {
  if (e.button() != Qt::LeftButton || !PreviewIdle() || Document.LayerItems().Count() == 0) return;
  // The item keeps the offset of the last tick; a drag that left it where
  // it was is no step.
  TItemOffset before = Document.ItemOffset(dragItem);
  before.Work = dragStartOffset;
  if (dragMoved && Document.ItemOffset(dragItem) != before) Document.DragEnded(dragItem, before);
  dragging = false;
  dragMoved = false;
  timDrag.stop();
}

void TWorkArea::Nudge(int dx, int dy) {
  TLayerItemObject* current = Document.LayerItems().GetSelected();
  if (Document.LayerItems().Count() == 0 || !current) return;
  if (ImageLocked && ImageLocked()) {
    if (OnLockedMove && PreviewIdle()) OnLockedMove();
    return;
  }
  Document.NudgeItem(current->GetId(), dx, dy);
}

// ---- the box and the guides on screen ------------------------------------------

void TWorkArea::BuildBox() {
  TBandManagement& box = Document.TrimBox();
  for (int i = 0; i < 4; ++i) {
    auto* shade = new QWidget(this);
    shade->setObjectName(QString("shpShade%1").arg(i));
    shade->setStyleSheet("background: black;");
    shade->setAttribute(Qt::WA_TransparentForMouseEvents);
    shadeWidgets.push_back(shade);
  }
  for (int i = 0; i < 4; ++i) {
    auto* edge = new QWidget(this);
    edge->setObjectName(QString("shpEdge%1").arg(i));
    edge->setStyleSheet(QString("background: %1;").arg(kBoxColour.name()));
    edge->setAttribute(Qt::WA_TransparentForMouseEvents);
    edgeWidgets.push_back(edge);
  }
  for (int i = 0; i < 5; ++i) {
    TBandCorner& corner = i < 4 ? box.Corner(i) : box.MoveHandle();
    auto* widget = new TMouseTarget(this);
    widget->setObjectName(QString::fromStdString(corner.Name()));
    widget->setStyleSheet(
        QString("QFrame { background: white; border: 1px solid %1; }").arg(kBoxColour.name()));
    auto* timer = new QTimer(this);
    timer->setInterval(TBandCorner::kRepeatMs);
    connect(timer, &QTimer::timeout, this, [this, &corner] {
      corner.TimerTick();
      SyncControls();
    });
    widget->OnPress = [this, &corner](QMouseEvent& e) {
      CornerEvent(corner, e, QEvent::MouseButtonPress);
    };
    widget->OnMove = [this, &corner](QMouseEvent& e) { CornerEvent(corner, e, QEvent::MouseMove); };
    widget->OnRelease = [this, &corner](QMouseEvent& e) {
      CornerEvent(corner, e, QEvent::MouseButtonRelease);
    };
    cornerWidgets.push_back(widget);
    cornerTimers.push_back(timer);
  }
}

void TWorkArea::CornerEvent(TBandCorner& corner, QMouseEvent& e, QEvent::Type type) {
  const QPoint p = e.position().toPoint();
  if (type == QEvent::MouseButtonPress) {
    corner.MouseDown(ButtonOf(e), p.x(), p.y());
  } else if (type == QEvent::MouseMove) {
    corner.MouseMove(p.x(), p.y());
  } else {
    corner.MouseUp(ButtonOf(e), p.x(), p.y());
  }
  TBandManagement& box = Document.TrimBox();
  for (int i = 0; i < 5; ++i) {
    TBandCorner& c = i < 4 ? box.Corner(i) : box.MoveHandle();
    QTimer* timer = cornerTimers[static_cast<std::size_t>(i)];
    if (c.TimerActive() && !timer->isActive()) timer->start();
    if (!c.TimerActive() && timer->isActive()) timer->stop();
  }
  SyncControls();
}

void TWorkArea::SyncBox() {
  TBandManagement& box = Document.TrimBox();
  const bool visible = box.GetVisible();
  for (int i = 0; i < 4; ++i) {
    QWidget* edge = edgeWidgets[static_cast<std::size_t>(i)];
    const TBoundsRect r = box.Edges()[static_cast<std::size_t>(i)];
    edge->setGeometry(RectOf({r.Left, r.Top, std::max(r.Width, 1), std::max(r.Height, 1)}));
    edge->setVisible(visible);
    QWidget* shade = shadeWidgets[static_cast<std::size_t>(i)];
    shade->setGeometry(RectOf(box.Shades()[static_cast<std::size_t>(i)]));
    shade->setVisible(box.GetShadesVisible());  // the preview shows them with the box hidden
  }
  for (int i = 0; i < 5; ++i) {
    TBandCorner& c = i < 4 ? box.Corner(i) : box.MoveHandle();
    TMouseTarget* w = cornerWidgets[static_cast<std::size_t>(i)];
    if (!c.TimerActive()) cornerTimers[static_cast<std::size_t>(i)]->stop();
    w->setGeometry(RectOf(c.Bounds()));
    w->setVisible(visible && c.Visible);
    w->setCursor(box.GetLocked() ? Qt::ArrowCursor : CursorOf(c.Cursor));
    w->raise();
  }
}

void TWorkArea::SyncGuides() {
  TGuideManagement& guides = Document.GuideLines();
  // Widgets of guides that went are hidden and freed later: one of them
  // may be handling the release that deleted its guide.
  while (static_cast<int>(guideWidgets.size()) > guides.Count()) {
    guideWidgets.back()->hide();
    guideWidgets.back()->setObjectName(QString());
    guideWidgets.back()->deleteLater();
    guideWidgets.pop_back();
  }
  while (static_cast<int>(guideWidgets.size()) < guides.Count()) {
    const int index = static_cast<int>(guideWidgets.size());
    auto* w = new TMouseTarget(this);
    w->setObjectName(QString("guide%1").arg(index));
    // A one-pixel line is hard to catch: the widget reaches a few pixels
    // either side, and hands the guide its own coordinates.
    auto local = [this, index](const QMouseEvent& e) {
      const TGuideShape* g = Document.GuideLines().GetGuide(index);
      const QPoint p = e.position().toPoint();
      const bool horizontal = g && g->GetOrientation() == TGuideShape::kHorizontal;
      return horizontal ? QPoint(p.x(), p.y() - kGuideGrab) : QPoint(p.x() - kGuideGrab, p.y());
    };
    w->OnPress = [this, index, local](QMouseEvent& e) {
      if (TGuideShape* g = Document.GuideLines().GetGuide(index)) {
        g->MouseDown(local(e).x(), local(e).y());
        SyncControls();
      }
    };
    w->OnMove = [this, index, local](QMouseEvent& e) {
      if (TGuideShape* g = Document.GuideLines().GetGuide(index); g && g->Dragging()) {
        g->MouseMove(local(e).x(), local(e).y());
        SyncControls();
      }
    };
    w->OnRelease = [this, index, local](QMouseEvent& e) {
      if (TGuideShape* g = Document.GuideLines().GetGuide(index)) {
        g->MouseUp(local(e).x(), local(e).y());  // may delete the guide
        SyncControls();
        Document.GuidesSettled();
      }
    };
    w->OnPaint = [w](QPainter& painter) {
      const bool horizontal = w->width() > w->height();
      painter.setPen(QPen(kGuideColour, 1));
      if (horizontal) {
        painter.drawLine(0, kGuideGrab, w->width(), kGuideGrab);
      } else {
        painter.drawLine(kGuideGrab, 0, kGuideGrab, w->height());
      }
    };
    guideWidgets.push_back(w);
  }
  for (int i = 0; i < guides.Count(); ++i) {
    const TGuideShape* g = guides.GetGuide(i);
    TMouseTarget* w = guideWidgets[static_cast<std::size_t>(i)];
    const QRect line = RectOf(g->Bounds());
    w->setGeometry(g->GetOrientation() == TGuideShape::kHorizontal
                       ? line.adjusted(0, -kGuideGrab, 0, kGuideGrab)
                       : line.adjusted(-kGuideGrab, 0, kGuideGrab, 0));
    w->setVisible(guides.GetVisible() && g->Visible);
    w->setCursor(CursorOf(g->Cursor()));
    w->raise();
  }
}

void TWorkArea::SyncControls() {
  SyncBox();
  SyncGuides();
}

}  // namespace kalvane::ui
