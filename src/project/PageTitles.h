#pragma once

#include <string>

#include "base/Result.h"

namespace kalvane {

// The product's name each project's page sets were last made with, kept in
// the settings file's section "pageTitle". A project is found by its path,
// written as hex digits so that the file's case-blind keys still tell paths
// apart that differ only in case.
class TPageTitles {
 public:
  // The settings file in the per-user folder.
  TPageTitles();
  explicit TPageTitles(std::string settingsPath);

  // Empty for a project never given one, and for an unsaved project.
  std::string Title(const std::string& project) const;
  // Other keys of the file are kept; nothing is written for an unsaved
  // project (an empty path).
  TResult SetTitle(const std::string& project, const std::string& title) const;

  static std::string Key(const std::string& project);

 private:
  std::string SettingsPath;
};

}  // namespace kalvane
