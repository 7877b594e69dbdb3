#include "document/GuideManagement.h"

namespace kalvane {

const TGuideShape* TGuideManagement::GetGuide(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return &Guides[static_cast<std::size_t>(i)];
}

void TGuideManagement::AddAtRelPos(int orientation, double r) {
  Guides.emplace_back(orientation, r);
}

void TGuideManagement::SetRelPos(int i, double r) {
  if (i >= 0 && i < Count()) Guides[static_cast<std::size_t>(i)].SetRelPos(r);
}

void TGuideManagement::Delete(int i) {
  if (i < 0 || i >= Count()) return;
  Guides[static_cast<std::size_t>(i)] = Guides.back();
  Guides.pop_back();
}

}  // namespace kalvane
