#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/AtomicFile.h"
#include "document/BandManagement.h"
#include "document/GuideManagement.h"
#include "project/IniFile.h"

namespace kalvane {

class TProjectDocument;
class TLayerItemObject;

// A project file taken apart in the reader's order, with its defaults: what
// the loaders then apply (guides, box, items, rotation last).
struct TProjectGuideEntry {
  std::int32_t Orientation = -1;  // 1 horizontal, 0 vertical; others end up vertical
  double RelPos = -1.0;
};
struct TProjectItemEntry {
  std::int32_t Index = 0;  // its projectItem section number
  std::string Name;        // the stored path, as written (maybe a Windows path)
  std::int32_t X = 0;      // work pixels
  std::int32_t Y = 0;
  bool HasFine = false;  // fx and fy both given: the offset in photo pixels
  double FX = 0;
  double FY = 0;
};
struct TProjectContent {
  std::vector<TProjectGuideEntry> Guides;  // skipped entries left out
  TRelBox Box = kDefaultRelBox;
  std::int32_t ItemCount = -1;
  std::vector<TProjectItemEntry> Items;  // entries without a name left out
  std::int32_t Rotation = 0;
};

// Reads only sections that exist, so a count of two billion over three
// sections costs three reads.
TProjectContent ReadProjectContent(const TIniFile& file);
// The project file at `path`, refused (never read as an empty project) when
// it is missing, too large, or has no [project] section.
TResult ReadProjectFile(const std::string& path, TProjectContent& content);
// Gives a loaded item (its scale set) the entry's offset: the fine one
// when the file has it and it still agrees with x and y (a program that
// knows only those may have changed them since), else x and y.
void ApplyItemOffset(TLayerItemObject& item, const TProjectItemEntry& entry);
// Adds the guides in file order.
void AddProjectGuides(TGuideManagement& guides, const std::vector<TProjectGuideEntry>& entries);

// Writes the project: sections and keys in a fixed order, reals in the
// general format, offsets as whole work pixels (x, y, rounded from the fine
// offset) and in photo pixels (fx, fy; readers that do not know them pass
// them by).
class TPrjSave {
 public:
  void SetMainWindow(const TProjectDocument* document) {
    if (document) Window = document;
  }
  // The file's text; empty without a window.
  std::string Text() const;
  // Replaces the file only with a complete new one. False, with the
  // reason, when nothing could be written (also without a window or path).
  // A write-protected file is replaced only when `readOnly` allows it.
  TResult Save(const std::string& path, TReadOnly readOnly = TReadOnly::Refuse) const;

 private:
  const TProjectDocument* Window = nullptr;
};

// Empties the project: before an open and for a new project.
class TPrjFormat {
 public:
  void SetMainWindow(TProjectDocument* document) {
    if (document) Window = document;
  }
  void Reset();

 private:
  TProjectDocument* Window = nullptr;
};

}  // namespace kalvane
