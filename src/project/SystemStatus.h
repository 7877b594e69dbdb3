#pragma once

#include <string>

#include "base/Result.h"

#include "project/SettingsWindows.h"

namespace kalvane {

// The per-user settings file "velinit": where the main and template
// windows were and the template window's choices.
class TSystemStatus {
 public:
  // The file and the template folder beside the program by default.
  TSystemStatus();
  TSystemStatus(std::string settingsPath, std::string templateFolder);

  void SetMainWindow(IMainWindowSettings* window) {
    if (window) MainWindow = window;
  }
  void SetTemplateWindow(ITemplateWindowSettings* window) {
    if (window) TemplateWindow = window;
  }
  const std::string& GetSettingsPath() const { return SettingsPath; }

  // Positions only while the main window is in its normal state; the
  // choices always. Other keys in the file are kept.
  TResult SaveSettings();
  void LoadSettings();

 private:
  IMainWindowSettings* MainWindow = nullptr;
  ITemplateWindowSettings* TemplateWindow = nullptr;
  std::string SettingsPath;
  std::string TemplateFolder;
};

}  // namespace kalvane
