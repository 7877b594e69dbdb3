#include "ui/BoxTool.h"

#include <QColor>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>

#include "project/Commands.h"
#include "project/ProjectDocument.h"
#include "ui/MouseTarget.h"

namespace kalvane::ui {

namespace {

const QColor kBoxColour(230, 40, 40);
constexpr int kCorner = 8;                // a corner handle's side
constexpr QSize kMoveHandleSize(26, 10);  // the handle that moves the box
constexpr int kMinimum = 60;              // between corner centres

}  // namespace

TBoxTool::TBoxTool(TProjectDocument& document, const TViewState& view, QWidget* panel)
    : QObject(panel), Document(document), View(view), Panel(panel) {
  for (std::size_t i = 0; i < Shades.size(); ++i) {
    auto* shade = new QWidget(panel);
    shade->setObjectName(QString("shpShade%1").arg(i));
    shade->setStyleSheet("background: black;");
    shade->setAttribute(Qt::WA_TransparentForMouseEvents);
    Shades[i] = shade;
  }
  for (std::size_t i = 0; i < Edges.size(); ++i) {
    auto* edge = new QWidget(panel);
    edge->setObjectName(QString("shpEdge%1").arg(i));
    edge->setStyleSheet(QString("background: %1;").arg(kBoxColour.name()));
    edge->setAttribute(Qt::WA_TransparentForMouseEvents);
    Edges[i] = edge;
  }
  for (int i = 0; i < static_cast<int>(Handles.size()); ++i) {
    auto* handle = new TMouseTarget(panel);
    handle->setObjectName(i == kMoveHandle ? QString("MoveHandle")
                                           : QString("CornerItem%1").arg(i));
    handle->setStyleSheet(
        QString("QFrame { background: white; border: 1px solid %1; }").arg(kBoxColour.name()));
    handle->OnPress = [this, i, handle](QMouseEvent& e) { Press(i, handle, e); };
    handle->OnMove = [this, handle](QMouseEvent& e) { Move(handle, e); };
    handle->OnRelease = [this](QMouseEvent& e) { Release(e); };
    Handles[static_cast<std::size_t>(i)] = handle;
  }
  Repeat.setInterval(kRepeatMs);
  connect(&Repeat, &QTimer::timeout, this, &TBoxTool::Tick);
}

TScreenBox TBoxTool::ScreenBox() const {
  const TRelBox r = Document.TrimRelBox();
  return {Area.X(r.p1x), Area.Y(r.p1y), Area.X(r.p2x), Area.Y(r.p2y)};
}

TRelBox TBoxTool::RelOf(const TScreenBox& b) const {
  return {Area.RelX(b.x1), Area.RelY(b.y1), Area.RelX(b.x2), Area.RelY(b.y2)};
}

QSize TBoxTool::HandleSize(int i) {
  return i == kMoveHandle ? kMoveHandleSize : QSize(kCorner, kCorner);
}

QPoint TBoxTool::HandlePlace(int i, const TScreenBox& b) {
  // Centred on its corner; the move handle under the right of the bottom
  // edge.
  const QSize size = HandleSize(i);
  QPoint centre;
  switch (i) {
    case 0:
      centre = {b.x1, b.y1};
      break;
    case 1:
      centre = {b.x2, b.y1};
      break;
    case 2:
      centre = {b.x2, b.y2};
      break;
    case 3:
      centre = {b.x1, b.y2};
      break;
    default:
      centre = {b.x2 - size.width() + 5, RoundInt(size.height() * 0.5) + b.y2 + 1};
  }
  return centre - QPoint(RoundInt(size.width() * 0.5), RoundInt(size.height() * 0.5));
}

QPoint TBoxTool::Constrain(int i, QPoint p) const {
  const int ox = Area.Origin.x(), oy = Area.Origin.y();
  const int aw = Area.Size.width(), ah = Area.Size.height();
  if (i == kMoveHandle) {
    return {std::min(p.x(), ox + aw - kMoveHandleSize.width() - 17),
            std::min(p.y(), oy + ah - kMoveHandleSize.height() - 4)};
  }
  int x = std::min(std::max(p.x(), ox + 5), ox + aw - kCorner - 5);
  int y = std::min(std::max(p.y(), oy + 5), oy + ah - kCorner - 11);
  // The box never gets smaller than about 60 pixels between corner centres.
  const TScreenBox box = ScreenBox();
  if (i == 0 || i == 3) x = std::min(x, box.x2 - kMinimum);
  if (i == 1 || i == 2) x = std::max(x, box.x1 + kMinimum);
  if (i == 0 || i == 1) y = std::min(y, box.y2 - kMinimum);
  if (i == 2 || i == 3) y = std::max(y, box.y1 + kMinimum);
  return {x, y};
}

TScreenBox TBoxTool::Moved(QPoint place) const {
  const TScreenBox box = ScreenBox();
  if (Handle != kMoveHandle) {
    TScreenBox moved = box;
    const QPoint c = place + QPoint(RoundInt(kCorner * 0.5), RoundInt(kCorner * 0.5));
    if (Handle == 0 || Handle == 3) moved.x1 = c.x();
    if (Handle == 1 || Handle == 2) moved.x2 = c.x();
    if (Handle == 0 || Handle == 1) moved.y1 = c.y();
    if (Handle == 2 || Handle == 3) moved.y2 = c.y();
    return moved;
  }
  // The whole box by the handle's move, its size kept, held 5 pixels
  // inside the image area: the right and bottom limits last.
  const QPoint d = place - HandlePlace(kMoveHandle, box);
  const int w = box.x2 - box.x1, h = box.y2 - box.y1;
  const int ox = Area.Origin.x(), oy = Area.Origin.y();
  const int aw = Area.Size.width(), ah = Area.Size.height();
  TScreenBox moved;
  moved.x1 = box.x1 + d.x();
  if (moved.x1 < ox + 5) {
    moved.x1 = ox + 5;
    moved.x2 = ox + 5 + w;
  } else {
    moved.x2 = box.x2 + d.x();
  }
  moved.y1 = box.y1 + d.y();
  if (moved.y1 < oy + 5) {
    moved.y1 = oy + 5;
    moved.y2 = oy + 5 + h;
  } else {
    moved.y2 = box.y2 + d.y();
  }
  if (moved.x2 > ox + aw - 5) {
    moved.x2 = ox + aw - 5;
    moved.x1 = moved.x2 - w;
  }
  if (moved.y2 > oy + ah - 5) {
    moved.y2 = oy + ah - 5;
    moved.y1 = moved.y2 - h;
  }
  return moved;
}

void TBoxTool::Sync() {
  if (Handle >= 0 && View.BoxLocked) return Finish();
  const bool zoomed = !Area.Clip.isEmpty();
  // Zoomed, the box reaches past the canvas: only its part on it shows.
  auto held = [this, zoomed](const QRect& r) { return zoomed ? r.intersected(Area.Clip) : r; };
  const bool visible = Shown && !View.Previewing;
  const auto [x1, y1, x2, y2] = ScreenBox();
  auto edge = [](int px, int py, int qx, int qy) {
    return QRect(px - 1, py - 1, std::max(qx - px + 2, 1), std::max(qy - py + 2, 1));
  };
  const QRect edges[] = {edge(x1, y1, x2, y1), edge(x2, y1, x2, y2), edge(x1, y2, x2, y2),
                         edge(x1, y1, x1, y2)};
  const int W = Panel->width(), H = Panel->height();
  const QRect shades[] = {QRect(0, 0, W, y1 + 1), QRect(0, 0, x1 + 1, H), QRect(x2, 0, W - x2, H),
                          QRect(0, y2, W, H - y2)};
  for (std::size_t i = 0; i < 4; ++i) {
    const QRect line = held(edges[i]);
    Edges[i]->setGeometry(line);
    Edges[i]->setVisible(visible && !line.isEmpty());
    // The preview shows them, with the box hidden.
    const QRect area = held(shades[i]);
    Shades[i]->setGeometry(area);
    Shades[i]->setVisible(View.Previewing && !area.isEmpty());
  }
  const TScreenBox box{x1, y1, x2, y2};
  for (int i = 0; i < static_cast<int>(Handles.size()); ++i) {
    TMouseTarget* w = Handles[static_cast<std::size_t>(i)];
    w->setGeometry(QRect(HandlePlace(i, box), HandleSize(i)));
    w->setVisible(visible && (!zoomed || Area.Clip.contains(w->geometry().center())));
    const Qt::CursorShape shape = i == kMoveHandle ? Qt::PointingHandCursor
                                  : i % 2 == 0     ? Qt::SizeFDiagCursor
                                                   : Qt::SizeBDiagCursor;
    w->setCursor(View.BoxLocked ? Qt::ArrowCursor : shape);
    w->raise();
  }
}

// ---- a handle dragged with the left button --------------------------------------

void TBoxTool::Press(int i, QWidget* handle, QMouseEvent& e) {
  if (e.button() != Qt::LeftButton || View.BoxLocked || Handle >= 0) return;
  Handle = i;
  PressPointer = handle->mapTo(Panel, e.position().toPoint());
  PressPlace = Target = HandlePlace(i, ScreenBox());
  Before = Document.TrimRelBox();
  Repeat.start();
}

void TBoxTool::Move(QWidget* handle, QMouseEvent& e) {
  if (Handle < 0 || View.BoxLocked) return;
  // Only the target here; the timer moves the box.
  Target =
      Constrain(Handle, PressPlace + handle->mapTo(Panel, e.position().toPoint()) - PressPointer);
}

void TBoxTool::Tick() {
  if (Handle < 0 || View.BoxLocked) return;
  const TScreenBox moved = Moved(Target);
  // Where nothing moved the box stays as it is, to the fraction.
  if (moved == ScreenBox()) return;
  Document.SetTrimRelBox(RelOf(moved));
  Sync();
}

void TBoxTool::Release(QMouseEvent& e) {
  if (e.button() != Qt::LeftButton || Handle < 0 || View.BoxLocked) return;
  Finish();
}

void TBoxTool::Finish() {
  Repeat.stop();
  Handle = -1;
  Document.SetBox(Document.TrimRelBox(), Before);
  Sync();
}

}  // namespace kalvane::ui
