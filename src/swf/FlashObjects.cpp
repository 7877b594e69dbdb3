#include "swf/FlashObjects.h"

#include "swf/FlashMovie.h"

namespace kalvane {

void TFlashObject::CopyFrom(const TBasedSWFObject&) {}

void TFlashObject::SetOwner(TFlashMovie* owner) {
  OwnerMovie = owner;
  OwnerChanged();
}

void TFlashIDObject::CopyFrom(const TBasedSWFObject& source) {
  const auto* other = dynamic_cast<const TFlashIDObject*>(&source);
  if (!other) return;
  if (!Owner()) SetOwner(other->Owner());
  SetCharId(other->GetCharId());
}

std::int32_t TFlashVisualObject::UnitMultiplier() const {
  return IgnoreMovieUnits || !Owner() ? 1 : Owner()->UnitMultiplier();
}

}  // namespace kalvane
