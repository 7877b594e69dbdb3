#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "swf/SWFObject.h"
#include "swf/SWFRecords.h"

namespace kalvane {

class TSWFBasedPlaceObject : public TSWFObject {
 public:
  std::uint16_t CharacterId = 0;
  std::uint16_t Depth = 0;
};

// PlaceObject2 (26). Clip actions, clip depth and ratio are not used by
// this program, so their flags are never set.
class TSWFPlaceObject2 : public TSWFBasedPlaceObject {
 public:
  TSWFPlaceObject2() { TagCode = 26; }

  void SetCharacterId(std::uint16_t id);
  TSWFMatrix& Matrix();
  TSWFColorTransform& ColorTransform();
  void SetName(const std::string& name);
  void SetMove(bool move) { PlaceFlagMove = move; }

  bool HasCharacter() const { return PlaceFlagHasCharacter; }
  bool HasMatrix() const { return PlaceFlagHasMatrix; }
  bool HasName() const { return PlaceFlagHasName; }
  bool IsMove() const { return PlaceFlagMove; }
  const std::string& Name() const { return InstanceName; }

  std::uint8_t EventVersion = 3;

  int RequiredVersion() const override { return 3; }
  void WriteBody(TBitsEngine& be) override;

 private:
  std::unique_ptr<TSWFColorTransform> ColorTransformRecord;
  std::unique_ptr<TSWFMatrix> MatrixRecord;
  std::string InstanceName;
  bool PlaceFlagHasCharacter = false;
  bool PlaceFlagHasColorTransform = false;
  bool PlaceFlagHasMatrix = false;
  bool PlaceFlagHasName = false;
  bool PlaceFlagMove = false;
};

}  // namespace kalvane
