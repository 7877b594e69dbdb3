#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/SWFObject.h"
#include "swf/SWFRecords.h"
#include "swf/SWFShapeRecords.h"

namespace kalvane {

// DefineShape (code 2); the shape object writes it as DefineShape2 (22)
// or DefineShape3 (32).
class TSWFDefineShape : public TSWFObject {
 public:
  TSWFDefineShape() { TagCode = 2; }
  std::vector<std::unique_ptr<TSWFShapeRecord>> ShapeRecords;
  TFillStyles FillStyles;
  bool HasAlpha = false;
  TLineStyles LineStyles;
  TSWFRect ShapeBounds;
  std::uint16_t ShapeId = 0;

  void WriteBody(TBitsEngine& be) override;
};

class TSWFDefineShape3 : public TSWFDefineShape {
 public:
  TSWFDefineShape3() {
    TagCode = 32;
    HasAlpha = true;
  }
  int RequiredVersion() const override { return 3; }
};

}  // namespace kalvane
