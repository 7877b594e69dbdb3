#include "ui/CommandButtons.h"

#include <QAction>
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <cmath>
#include <numbers>

namespace kalvane::ui {

namespace {

// A pressed toggle is filled with the accent colour, so it never reads as
// a disabled button; the caption keeps a margin from the edges.
const char* const kToggleStyle =
    "QToolButton { padding: 3px 6px; border: 1px solid #8a9bb0; border-radius: 3px;"
    " background: #f5f7fa; color: #1a1a1a; }"
    "QToolButton:hover { background: #e3ecf7; }"
    "QToolButton:checked { background: #2c6cb0; border-color: #1d4d82; color: white; }"
    "QToolButton:checked:hover { background: #3679c0; }"
    "QToolButton:disabled { background: #ececec; border-color: #c8c8c8; color: #9a9a9a; }"
    "QToolButton:checked:disabled { background: #a9bdd3; color: #eef2f6; }";

}  // namespace

QToolButton* CommandButton(QWidget* parent, const char* name, const char* hint, const QIcon& icon,
                           QAction& action) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setAutoRaise(true);
  action.setIcon(icon);
  action.setIconVisibleInMenu(false);
  action.setToolTip(QString::fromUtf8(hint));
  button->setDefaultAction(&action);
  return button;
}

QToolButton* CaptionButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                           QAction& action) {
  action.setIconText(QString::fromUtf8(caption));
  action.setToolTip(QString::fromUtf8(hint));
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setDefaultAction(&action);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return button;
}

QToolButton* ToggleButton(QWidget* parent, const char* name, const char* caption, const char* hint,
                          QAction& action) {
  QToolButton* button = CaptionButton(parent, name, caption, hint, action);
  button->setProperty("toggle", true);
  button->setStyleSheet(kToggleStyle);
  button->setMinimumHeight(44);
  button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  return button;
}

QIcon RotationIcon(bool clockwise) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor ink(30, 110, 60);
  painter.setPen(QPen(ink, 3, Qt::SolidLine, Qt::RoundCap));
  const double start = clockwise ? 135 : 45, sweep = clockwise ? -270 : 270;
  const QPointF centre(16, 17);
  const double radius = 10;
  painter.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                  static_cast<int>(start * 16), static_cast<int>(sweep * 16));
  const double end = (start + sweep) * std::numbers::pi / 180;
  const QPointF at = centre + radius * QPointF(std::cos(end), -std::sin(end));
  // The way the arc runs at its end, and across it.
  const double sign = clockwise ? -1 : 1;
  const QPointF along = sign * QPointF(-std::sin(end), -std::cos(end));
  const QPointF across(-along.y(), along.x());
  painter.setPen(Qt::NoPen);
  painter.setBrush(ink);
  painter.drawPolygon(
      QPolygonF{at + 6 * along, at + 5 * across - 2 * along, at - 5 * across - 2 * along});
  return QIcon(pixmap);
}

QIcon StandardIcon(QStyle::StandardPixmap pixmap) {
  return QApplication::style()->standardIcon(pixmap);
}

}  // namespace kalvane::ui
