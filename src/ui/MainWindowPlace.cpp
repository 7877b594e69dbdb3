#include "ui/MainWindowPlace.h"

#include <QWidget>
#include <algorithm>

#include "ui/WindowPlace.h"

namespace kalvane::ui {

// The client area's place and size: a window placed before it is shown
// has no frame yet, so a frame's corner saved would come back as the
// client's and the window would creep down by its title bar each start.
TWindowBounds TMainWindowPlace::Bounds() const {
  return ClientBounds(Window);
}

void TMainWindowPlace::SetLeft(int left) {
  PlaceClient(Window, left, Window.geometry().y());
}

void TMainWindowPlace::SetTop(int top) {
  PlaceClient(Window, Window.geometry().x(), top);
}

void TMainWindowPlace::SetWidth(int width) {
  Window.resize(std::max(width, Window.minimumWidth()), Window.height());
}

void TMainWindowPlace::SetHeight(int height) {
  Window.resize(Window.width(), std::max(height, Window.minimumHeight()));
}

bool TMainWindowPlace::IsNormalState() const {
  return !Window.isMaximized() && !Window.isMinimized() && !Window.isFullScreen();
}

}  // namespace kalvane::ui
