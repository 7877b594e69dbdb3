#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/Seams.h"
#include "project/ProjectView.h"

namespace kalvane::cli {

// No window: the progress is drawn on the terminal.
class TCliView : public THeadlessView {
 public:
  std::unique_ptr<IProgress> CreateProgress() override;
};

// Answers the loaders' questions without a person: a moved photo is looked
// for in one folder (and that folder is used for the rest); without one, a
// moved photo ends the load.
class TBatchDialogs : public IDialogs {
 public:
  explicit TBatchDialogs(std::string searchFolder);
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  void Warn(const std::string& caption, const std::string& text) override;
  void Inform(const std::string& caption, const std::string& text) override;
  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& fileName) override;

 private:
  std::string Folder;
};

// A bar on stderr when it is a terminal; silent otherwise.
std::unique_ptr<TProgressModel> MakeTerminalProgress();

}  // namespace kalvane::cli
