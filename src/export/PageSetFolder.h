#pragma once

#include <string>
#include <vector>

#include "base/MarkedFolder.h"
#include "base/Result.h"

namespace kalvane {

// The folder a page set goes into: whether a set may go there, and the
// mark that tells the sets we wrote apart from other files (its files are
// replaced unasked, others only with the user's consent).
class TPageSetFolder : public TMarkedFolder {
 public:
  // Written with every set: the names of the files our sets put there.
  static constexpr const char* kMarkName = ".kalvane-pageset";
  static constexpr const char* kMovieName = "veldata.swf";
  // The set's first frame, its sharper movie, and the snippet for a shop's page.
  static constexpr const char* kPosterName = "poster.jpg";
  static constexpr const char* kLargeMovieName = "veldata-2x.swf";
  static constexpr const char* kEmbedName = "embed.html";
  // The viewer alone, which the snippet frames.
  static constexpr const char* kViewerPageName = "viewer.html";

  explicit TPageSetFolder(const std::string& folder);

  // Refuses the file-system root, the home folder itself, system folders,
  // and the templates (a set there would replace a design's own files).
  // `what` names what would go there in the message.
  TResult CheckPlace(const std::string& templateFolder, const std::string& designFolder,
                     const std::string& what = "page set") const;

  // What a set of the design writes: its files but prev.jpg and prev.html,
  // the data movies, the poster, the viewer page and the snippet.
  static std::vector<std::string> SetFiles(const std::string& designFolder);
};

// The page set of `designFolder` may go into `folder`: the place is
// allowed, no folder or write-protected file is where one of its files
// goes, and files of other origin would be replaced only if `overwrite`.
TResult CheckPageSetOutput(const std::string& folder, const std::string& designFolder,
                           bool overwrite);

}  // namespace kalvane
