#pragma once

#include <string>

namespace kalvane::ui {

class IWindowDialogs;

// The help menu's commands: the help pages shipped with the program, the about
// box and the photo converter, and the welcome asked once after install.
class THelpCommands {
 public:
  // `programFolder`: where the converter is, `dataFolder`: where help/
  // is, both with a trailing "/"; `userFolder`: where the welcome's marker
  // is kept.
  THelpCommands(IWindowDialogs& dialogs, std::string programFolder, std::string dataFolder,
                std::string userFolder);

  void ShowHelp();
  void ShowViewerHelp();
  void ShowAbout();
  void StartConvertTool();
  // Asks once whether to read the help; a marker file remembers it.
  void ShowFirstRunWelcome();

 private:
  // The help at a section ("#name") or its start.
  void OpenHelp(const std::string& section);

  IWindowDialogs& Dialogs;
  std::string ProgramFolder;
  std::string DataFolder;
  std::string UserFolder;
};

}  // namespace kalvane::ui
