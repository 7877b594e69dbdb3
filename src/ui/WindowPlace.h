#pragma once

#include <QWidget>

#include "project/SettingsWindows.h"

namespace kalvane::ui {

// A window's place kept as its client area's, which is how it is placed
// again whether or not the window manager has framed it yet.
inline TWindowBounds ClientBounds(const QWidget& window) {
  const QRect r = window.geometry();
  return {r.x(), r.y(), r.width(), r.height()};
}

inline void PlaceClient(QWidget& window, int left, int top) {
  window.setGeometry(left, top, window.width(), window.height());
}

}  // namespace kalvane::ui
