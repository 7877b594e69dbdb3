#pragma once

#include <QWidget>
#include <vector>

#include "ui/ActionRegistry.h"

class QSlider;

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

 private:
  std::vector<QWidget*> MonoControls;
};

}  // namespace kalvane::ui
