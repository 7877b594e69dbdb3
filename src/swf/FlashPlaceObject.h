#pragma once

#include "swf/FlashObjects.h"
#include "swf/SWFPlaceObject2.h"

namespace kalvane {

// A placement on the display list; it takes no character id.
class TFlashPlaceObject : public TFlashObject {
 public:
  TFlashPlaceObject(TFlashMovie* owner, TFlashIDObject* placed, std::uint16_t depth);

  int RequiredVersion() const override { return 3; }
  void WriteTag(TBitsEngine& be) override { Tag.WriteTag(be); }

  void SetMove(bool move) { Tag.SetMove(move); }
  TSWFPlaceObject2& PlaceTag() { return Tag; }
  TFlashIDObject* Placed() const { return PlacedObject; }

 private:
  TFlashIDObject* PlacedObject = nullptr;
  TSWFPlaceObject2 Tag;
};

}  // namespace kalvane
