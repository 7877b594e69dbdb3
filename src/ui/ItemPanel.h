#pragma once

#include <QWidget>
#include <vector>

#include "ui/ActionRegistry.h"

class QSlider;
class QWheelEvent;

namespace kalvane::ui {

class TflmLayerList;

// The panel left of the work area: the item commands' buttons, the item
// list, and the monochrome display's toggle with its controls (shown only
// while it is on).
class TItemPanel : public QWidget {
  Q_OBJECT
 public:
  TItemPanel(TActionRegistry& commands, QWidget* parent);
  TflmLayerList* List = nullptr;
  QSlider* Density = nullptr;  // the monochrome display's density, in %
  void ShowMonoControls(bool shown);
  // A wheel turn that reached the window scrolls the list a step, unless
  // the density bar has the focus (it takes its own).
  void WindowWheel(const QWheelEvent& e);

 private:
  std::vector<QWidget*> MonoControls;
};

}  // namespace kalvane::ui
