#pragma once

#include "project/SettingsWindows.h"

class QWidget;

namespace kalvane::ui {

// The main window's place and state as the settings keep them.
class TMainWindowPlace : public IMainWindowSettings {
 public:
  explicit TMainWindowPlace(QWidget& window) : Window(window) {}
  TWindowBounds Bounds() const override;
  void SetLeft(int left) override;
  void SetTop(int top) override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;
  bool IsNormalState() const override;

 private:
  QWidget& Window;
};

}  // namespace kalvane::ui
