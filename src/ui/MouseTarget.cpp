#include "ui/MouseTarget.h"

namespace kalvane::ui {

void TMouseTarget::mousePressEvent(QMouseEvent* e) {
  if (OnPress) OnPress(*e);
}

void TMouseTarget::mouseMoveEvent(QMouseEvent* e) {
  if (OnMove) OnMove(*e);
}

void TMouseTarget::mouseReleaseEvent(QMouseEvent* e) {
  if (OnRelease) OnRelease(*e);
}

void TMouseTarget::wheelEvent(QWheelEvent* e) {
  if (OnWheel && OnWheel(*e)) {
    e->accept();
  } else {
    e->ignore();
  }
}

void TMouseTarget::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  if (!OnPaint) return;
  QPainter painter(this);
  OnPaint(painter);
}

}  // namespace kalvane::ui
