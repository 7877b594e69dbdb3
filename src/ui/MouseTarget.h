#pragma once

#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <functional>

namespace kalvane::ui {

// A widget that hands its mouse events to the work area or one of its
// tools.
class TMouseTarget : public QFrame {
  Q_OBJECT
 public:
  using THandler = std::function<void(QMouseEvent&)>;
  explicit TMouseTarget(QWidget* parent) : QFrame(parent) {}
  THandler OnPress, OnMove, OnRelease;
  std::function<void(QPainter&)> OnPaint;
  // Not handled (and so passed on to the window) when it returns false.
  std::function<bool(QWheelEvent&)> OnWheel;

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
};

}  // namespace kalvane::ui
