#include "export/HtmlPreview.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/AppUtil.h"

namespace kalvane {

namespace fs = std::filesystem;

THtmlPreview::THtmlPreview()
    : THtmlPreview(GetDataFolder() + "velzoom/", GetExportTempFolder() + "prev/") {}

THtmlPreview::THtmlPreview(std::string viewerFolder, std::string previewFolder)
    : Viewer(WithTrailingSlash(std::move(viewerFolder))),
      Preview(WithTrailingSlash(std::move(previewFolder))) {}

TResult THtmlPreview::PrepareFolder() const {
  auto fail = [](const std::string& why) { return TResult::Fail(TErrorCode::WriteFailed, why); };
  // The export's folder is private to the user; the preview folder inside
  // it is made the same way.
  const std::string parent = fs::path(Preview.substr(0, Preview.size() - 1)).parent_path().string();
  if (parent + "/" == GetExportTempFolder()) {
    if (TResult made = PrepareExportTempFolder(); !made.Ok()) return made;
  }
  if (mkdir(Preview.c_str(), 0700) != 0 && errno != EEXIST) {
    return fail(Preview + ": " + std::strerror(errno));
  }
  std::error_code ec;
  for (const char* name : {kPage, "velzoom.swf", "velzoom.js"})
    fs::remove(Preview + name, ec);
  for (const char* name : {kPage, "velzoom.swf", "velzoom.js"}) {
    const bool optional = std::string(name) == "velzoom.swf";
    if (optional && !fs::exists(Viewer + name, ec)) continue;
    if (!CopyNewFile(Viewer + name, Preview + name)) {
      return fail(Viewer + name + ": cannot copy it into " + Preview);
    }
  }
  return {};
}

}  // namespace kalvane
