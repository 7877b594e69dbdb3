#pragma once

#include <string>
#include <vector>

#include "base/Result.h"

namespace kalvane {

// What copying a design came to.
struct TDesignResult : TResult {
  std::vector<std::string> Copied;  // file names, in the order copied
};

// The installed design templates and the file step of the design export:
// a design's files into the output folder, its viewer script adjusted.
class TDesignExport {
 public:
  // Themes: the template folder's sub-folders except "preview"; designs:
  // a theme's sub-folders. Both in name order.
  static std::vector<std::string> Themes(const std::string& templateFolder);
  static std::vector<std::string> Designs(const std::string& themeFolder);
  // Every file of the design but prev.jpg and prev.html, replacing files
  // of the same name; then velzoom.js loses the "#" of its colours, and its
  // help is switched off unless `useHelp`. Sub-folders are not copied.
  static TDesignResult CopyDesign(const std::string& designFolder, const std::string& outputFolder,
                                  bool useHelp);
  // `var themeColor = "#` and `var bgcolor = "#` without the "#".
  static std::string StripColourHashes(const std::string& script);
};

// Rewrites `var help = "true";` to `var help = "false";` throughout a page
// script. A missing file is left alone (returns true); a failed write
// returns false with the reason and leaves the file as it was.
TResult DisableHelp(const std::string& path);

}  // namespace kalvane
