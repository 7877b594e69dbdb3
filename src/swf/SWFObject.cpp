#include "swf/SWFObject.h"

#include <limits>
#include <string>

namespace kalvane {

bool NeedsLongHeader(std::uint16_t code, std::uint64_t bodySize) {
  return bodySize >= 63 || code == 20 || code == 36 || code == 60;
}

void WriteTagHeader(TBitsEngine& be, std::uint16_t code, std::uint64_t bodySize) {
  if (bodySize > std::numeric_limits<std::uint32_t>::max()) {
    throw TSwfError("tag " + std::to_string(code) + ": body of " + std::to_string(bodySize) +
                    " bytes is too large for a SWF tag");
  }
  if (NeedsLongHeader(code, bodySize)) {
    be.PutUI16(static_cast<std::uint16_t>(code * 64 + 63));
    be.PutUI32(static_cast<std::uint32_t>(bodySize));
  } else {
    be.PutUI16(static_cast<std::uint16_t>(code * 64 + bodySize));
  }
}

void TSWFObject::WriteTag(TBitsEngine& be) {
  TSegmentedStream body;
  TBitsEngine bodyEngine(body);
  WriteBody(bodyEngine);
  bodyEngine.AlignToByte(true);
  WriteTagHeader(be, TagCode, body.Length());
  BodySize = static_cast<std::uint32_t>(body.Length());
  body.CopyTo(be.Stream());
}

}  // namespace kalvane
