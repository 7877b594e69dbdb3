#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Result.h"

namespace kalvane {

class TAtomicFile;

// What copying a design came to.
struct TDesignResult : TResult {
  std::vector<std::string> Copied;  // file names, in the order copied
};

// A design's files made ready in an output folder: each written whole
// under a temporary name beside the file it is to replace. Commit puts
// them in place; dropped without Commit, the temporaries go and the folder
// is as it was, so an export that fails leaves the earlier page set whole.
class TDesignStage {
 public:
  TDesignStage();
  ~TDesignStage();
  TDesignStage(TDesignStage&&) noexcept;
  TDesignStage& operator=(TDesignStage&&) noexcept;

  // Why the files could not be made ready; Ok when they all are.
  const TResult& Result() const { return Outcome; }
  // Renames every staged file over its place, in the order staged.
  TDesignResult Commit();

 private:
  friend class TDesignExport;
  TResult Outcome;
  std::vector<std::string> Names;
  std::vector<std::unique_ptr<TAtomicFile>> Files;
};

// The installed design templates and the file step of the design export:
// a design's files into the output folder, its viewer script adjusted.
class TDesignExport {
 public:
  // Themes: the template folder's sub-folders except "preview"; designs:
  // a theme's sub-folders. Both in name order.
  static std::vector<std::string> Themes(const std::string& templateFolder);
  static std::vector<std::string> Designs(const std::string& themeFolder);
  // Every file of the design but prev.jpg and prev.html (and a
  // veldata.swf, which the export writes itself), staged for the output
  // folder in name order; velzoom.js loses the "#" of its colours, and its
  // help is switched off unless `useHelp`. Sub-folders are not copied.
  static TDesignStage StageDesign(const std::string& designFolder, const std::string& outputFolder,
                                  bool useHelp);
  // StageDesign, committed at once.
  static TDesignResult CopyDesign(const std::string& designFolder, const std::string& outputFolder,
                                  bool useHelp);
  // `var themeColor = "#` and `var bgcolor = "#` without the "#".
  static std::string StripColourHashes(const std::string& script);
};

// `var help = "true";` made `var help = "false";` throughout a script.
std::string HelpSwitchedOff(const std::string& script);
// Rewrites `var help = "true";` to `var help = "false";` throughout a page
// script. A missing file is left alone (returns true); a failed write
// returns false with the reason and leaves the file as it was.
TResult DisableHelp(const std::string& path);

}  // namespace kalvane
