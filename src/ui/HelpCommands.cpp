#include "ui/HelpCommands.h"

#include <filesystem>
#include <fstream>

#include "base/Texts.h"
#include "project/ProjectTexts.h"
#include "ui/Texts.h"
#include "ui/WindowDialogs.h"

namespace kalvane::ui {

THelpCommands::THelpCommands(IWindowDialogs& dialogs, std::string programFolder,
                             std::string dataFolder, std::string userFolder)
    : Dialogs(dialogs),
      ProgramFolder(std::move(programFolder)),
      DataFolder(std::move(dataFolder)),
      UserFolder(std::move(userFolder)) {}

void THelpCommands::OpenHelp(const std::string& section) {
  const std::string help = DataFolder + "help/index.html";
  std::error_code ec;
  if (std::filesystem::is_regular_file(help, ec)) {
    Dialogs.OpenDocument(help + section);
  } else {
    Dialogs.Warn(kQuestionCaption, kNoHelp);
  }
}

void THelpCommands::ShowHelp() {
  OpenHelp("");
}

void THelpCommands::ShowViewerHelp() {
  // Flash players are gone; our page sets show their movies themselves.
  OpenHelp("#viewing");
}

void THelpCommands::ShowAbout() {
  Dialogs.ShowAbout();
}

void THelpCommands::StartConvertTool() {
  const std::string tool = ProgramFolder + "fotomill";
  std::error_code ec;
  const auto status = std::filesystem::status(tool, ec);
  const bool runnable =
      !ec && std::filesystem::is_regular_file(status) &&
      (status.permissions() & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
  if (runnable) {
    Dialogs.StartProgram(tool);
  } else {
    Dialogs.Warn(kQuestionCaption, kNoConverter);
  }
}

void THelpCommands::ShowFirstRunWelcome() {
  const std::string marker = UserFolder + "velStart";
  std::error_code ec;
  if (std::filesystem::exists(marker, ec)) return;
  std::ofstream(marker) << "install\n";
  if (Dialogs.AskYesNo(kQuestionCaption, kWelcome)) ShowHelp();
}

}  // namespace kalvane::ui
