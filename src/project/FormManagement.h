#pragma once

#include "project/SettingsWindows.h"

namespace kalvane {

// The saved/modified state of the project and the commands that follow
// from it and from whether the project has items. The state is kept here;
// the two save commands only show it.
class TFormManagement {
 public:
  void SetMainWindow(ICommandView* window) {
    if (window) MainWindow = window;
  }
  void MarkSaved();
  void MarkModified();
  bool IsSaved() const { return Saved; }
  void UpdateCommandStates();

 private:
  void ShowSavedState();
  ICommandView* MainWindow = nullptr;
  bool Saved = true;
};

}  // namespace kalvane
