#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/SWFObject.h"

namespace kalvane {

class TSWFShowFrame : public TSWFObject {
 public:
  TSWFShowFrame() { TagCode = 1; }
};

// DefineSprite (39): a movie clip with its own timeline of control tags,
// ended by its own End tag. The frame count is that of its ShowFrames.
class TSWFDefineSprite : public TSWFObject {
 public:
  TSWFDefineSprite() { TagCode = 39; }
  std::uint16_t SpriteId = 0;
  std::vector<std::unique_ptr<TSWFObject>> ControlTags;

  std::uint16_t FrameCount() const;
  int RequiredVersion() const override;
  void WriteBody(TBitsEngine& be) override;
};

}  // namespace kalvane
