#include "ui/WorkArea.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRubberBand>
#include <QScrollBar>
#include <QTextEdit>
#include <algorithm>
#include <cmath>
#include <vector>

#include "base/Round.h"
#include "project/ProjectDocument.h"
#include "ui/BoxTool.h"
#include "ui/GuideTool.h"

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
  Levels.OnReady = [this] { update(); };
  monoSettle.setSingleShot(true);
  connect(&monoSettle, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

double TCanvas::ItemScale() const {
  const double s = Document.LayerItems().GetItemScale();
  return s > 0 ? s : 1.0;
}

QSize TCanvas::WorkSize() const {
  if (Document.LayerItems().Count() == 0) return {100, 100};
  const TSize work = Document.LayerItems().WorkSize();
  return {std::max(work.Width, 1), std::max(work.Height, 1)};
}

double TCanvas::FitScale() const {
  const QSize work = WorkSize();
  return std::min(static_cast<double>(width()) / work.width(),
                  static_cast<double>(height()) / work.height());
}

void TCanvas::SetView(double newZoom, QPointF newOrigin) {
  zoom = newZoom > 0 ? newZoom : 0;
  if (zoom == 0) {
    origin = {};
  } else {
    // Held so the view does not leave the work bitmap, where the bitmap
    // is larger than the view; smaller, it stays at the top-left.
    const double k = ViewScale();
    const QSize work = WorkSize();
    const double maxX = std::max(0.0, work.width() - width() / k);
    const double maxY = std::max(0.0, work.height() - height() / k);
    origin = {std::clamp(newOrigin.x(), 0.0, maxX), std::clamp(newOrigin.y(), 0.0, maxY)};
  }
  update();
}

QPointF TCanvas::ToWork(QPointF screen) const {
  const double k = ViewScale();
  return screen / k + ViewOrigin();
}

QPointF TCanvas::ToScreen(QPointF work) const {
  return (work - ViewOrigin()) * ViewScale();
}

void TCanvas::paintEvent(QPaintEvent*) {
  TBitmap24& work = Document.WorkBitmap();
  if (Document.LayerItems().Count() == 0) {
    CanvasLock lock(work);
    work.SetSize(100, 100);
    work.FillWhite();
  }
  QPainter painter(this);
  drewPhoto = false;
  if (zoom > 0) {
    PaintZoomed(painter);
    return;
  }
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

void TCanvas::PaintZoomed(QPainter& painter) {
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  {
    const TLayerManagement::TLockedView view = Document.LayerItems().LockedView();
    TBitmap24& work = Document.WorkBitmap();
    CanvasLock lock(work);
    if (work.IsEmpty()) return;
    const QImage image(work.Bits(), work.Width(), work.Height(),
                       static_cast<qsizetype>(work.Stride()), QImage::Format_BGR888);
    // Only the part in view is scaled.
    const QRectF shown(ToWork({0, 0}), ToWork(QPointF(width(), height())));
    const QRectF source = shown.intersected(QRectF(0, 0, work.Width(), work.Height()));
    if (!source.isEmpty()) {
      painter.drawImage(QRectF(ToScreen(source.topLeft()), ToScreen(source.bottomRight())), image,
                        source);
    }
  }
  // Beyond the work bitmap's own pixels the photos themselves show more.
  if (ViewScale() > 1) {
    drewPhoto = Document.LayerItems().GetMonoMode() == 0 ? PaintPhoto(painter) : PaintMono(painter);
  }
}

bool TCanvas::PaintPhoto(QPainter& painter) {
  std::string path;
  TPointF fine;
  {
    const TLayerManagement::TLockedView view = Document.LayerItems().LockedView();
    const TLayerItemObject* current = view.Selected();
    if (!current || !current->HasImage()) return false;
    path = current->GetFileName();
    fine = current->GetFineOffset();
  }
  return DrawPhoto(painter, path, fine);
}

bool TCanvas::PaintMono(QPainter& painter) {
  // The current item and the others the monochrome view shows, in list
  // order; with more than a few, the view stays the work bitmap's.
  TMonoKey key{zoom, origin, size(), devicePixelRatioF(), 0, 0, {}};
  {
    const TLayerManagement::TLockedView view = Document.LayerItems().LockedView();
    const TLayerItemObject* selected = view.Selected();
    if (!selected || !selected->HasImage()) return false;
    key.Shown.push_back({selected->GetFileName(), selected->GetFineOffset()});
    for (int i = 0; i < view.Count(); ++i) {
      const TLayerItemObject& item = view[i];
      if (&item == selected || !item.GetMonoVisible() || !item.HasImage()) continue;
      if (key.Shown.size() == kSharpMonoItems) return false;
      key.Shown.push_back({item.GetFileName(), item.GetFineOffset()});
    }
    key.Density = Document.LayerItems().GetDensity();
    key.Rotation = Document.LayerItems().GetRotation();
  }
  auto drawn = [&] {
    painter.save();
    painter.setClipRect(
        QRectF(ToScreen({0, 0}), ToScreen(QPointF(WorkSize().width(), WorkSize().height()))));
    painter.drawImage(QPoint(0, 0), monoView);
    painter.restore();
    return true;
  };
  if (key == monoKey) return drawn();
  // While the view or the items keep changing (a pan, a drag, a held key)
  // the work bitmap's view stands in; the photos' is made once they rest.
  const bool stream =
      key != lastMonoKey && monoChanged.isValid() && monoChanged.elapsed() < kSettle;
  if (key != lastMonoKey) {
    lastMonoKey = key;
    monoChanged.start();
  }
  if (stream) {
    monoSettle.start(kSettle);
    return false;
  }
  const TMonoKey::TItem& current = key.Shown.front();
  // Each photo drawn over the canvas as it is shown, made grey and
  // lightened as its monochrome copy is; 0 where it shows nothing.
  bool complete = true;
  auto monoLayer = [&](const TMonoKey::TItem& shown) {
    const qreal dpr = devicePixelRatioF();
    QImage layer((QSizeF(size()) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    {
      QPainter draw(&layer);
      draw.setRenderHint(QPainter::SmoothPixmapTransform, false);
      complete = DrawPhoto(draw, shown.Path, shown.Fine, true) && complete;
    }
    // Opaque pieces on a transparent layer: premultiplied is plain ARGB.
    return MonoFromArgb(reinterpret_cast<const std::uint32_t*>(layer.constBits()), layer.width(),
                        layer.height(), static_cast<std::size_t>(layer.bytesPerLine()) / 4);
  };
  std::vector<TBitmap24> dark;
  for (auto other = key.Shown.begin() + 1; other != key.Shown.end(); ++other)
    dark.push_back(monoLayer(*other));
  const TBitmap24 red = monoLayer(current);
  // Until every piece is made the work bitmap's view stays.
  if (!complete) return false;
  const TBitmap24 view = ComposeMono(dark, red, key.Density);
  monoView = QImage(view.Bits(), view.Width(), view.Height(), static_cast<qsizetype>(view.Stride()),
                    QImage::Format_BGR888)
                 .copy();
  monoView.setDevicePixelRatio(key.Ratio);
  monoKey = std::move(key);
  return drawn();
}

bool TCanvas::DrawPhoto(QPainter& painter, const std::string& path, TPointF fine, bool grey) {
  const double s = ItemScale();
  // The smallest decode that still has a pixel for every screen pixel.
  int shrink = 1;
  for (const int n : {8, 4, 2}) {
    if (zoom * n <= 1.0) {
      shrink = n;
      break;
    }
  }
  // Photo pixel p lies at work pixel (p + fine) * s.
  const QPointF f(fine.X, fine.Y);
  const QRectF shown(ToWork({0, 0}) / s - f, ToWork(QPointF(width(), height())) / s - f);
  bool complete = false;
  const std::vector<const TPhotoLevels::TPiece*> pieces =
      Levels.Cover(path, Document.LayerItems().GetRotation(), shrink, shown, &complete, grey);
  auto target = [&](const QRectF& photo) {
    return QRectF(ToScreen((photo.topLeft() + f) * s), ToScreen((photo.bottomRight() + f) * s));
  };
  if (pieces.size() == 1) {
    // One piece (the whole photo, or one tile): drawn straight.
    const TPhotoLevels::TPiece& piece = *pieces[0];
    const QRectF part = shown.intersected(piece.Photo);
    if (!piece.Image.isNull() && !part.isEmpty()) {
      const double k = piece.Image.width() / piece.Photo.width();
      painter.drawImage(target(part), piece.Image,
                        QRectF((part.topLeft() - piece.Photo.topLeft()) * k, part.size() * k));
    }
    return complete;
  }
  if (pieces.empty()) return complete;
  // Tiles are put together at the level first, so their seams do not
  // show once scaled; one not yet made leaves the work bitmap showing.
  QRectF covered;
  for (const TPhotoLevels::TPiece* piece : pieces)
    covered |= piece->Photo;
  covered &= shown;
  const QRect level(QPoint(static_cast<int>(std::floor(covered.left() / shrink)),
                           static_cast<int>(std::floor(covered.top() / shrink))),
                    QPoint(static_cast<int>(std::ceil(covered.right() / shrink)) - 1,
                           static_cast<int>(std::ceil(covered.bottom() / shrink)) - 1));
  if (level.isEmpty()) return complete;
  if (joined.size() != level.size()) {
    joined = QImage(level.size(), QImage::Format_ARGB32_Premultiplied);
  }
  joined.fill(Qt::transparent);
  {
    QPainter join(&joined);
    for (const TPhotoLevels::TPiece* piece : pieces) {
      if (piece->Image.isNull()) continue;
      join.drawImage(piece->Photo.topLeft() / shrink - QPointF(level.topLeft()), piece->Image);
    }
  }
  const QRectF photo(QPointF(level.topLeft()) * shrink, QSizeF(level.size()) * shrink);
  painter.drawImage(target(photo), joined);
  return complete;
}

TWorkArea::TWorkArea(TProjectDocument& document, TViewState& view, QWidget* parent)
    : QWidget(parent), Document(document), View(view) {
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
  pboxDrag->OnWheel = [this](QWheelEvent& e) { return Wheel(e); };
  pboxDrag->setMouseTracking(true);  // the status line follows the pointer
  scrWorkH = new QScrollBar(Qt::Horizontal, this);
  scrWorkH->setObjectName("scrWorkH");
  scrWorkV = new QScrollBar(Qt::Vertical, this);
  scrWorkV->setObjectName("scrWorkV");
  for (QScrollBar* bar : {scrWorkH, scrWorkV}) {
    bar->hide();
    connect(bar, &QScrollBar::valueChanged, this, [this] {
      if (Zoom() <= 0) return;
      const double k = pboxMain->ViewScale();
      pboxMain->SetView(Zoom(), QPointF(scrWorkH->value() / k, scrWorkV->value() / k));
      ViewChanged();
    });
  }
  shpHoGuide->OnPaint = [this](QPainter& painter) { PaintRuler(painter, true); };
  shpVerGuide->OnPaint = [this](QPainter& painter) { PaintRuler(painter, false); };
  timDrag.setInterval(40);
  connect(&timDrag, &QTimer::timeout, this, &TWorkArea::timDragTimer);

  boxTool = new TBoxTool(document, view, this);
  guideTool = new TGuideTool(document, view, this, shpHoGuide, shpVerGuide);
  pboxMain->OnDrawnSizeChanged = [this](int w, int h) {
    if (Zoom() > 0) return;
    SetImageArea(area.Origin, {w, h});
    SyncControls();
    ShowStatus();
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
  LayoutCanvas();
  SyncControls();
  if (Zoom() > 0) SetZoom(Zoom(), CanvasCentre());
}

void TWorkArea::LayoutCanvas() {
  // Zoomed, the scroll bars take a strip along the right and the bottom.
  const int w = width(), h = height();
  const int bar = Zoom() > 0 ? 14 : 0;
  pboxMain->setGeometry(kOrigin, kOrigin, w - 35 - bar, h - 34 - bar);
  pboxDrag->setGeometry(pboxMain->geometry());
  scrWorkH->setGeometry(kOrigin, kOrigin + pboxMain->height(), pboxMain->width(), bar);
  scrWorkV->setGeometry(kOrigin + pboxMain->width(), kOrigin, bar, pboxMain->height());
  scrWorkH->setVisible(bar > 0);
  scrWorkV->setVisible(bar > 0);
}

// ---- image drag ---------------------------------------------------------------

bool TWorkArea::PointerOver() const {
  return isVisible() && pboxDrag->rect().contains(pboxDrag->mapFromGlobal(QCursor::pos()));
}

void TWorkArea::SetSpaceHeld(bool held) {
  spaceHeld = held;
  // The guides and the box lie over the drag target; held, the target
  // takes every press until the key is let go.
  if (held && Zoom() > 0 && PointerOver()) {
    if (QWidget::mouseGrabber() != pboxDrag) pboxDrag->grabMouse(Qt::OpenHandCursor);
  } else if (!held && QWidget::mouseGrabber() == pboxDrag) {
    pboxDrag->releaseMouse();
  }
}

void TWorkArea::WatchSpaceKey() {
  qApp->installEventFilter(this);
}

bool TWorkArea::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::WindowDeactivate && watched == window()) SetSpaceHeld(false);
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (key->key() != Qt::Key_Space || !widget || widget->window() != window() ||
      qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
      qobject_cast<QTextEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget)) {
    return false;
  }
  if (!key->isAutoRepeat()) SetSpaceHeld(type == QEvent::KeyPress);
  // Over the canvas the key is the pan's, not a click of the focused button.
  return PointerOver();
}

bool TWorkArea::WindowKey(const QKeyEvent& e) {
  if (e.key() == Qt::Key_Escape && Picking()) {
    CancelPick();
    return true;
  }
  const int n = e.modifiers() & Qt::ShiftModifier ? 10 : 1;
  switch (e.key()) {
    case Qt::Key_Left:
      Nudge(-n, 0);
      break;
    case Qt::Key_Up:
      Nudge(0, -n);
      break;
    case Qt::Key_Right:
      Nudge(n, 0);
      break;
    case Qt::Key_Down:
      Nudge(0, n);
      break;
    default:
      break;
  }
  return false;
}

void TWorkArea::PickRegion(TPicked picked) {
  regionPicked = std::move(picked);
  pboxDrag->setCursor(Qt::CrossCursor);
}

void TWorkArea::CancelPick() {
  regionPicked = nullptr;
  if (regionBand) regionBand->hide();
  pboxDrag->setCursor(Qt::SizeAllCursor);
}

void TWorkArea::DragPress(QMouseEvent& e) {
  if (regionPicked && e.button() == Qt::LeftButton) {
    if (!regionBand) regionBand = new QRubberBand(QRubberBand::Rectangle, pboxDrag);
    regionStart = e.position().toPoint();
    regionBand->setGeometry(QRect(regionStart, QSize()));
    regionBand->show();
    return;
  }
  if (e.button() == Qt::RightButton) {
    if (OnPopup && !View.Previewing) OnPopup(e.globalPosition().toPoint());
    return;
  }
  // The middle button, or the left with space held, pans a zoomed canvas.
  if (Zoom() > 0 &&
      (e.button() == Qt::MiddleButton || (e.button() == Qt::LeftButton && spaceHeld))) {
    panning = true;
    panLast = e.position();
    pboxDrag->setCursor(Qt::ClosedHandCursor);
    return;
  }
  if (e.button() != Qt::LeftButton || View.Previewing) return;
  // Arrow keys reach the window only while no control holds the focus.
  if (QWidget* focused = window()->focusWidget()) focused->clearFocus();
  TLayerItemObject* current = Document.LayerItems().GetSelected();
  if (Document.LayerItems().Count() == 0 || !current) return;
  if (View.ImageLocked) {
    if (OnLockedMove) OnLockedMove();
    return;
  }
  dragStartMouse = e.position().toPoint();
  dragItem = current->GetId();
  dragStartOffset = current->GetOffset();
  dragStartFine = dragFine = current->GetFineOffset();
  dragging = true;
  dragMoved = false;
  timDrag.start();
}

void TWorkArea::DragMove(QMouseEvent& e) {
  pointer = e.position();
  if (regionPicked && regionBand && regionBand->isVisible()) {
    regionBand->setGeometry(QRect(regionStart, e.position().toPoint()).normalized());
    return;
  }
  if (panning) {
    PanBy(e.position() - panLast);
    panLast = e.position();
    return;
  }
  ShowStatus();
  if (!dragging || View.Previewing || Document.LayerItems().Count() == 0) return;
  // Only the target is computed here; the timer applies it.
  const double s = pboxMain->ItemScale();
  const QPoint p = e.position().toPoint();
  if (Zoom() > 0) {
    // By the pointer's movement at this zoom, to a fraction of a photo pixel.
    const double perPhoto = Zoom();
    dragFine = {dragStartFine.X + (p.x() - dragStartMouse.x()) / perPhoto,
                dragStartFine.Y + (p.y() - dragStartMouse.y()) / perPhoto};
  } else {
    // At fit, whole work pixels, as the work area has always moved.
    const double scale = pboxMain->CanvasScale();
    const std::int64_t dx = RoundInt((p.x() - dragStartMouse.x()) / scale);
    const std::int64_t dy = RoundInt((p.y() - dragStartMouse.y()) / scale);
    dragFine = {TLayerItemObject::ClampOffset(dragStartOffset.X + dx) / s +
                    (dragStartFine.X - dragStartOffset.X / s),
                TLayerItemObject::ClampOffset(dragStartOffset.Y + dy) / s +
                    (dragStartFine.Y - dragStartOffset.Y / s)};
  }
  dragMoved = true;
}

void TWorkArea::timDragTimer() {
  if (Document.LayerItems().Count() == 0) return;
  MoveItem(dragItem, dragFine);
}

void TWorkArea::MoveItem(std::uint64_t id, TPointF fine) {
  TItemOffset offset = Document.ItemOffset(id);
  offset.Fine = fine;
  Document.SetItemOffset(id, offset);
  ShowStatus();
}

void TWorkArea::DragRelease(QMouseEvent& e) {
  if (regionPicked && regionBand && regionBand->isVisible() && e.button() == Qt::LeftButton) {
    const QRect drawn = QRect(regionStart, e.position().toPoint()).normalized();
    regionBand->hide();
    // A click or a sliver is no region: drawing goes on.
    if (drawn.width() < 8 || drawn.height() < 8) return;
    const QPointF a = pboxMain->ToWork(drawn.topLeft()), b = pboxMain->ToWork(drawn.bottomRight());
    const QSize work = pboxMain->WorkSize();
    auto fraction = [](double at, int size) { return std::clamp(at / size, 0.0, 1.0); };
    const TPicked picked = std::move(regionPicked);
    CancelPick();
    picked(fraction(a.x(), work.width()), fraction(a.y(), work.height()),
           fraction(b.x(), work.width()), fraction(b.y(), work.height()));
    return;
  }
  if (panning) {
    panning = false;
    pboxDrag->setCursor(Qt::SizeAllCursor);
    return;
  }
  if (e.button() != Qt::LeftButton || View.Previewing || Document.LayerItems().Count() == 0) return;
  // The item keeps the offset of the last tick; a drag that left it where
  // it was is no step.
  const TItemOffset before{dragStartOffset, dragStartFine};
  if (dragMoved && Document.ItemOffset(dragItem) != before) Document.DragEnded(dragItem, before);
  dragging = false;
  dragMoved = false;
  timDrag.stop();
}

void TWorkArea::Nudge(int dx, int dy) {
  TLayerItemObject* current = Document.LayerItems().GetSelected();
  if (Document.LayerItems().Count() == 0 || !current) return;
  if (View.ImageLocked) {
    if (OnLockedMove && !View.Previewing) OnLockedMove();
    return;
  }
  Document.NudgeItem(current->GetId(), {dx * NudgeStep(), dy * NudgeStep()});
  ShowStatus();
}

// ---- the box and the guides on screen ------------------------------------------

void TWorkArea::SetImageArea(QPoint origin, QSize size) {
  area.Origin = origin;
  if (size.width() > 0) area.Size.setWidth(size.width());
  if (size.height() > 0) area.Size.setHeight(size.height());
}

void TWorkArea::ShowBox(bool shown) {
  boxTool->SetShown(shown);
}

void TWorkArea::ShowGuides(bool shown) {
  guideTool->SetShown(shown);
}

void TWorkArea::ViewToggled(bool TViewState::*flag, bool on) {
  View.*flag = on;
  if (flag == &TViewState::ImageLocked) {
    // Unlocked to move the photo: the arrow keys go to the canvas.
    if (!on) {
      if (QWidget* focused = window()->focusWidget()) focused->clearFocus();
    }
    ShowStatus();
  } else if (flag == &TViewState::BoxShown) {
    ShowBox(on);
  } else if (flag == &TViewState::GuidesShown) {
    ShowGuides(on);
  }
  // The tools read the locks; one that came during a drag ends it.
  SyncControls();
}

bool TWorkArea::Dragging() const {
  return dragging || guideTool->Dragging() || boxTool->Dragging();
}

void TWorkArea::SyncControls() {
  area.Clip = Zoom() > 0 ? pboxMain->geometry() : QRect();
  boxTool->SetArea(area);
  guideTool->SetArea(area);
  boxTool->Sync();
  guideTool->Sync();
  ShowStatus();  // the box's output size
}

}  // namespace kalvane::ui
