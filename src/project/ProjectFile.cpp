#include "project/ProjectFile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>

#include "base/AtomicFile.h"
#include "document/GuideManagement.h"
#include "document/LayerManagement.h"
#include "project/ProjectDocument.h"

namespace kalvane {

namespace {

// The numbers N of the sections named prefix + N (N written without
// leading zeros), ascending: the readers visit only sections that exist, so
// a count of two billion over three sections costs three reads.
std::vector<std::int32_t> SectionNumbers(const TIniFile& file, const std::string& prefix) {
  std::vector<std::int32_t> numbers;
  std::string want = prefix;
  std::transform(want.begin(), want.end(), want.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const std::string& name : file.SectionNames()) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 10) continue;
    std::string head = name.substr(0, prefix.size());
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string number = name.substr(prefix.size());
    if (head != want || number.find_first_not_of("0123456789") != std::string::npos ||
        (number.size() > 1 && number[0] == '0')) {
      continue;
    }
    const long long n = std::stoll(number);
    if (n <= INT32_MAX) numbers.push_back(static_cast<std::int32_t>(n));
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

}  // namespace

TProjectContent ReadProjectContent(const TIniFile& file) {
  TProjectContent content;
  const std::int32_t guideCount = file.ReadInteger("guideLine", "count", -1);
  if (guideCount > 0) {
    for (const std::int32_t j : SectionNumbers(file, "guideItem")) {
      if (j >= guideCount) break;
      const std::string section = "guideItem" + std::to_string(j);
      TProjectGuideEntry entry;
      entry.Orientation = file.ReadInteger(section, "type", -1);
      entry.RelPos = file.ReadFloat(section, "scale", -1.0);
      if (entry.Orientation != -1 && entry.RelPos != -1.0) content.Guides.push_back(entry);
    }
  }
  content.Box = {file.ReadFloat("trimBox", "p1x", 0.05), file.ReadFloat("trimBox", "p1y", 0.05),
                 file.ReadFloat("trimBox", "p2x", 0.95), file.ReadFloat("trimBox", "p2y", 0.95)};
  content.ItemCount = file.ReadInteger("project", "itemCount", -1);
  for (const std::int32_t i : SectionNumbers(file, "projectItem")) {
    if (i >= content.ItemCount) break;
    const std::string section = "projectItem" + std::to_string(i);
    TProjectItemEntry entry;
    entry.Index = i;
    entry.Name = file.ReadString(section, "name", "");
    entry.X = file.ReadInteger(section, "x", 0);
    entry.Y = file.ReadInteger(section, "y", 0);
    const double none = std::numeric_limits<double>::quiet_NaN();
    entry.FX = file.ReadFloat(section, "fx", none);
    entry.FY = file.ReadFloat(section, "fy", none);
    entry.HasFine = std::isfinite(entry.FX) && std::isfinite(entry.FY);
    if (!entry.HasFine) entry.FX = entry.FY = 0;
    if (!entry.Name.empty()) content.Items.push_back(std::move(entry));
  }
  content.Rotation = file.ReadInteger("project", "itemRotate", 0);
  return content;
}

TResult ReadProjectFile(const std::string& path, TProjectContent& content) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return TResult::Fail(TErrorCode::NotFound, path + ": no such project file");
  }
  const auto size = std::filesystem::file_size(path, ec);
  if (ec || size > TIniFile::kMaxFileSize) {
    return TResult::Fail(TErrorCode::Unreadable, path + ": too large to be a project file");
  }
  const TIniFile file = TIniFile::Load(path);
  if (!file.HasSection("project")) {
    return TResult::Fail(TErrorCode::Unreadable,
                         path + ": not a project file (it has no [project] section)");
  }
  content = ReadProjectContent(file);
  return {};
}

void ApplyItemOffset(TLayerItemObject& item, const TProjectItemEntry& entry) {
  const double s = item.GetScale();
  // x and y were rounded from the fine offset; a work pixel either way
  // leaves room for a scale worked out a hair differently here.
  if (entry.HasFine && std::abs(entry.FX * s - entry.X) <= 1.0 &&
      std::abs(entry.FY * s - entry.Y) <= 1.0) {
    item.SetFineOffset({entry.FX, entry.FY});
  } else {
    item.SetOffset({entry.X, entry.Y});
  }
}

void AddProjectGuides(TGuideManagement& guides, const std::vector<TProjectGuideEntry>& entries) {
  for (const TProjectGuideEntry& entry : entries)
    guides.AddAtRelPos(entry.Orientation, entry.RelPos);
}

std::string TPrjSave::Text() const {
  if (!Window) return {};
  TIniFile file;
  const TLayerManagement& items = Window->LayerItems();
  const int n = items.Count();
  file.WriteInteger("project", "itemCount", n);
  file.WriteInteger("project", "itemRotate", items.GetRotation());
  for (int i = 0; i < n; ++i) {
    const TLayerItemObject* item = items.GetItem(i);
    const std::string section = "projectItem" + std::to_string(i);
    file.Write(section, "name", item->GetFileName());
    file.WriteFloat(section, "x", item->GetOffset().X);
    file.WriteFloat(section, "y", item->GetOffset().Y);
    file.WriteFloat(section, "fx", item->GetFineOffset().X);
    file.WriteFloat(section, "fy", item->GetFineOffset().Y);
  }
  const TGuideManagement& guides = Window->GuideLines();
  file.WriteInteger("guideLine", "count", guides.Count());
  for (int j = 0; j < guides.Count(); ++j) {
    const std::string section = "guideItem" + std::to_string(j);
    file.WriteInteger(section, "type", guides.GetGuide(j)->GetOrientation());
    file.WriteFloat(section, "scale", guides.GetGuide(j)->GetRelPos());
  }
  const TRelBox box = Window->TrimBox().GetRelBox();
  file.WriteFloat("trimBox", "p1x", box.p1x);
  file.WriteFloat("trimBox", "p1y", box.p1y);
  file.WriteFloat("trimBox", "p2x", box.p2x);
  file.WriteFloat("trimBox", "p2y", box.p2y);
  return file.ToText();
}

TResult TPrjSave::Save(const std::string& path, TReadOnly readOnly) const {
  if (!Window || path.empty()) return TResult::Fail(TErrorCode::BadSetting, "no project to save");
  const TLayerManagement& items = Window->LayerItems();
  for (int i = 0; i < items.Count(); ++i) {
    const std::string& name = items.GetItem(i)->GetFileName();
    if (name.find_first_of("\r\n") != std::string::npos) {
      return TResult::Fail(
          TErrorCode::BadSetting,
          name + ": a file name with a line break cannot be kept in a project file");
    }
  }
  return WriteFileAtomically(path, Text(), readOnly);
}

void TPrjFormat::Reset() {
  if (!Window) return;
  Window->View().HideItemPanel();
  Window->SetGuideLines({});
  Window->LayerItems().SetRotation(0);
  Window->LayerItems().Clear();
  Window->SetTrimRelBox(kDefaultRelBox);
  Window->SetProjectPath("");
  Window->View().RepaintWorkArea();
}

}  // namespace kalvane
