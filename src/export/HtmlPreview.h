#pragma once

#include <string>

#include "base/Result.h"

namespace kalvane {

// The folder of the HTML preview: the viewer page and script copied afresh
// from the program's velzoom/ folder, next to which the exporter then
// writes the data movie tmp.swf.
class THtmlPreview {
 public:
  static constexpr const char* kPage = "tmp.html";
  static constexpr const char* kMovie = "tmp.swf";

  // Defaults: GetDataFolder() + "velzoom/" and GetExportTempFolder() + "prev/".
  THtmlPreview();
  THtmlPreview(std::string viewerFolder, std::string previewFolder);

  // Creates the folder when missing, removes the old viewer files and copies
  // tmp.html, velzoom.swf (when there is one) and velzoom.js. False, with
  // the reason, when the page or the script cannot be put there.
  TResult PrepareFolder() const;
  std::string PagePath() const { return Preview + kPage; }
  std::string MoviePath() const { return Preview + kMovie; }
  const std::string& Folder() const { return Preview; }

 private:
  std::string Viewer;
  std::string Preview;
};

}  // namespace kalvane
