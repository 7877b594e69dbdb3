#pragma once

#include <string>

#include "base/Result.h"

namespace kalvane {

// The product's name and text each project's page sets were last made
// with, kept in the settings file's sections "pageTitle" and
// "pageDescription". A project is found by its path,
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

  // The product's text, in the section "pageDescription"; its line breaks
  // are kept.
  std::string Description(const std::string& project) const;
  TResult SetDescription(const std::string& project, const std::string& description) const;

  static std::string Key(const std::string& project);

 private:
  TResult Write(const char* section, const std::string& project, const std::string& line) const;
  std::string SettingsPath;
};

}  // namespace kalvane
