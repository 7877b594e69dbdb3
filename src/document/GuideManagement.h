#pragma once

#include <utility>
#include <vector>

#include "document/GuideShape.h"

namespace kalvane {

// The guide lines of the project, in the order the project file lists them.
class TGuideManagement {
 public:
  int Count() const { return static_cast<int>(Guides.size()); }
  // Null outside 0 .. Count() - 1.
  const TGuideShape* GetGuide(int i) const;
  const std::vector<TGuideShape>& Lines() const { return Guides; }
  void SetLines(std::vector<TGuideShape> lines) { Guides = std::move(lines); }

  void AddAtRelPos(int orientation, double r);
  void SetRelPos(int i, double r);
  // The last guide takes the deleted one's place.
  void Delete(int i);
  void Clear() { Guides.clear(); }

 private:
  std::vector<TGuideShape> Guides;
};

}  // namespace kalvane
