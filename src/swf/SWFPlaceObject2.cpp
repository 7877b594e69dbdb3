#include "swf/SWFPlaceObject2.h"

namespace kalvane {

void TSWFPlaceObject2::SetCharacterId(std::uint16_t id) {
  CharacterId = id;
  PlaceFlagHasCharacter = true;
}

TSWFMatrix& TSWFPlaceObject2::Matrix() {
  if (!MatrixRecord) MatrixRecord = std::make_unique<TSWFMatrix>();
  PlaceFlagHasMatrix = true;
  return *MatrixRecord;
}

TSWFColorTransform& TSWFPlaceObject2::ColorTransform() {
  if (!ColorTransformRecord) ColorTransformRecord = std::make_unique<TSWFColorTransform>();
  PlaceFlagHasColorTransform = true;
  return *ColorTransformRecord;
}

void TSWFPlaceObject2::SetName(const std::string& name) {
  InstanceName = name;
  PlaceFlagHasName = !name.empty();
}

void TSWFPlaceObject2::WriteBody(TBitsEngine& be) {
  be.PutFlag(false);  // clip actions
  be.PutFlag(false);  // clip depth
  be.PutFlag(PlaceFlagHasName);
  be.PutFlag(false);  // ratio
  be.PutFlag(PlaceFlagHasColorTransform);
  be.PutFlag(PlaceFlagHasMatrix);
  be.PutFlag(PlaceFlagHasCharacter);
  be.PutFlag(PlaceFlagMove);
  be.PutUI16(Depth);
  if (PlaceFlagHasCharacter) be.PutUI16(CharacterId);
  if (PlaceFlagHasMatrix) be.PutMatrix(*MatrixRecord);
  if (PlaceFlagHasColorTransform) ColorTransformRecord->Write(be);
  if (PlaceFlagHasName) be.PutString(InstanceName, true, true);
}

}  // namespace kalvane
