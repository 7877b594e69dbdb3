#include "swf/FlashPlaceObject.h"

namespace kalvane {

TFlashPlaceObject::TFlashPlaceObject(TFlashMovie* owner, TFlashIDObject* placed,
                                     std::uint16_t depth)
    : PlacedObject(placed) {
  SetOwner(owner);
  Tag.Depth = depth;
  if (placed) Tag.SetCharacterId(placed->GetCharId());
}

}  // namespace kalvane
