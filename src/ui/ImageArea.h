#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include "base/Round.h"

namespace kalvane::ui {

// Where the image area lies on the work area panel, in panel pixels: the
// guides and the box are kept as fractions of it. Zoomed, its origin may
// lie left of or above the panel.
struct TImageArea {
  QPoint Origin{28, 28};
  QSize Size{100, 100};
  // Zoomed, the canvas: only what lies on it shows. Empty at fit.
  QRect Clip;

  int X(double rel) const { return RoundInt(Size.width() * rel) + Origin.x(); }
  int Y(double rel) const { return RoundInt(Size.height() * rel) + Origin.y(); }
  double RelX(int x) const { return static_cast<double>(x - Origin.x()) / Size.width(); }
  double RelY(int y) const { return static_cast<double>(y - Origin.y()) / Size.height(); }
};

}  // namespace kalvane::ui
