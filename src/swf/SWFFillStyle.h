#pragma once

#include <cstdint>
#include <memory>

#include "swf/SWFRecords.h"

namespace kalvane {

class TBitsEngine;

class TSWFFillStyle {
 public:
  virtual ~TSWFFillStyle() = default;
  bool HasAlpha = false;  // set by the shape that writes it
  std::uint8_t FillType = 0;

  virtual void WriteRecord(TBitsEngine& be) const = 0;
};

// A solid colour fill (type 0x00).
class TSWFColorFill : public TSWFFillStyle {
 public:
  TSWFColorFill() { FillType = 0x00; }
  TSWFRGBA Color;
  void WriteRecord(TBitsEngine& be) const override;
};

// A bitmap fill: 0x40 repeating, 0x41 clipped (0x42, 0x43 unsmoothed).
class TSWFImageFill : public TSWFFillStyle {
 public:
  TSWFImageFill() { FillType = 0x41; }
  std::uint16_t BitmapId = 0;
  TSWFMatrix Matrix;

  void WriteRecord(TBitsEngine& be) const override;
};

struct TSWFLineStyle {
  std::uint16_t Width = 0;  // twips
  TSWFRGBA Color;
  void WriteRecord(TBitsEngine& be, bool hasAlpha) const;
};

}  // namespace kalvane
