#pragma once

#include <optional>
#include <string>

#include "base/Seams.h"

namespace kalvane::cli {

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

}  // namespace kalvane::cli
