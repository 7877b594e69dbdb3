#pragma once

#include "project/Commands.h"
#include "ui/ActionRegistry.h"

class QAction;
class QComboBox;
class QHBoxLayout;
class QWidget;
class QMainWindow;
class QMenu;

namespace kalvane::ui {

// The main window's menus, the canvas's popup and the main toolbar: every
// command's action made in the registry (its object name the menu item's
// own) and shown where the editor shows it.
struct TMainMenus {
  // The toggles start as `view` says.
  void Build(QMainWindow& window, TActionRegistry& registry, const TViewState& view);
  void BuildToolBar(QMainWindow& window, TActionRegistry& registry);
  // The phone movie's command, its button and their separators, hidden
  // where its tools are missing.
  void ShowMobileExport(TActionRegistry& registry, bool shown) const;
  // The work area's toggles: the image lock, the box's and the guides'.
  static QHBoxLayout* ToggleRow(QWidget* parent, TActionRegistry& registry);

  QMenu* Popup = nullptr;
  QComboBox* FrameRate = nullptr;  // the simple preview's rate
  QAction* MobileButton = nullptr;
  QAction* MobileSeparator = nullptr;
  QAction* MobileMenuSeparator = nullptr;
};

}  // namespace kalvane::ui
