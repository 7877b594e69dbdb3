#pragma once

#include <memory>
#include <optional>
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
// A link in the folder where a file goes is replaced, never written through.
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
  // One more file of the set, `bytes` as its whole content.
  void Add(const std::string& name, const std::string& bytes);
  // A finished file in the output folder's file system, renamed to `name`
  // in the folder by Commit (after the files staged before it).
  void AddMoved(const std::string& path, const std::string& name);

 private:
  friend class TDesignExport;
  TResult Outcome;
  std::string Folder;
  std::vector<std::string> Names;
  std::vector<std::unique_ptr<TAtomicFile>> Files;  // null for a moved file
  std::vector<std::string> MovedFrom;
};

// How a page's viewer turns by itself and when it loads its movie. Each
// design's velzoom.js holds its own choices as `var NAME = "VALUE";` lines.
struct TViewerSettings {
  static constexpr int kMaxResume = 3600;
  bool Autoplay = true;
  bool SpinOnce = true;      // one turn, then stand
  bool StopOnTouch = true;   // the visitor's first touch or drag stops it for good
  int ResumeAfter = 0;       // seconds without the visitor before it turns again; 0: never
  bool LoadOnClick = false;  // false: load as the viewer comes near the screen
  bool operator==(const TViewerSettings&) const = default;
};
// The settings a script holds; what it lacks or holds unreadably keeps the
// default.
TViewerSettings ReadViewerSettings(const std::string& script);
std::string WithViewerSettings(const std::string& script, const TViewerSettings& settings);
// The value of the first `var NAME = "VALUE";` of a script.
std::optional<std::string> ScriptValue(const std::string& script, const std::string& name);
// Every `var NAME = "...";` of a script given `value` (which holds no quote).
std::string WithScriptValue(const std::string& script, const std::string& name,
                            const std::string& value);

// What a page set says and has beyond the design's own files.
struct TPageOptions {
  std::string Title;  // the product's name; empty keeps the design's placeholder
  std::optional<TViewerSettings> Viewer;  // empty: the design's own
  std::string Poster;                     // the first frame's file name in the set, if written
  std::string LargeMovie;                 // the sharper movie's file name, if written
  std::string Description;                // the product's text; empty leaves the page without one
};

// The name pages use until the product's is given.
inline constexpr const char* kTitlePlaceholder = "商品名";
// A title as one line: control characters become spaces, the ends trimmed.
std::string CleanTitle(const std::string& title);
// `text` safe inside an HTML element or a quoted attribute.
std::string HtmlEscaped(const std::string& text);
// A design page with every placeholder name replaced by the title. A part
// of the page's <title> after " | " that the title already says is dropped.
std::string WithTitle(const std::string& page, const std::string& title);
// A design page whose element marked data-vz-description holds the
// description (its lines kept apart) in place of the design's sample text;
// without a description the element goes, its line too.
std::string WithDescription(const std::string& page, const std::string& description);
// The height of the viewer's control strip under the picture, in CSS pixels
// (as velzoom.js has it).
inline constexpr int kViewerStripHeight = 46;
// The viewer alone, filling its window: the page the snippet frames.
std::string ViewerPage(const std::string& title);
// The snippet that shows the page set in a shop's page: an iframe of the
// viewer alone, allowed to go full screen, as wide as its place allows (at
// most 960 pixels) and as tall as the movie's shape and the strip need.
std::string EmbedSnippet(const std::string& title, int width, int height);

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
  // The pages (.html) get the options' title and velzoom.js its viewer
  // settings and the names of the poster and the sharper movie.
  static TDesignStage StageDesign(const std::string& designFolder, const std::string& outputFolder,
                                  bool useHelp, const TPageOptions& page = {});
  // StageDesign, committed at once.
  static TDesignResult CopyDesign(const std::string& designFolder, const std::string& outputFolder,
                                  bool useHelp, const TPageOptions& page = {});
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
