#pragma once

#include <cstdint>

#include "swf/BitsEngine.h"

namespace kalvane {

// Everything that can be placed in a movie's body: a tag record (level 0)
// or a movie object (level 1).
class TBasedSWFObject {
 public:
  virtual ~TBasedSWFObject() = default;
  virtual int ObjectLevel() const = 0;
  virtual int RequiredVersion() const { return 1; }
  virtual void WriteTag(TBitsEngine& be) = 0;
};

// A tag record: the body comes from WriteBody, the framing from WriteTag.
class TSWFObject : public TBasedSWFObject {
 public:
  std::uint32_t BodySize = 0;
  std::uint16_t TagCode = 0;

  int ObjectLevel() const override { return 0; }
  // Builds the body first (files in it only by reference), then writes the
  // short or long header and the body.
  void WriteTag(TBitsEngine& be) override;
  virtual void WriteBody(TBitsEngine&) {}
};

// The short header holds bodies up to 62 bytes; these codes always take
// the long one.
bool NeedsLongHeader(std::uint16_t code, std::uint64_t bodySize);
void WriteTagHeader(TBitsEngine& be, std::uint16_t code, std::uint64_t bodySize);

}  // namespace kalvane
