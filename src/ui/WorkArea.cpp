#include "ui/WorkArea.h"

#include <QFrame>
#include <QImage>
#include <QPainter>

#include "base/Round.h"
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

TWorkArea::TWorkArea(TProjectDocument& document, QWidget* parent) : QWidget(parent) {
  setObjectName("pnlMain");
  shpDummy = Shape(this, "shpDummy", kRulerColour + "border: 1px solid rgb(128, 128, 128);");
  shpHoGuide = Shape(this, "shpHoGuide", kRulerColour);
  shpHoGuide->setToolTip(QString::fromUtf8("ドラッグ＆ドロップで水平ガイドラインを配置します"));
  shpVerGuide = Shape(this, "shpVerGuide", kRulerColour);
  shpVerGuide->setToolTip(QString::fromUtf8("ドラッグ＆ドロップで垂直ガイドラインを配置します"));
  shpMain = Shape(this, "shpMain", "background: white; border: 1px solid rgb(128, 128, 128);");
  pboxMain = new TCanvas(document, this);
  pboxDrag = new QWidget(this);
  pboxDrag->setObjectName("pboxDrag");
  pboxDrag->setCursor(Qt::SizeAllCursor);
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
}

}  // namespace kalvane::ui
