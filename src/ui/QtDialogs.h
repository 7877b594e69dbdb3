#pragma once

#include <QString>

#include "ui/WindowDialogs.h"

class QWidget;

namespace kalvane::ui {

class TfrmSwfExportDialog;

// The dialogs as modal boxes and file dialogs over the main window, each
// preceded by the system beep as the user expects of a question.
class TQtDialogs : public IWindowDialogs {
 public:
  TQtDialogs(QWidget* owner, TfrmSwfExportDialog* widthDialog)
      : Owner(owner), WidthDialog(widthDialog) {}
  bool AskYesNo(const std::string& caption, const std::string& text) override;
  void Warn(const std::string& caption, const std::string& text) override;
  void Inform(const std::string& caption, const std::string& text) override;
  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& fileName) override;
  bool AskOkCancel(const std::string& caption, const std::string& text) override;
  TAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override;
  void ShowError(const std::string& caption, const std::string& text) override;
  std::vector<std::string> PickImages() override;
  std::optional<std::string> PickProject(const std::string& folder) override;
  std::optional<std::string> PickSaveFile(const std::string& filter, const std::string& defaultName,
                                          const std::string& defaultSuffix) override;
  std::optional<std::string> PickFolder(const std::string& title,
                                        const std::string& start) override;
  std::optional<int> AskExportWidth() override;
  void OpenDocument(const std::string& pathOrUrl) override;
  void StartProgram(const std::string& path) override;
  void ShowAbout() override;
  // The page's address in a box (its text can be copied), shown without
  // waiting, when no browser could open it.
  void ShowAddress(const QString& address);

 private:
  QWidget* Owner = nullptr;
  TfrmSwfExportDialog* WidthDialog = nullptr;
  QString LastFolder;
};

// "description|*.a;*.b" as Qt writes it: "description (*.a *.b)".
QString QtFilter(const std::string& filter);

}  // namespace kalvane::ui
