#include "swf/FlashObjects.h"

#include "swf/FlashMovie.h"

namespace kalvane {

void TFlashObject::SetOwner(TFlashMovie* owner) {
  OwnerMovie = owner;
  OwnerChanged();
}

std::int32_t TFlashVisualObject::UnitMultiplier() const {
  return IgnoreMovieUnits || !Owner() ? 1 : Owner()->UnitMultiplier();
}

}  // namespace kalvane
