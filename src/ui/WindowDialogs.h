#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Seams.h"

namespace kalvane::ui {

enum class TAnswer { Yes, No, Cancel };

// Everything the main window asks the user, beside what the loaders ask.
// The editor shows modal boxes and file dialogs; tests answer from a
// script.
class IWindowDialogs : public IDialogs {
 public:
  virtual bool AskOkCancel(const std::string& caption, const std::string& text) = 0;
  virtual TAnswer AskYesNoCancel(const std::string& caption, const std::string& text) = 0;
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
  // Image files to add; empty when cancelled.
  virtual std::vector<std::string> PickImages() = 0;
  // A project file to open, the dialog starting in `folder` (or where it
  // was last).
  virtual std::optional<std::string> PickProject(const std::string& folder) = 0;
  // A file to write; `filter` as "description|*.ext", asking before
  // replacing an existing file.
  virtual std::optional<std::string> PickSaveFile(const std::string& filter,
                                                  const std::string& defaultName,
                                                  const std::string& defaultSuffix) = 0;
  // A folder, the dialog starting in `start`; nothing when cancelled.
  virtual std::optional<std::string> PickFolder(const std::string& title,
                                                const std::string& start) = 0;
  // The export width dialog; nothing when cancelled.
  virtual std::optional<int> AskExportWidth() = 0;
  // A page or file opened with the desktop's program for it.
  virtual void OpenDocument(const std::string& pathOrUrl) = 0;
  // A program started without waiting for it.
  virtual void StartProgram(const std::string& path) = 0;
  virtual void ShowAbout() = 0;
};

}  // namespace kalvane::ui
