#include "swf/SWFControlTags.h"

#include <algorithm>

namespace kalvane {

std::uint16_t TSWFDefineSprite::FrameCount() const {
  return static_cast<std::uint16_t>(std::count_if(
      ControlTags.begin(), ControlTags.end(), [](const auto& tag) { return tag->TagCode == 1; }));
}

int TSWFDefineSprite::RequiredVersion() const {
  int version = 3;
  for (const auto& tag : ControlTags)
    version = std::max(version, tag->RequiredVersion());
  return version;
}

void TSWFDefineSprite::WriteBody(TBitsEngine& be) {
  be.PutUI16(SpriteId);
  be.PutUI16(FrameCount());
  for (const auto& tag : ControlTags)
    tag->WriteTag(be);
  be.PutUI16(0);  // End
}

}  // namespace kalvane
