#include "export/PageSetFolder.h"

#include <algorithm>

#include "base/AppUtil.h"

namespace kalvane {

TPageSetFolder::TPageSetFolder(const std::string& folder)
    : TMarkedFolder(folder, kMarkName,
                    "# files of the page sets Kalvane wrote here; it replaces them without "
                    "asking\n") {}

TResult TPageSetFolder::CheckPlace(const std::string& templateFolder,
                                   const std::string& designFolder, const std::string& what) const {
  if (TResult place = TMarkedFolder::CheckPlace(what); !place.Ok()) return place;
  // Writing into the templates would replace a design's own files.
  if (IsWithin(templateFolder) || IsWithin(designFolder)) {
    return TResult::Fail(TErrorCode::UnsafeFolder, Path().substr(0, Path().size() - 1) + ": the " +
                                                       what +
                                                       " cannot go into the design templates");
  }
  return {};
}

std::vector<std::string> TPageSetFolder::SetFiles(const std::string& designFolder) {
  std::vector<std::string> names;
  for (std::string& name : ListFiles(WithTrailingSlash(designFolder))) {
    if (name != "prev.jpg" && name != "prev.html") names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  for (const char* ours : {kMovieName, kLargeMovieName, kPosterName, kViewerPageName, kEmbedName}) {
    if (std::find(names.begin(), names.end(), ours) == names.end()) names.push_back(ours);
  }
  return names;
}

TResult CheckPageSetOutput(const std::string& folder, const std::string& designFolder,
                           bool overwrite) {
  const TPageSetFolder target(folder);
  if (TResult place = target.CheckPlace(GetTemplateFolder(), designFolder); !place.Ok())
    return place;
  std::vector<std::string> files = TPageSetFolder::SetFiles(designFolder);
  files.push_back(TPageSetFolder::kMarkName);
  if (TResult entries = target.CheckEntries(files); !entries.Ok()) return entries;
  files.pop_back();
  if (overwrite) return {};
  const std::vector<std::string> foreign = target.Foreign(files);
  if (foreign.empty()) return {};
  std::string list;
  for (const std::string& name : foreign)
    list += (list.empty() ? "" : ", ") + name;
  return TResult::Fail(TErrorCode::WouldReplace,
                       target.Path() + ": would replace files no page set of ours wrote: " + list);
}

}  // namespace kalvane
