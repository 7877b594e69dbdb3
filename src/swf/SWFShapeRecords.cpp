#include "swf/SWFShapeRecords.h"

#include "swf/BitsEngine.h"

namespace kalvane {

void TSWFEndShapeRecord::WriteRecord(TBitsEngine& be) {
  be.PutBits(0, 6);
}

void TSWFStraightEdgeRecord::WriteRecord(TBitsEngine& be) {
  if (X == 0 && Y == 0) return;
  be.PutBits(0b11, 2);  // edge, straight
  const std::uint32_t n = BitsForSignedValues({X, Y});
  be.PutBits(n - 2, 4);
  if (X != 0 && Y != 0) {
    be.PutFlag(true);  // general line
    be.PutSBits(X, n);
    be.PutSBits(Y, n);
  } else {
    be.PutFlag(false);
    be.PutFlag(X == 0);  // vertical
    be.PutSBits(X == 0 ? Y : X, n);
  }
}

void TSWFStyleChangeRecord::SetFillStyle0(std::uint16_t index) {
  Fill0Id = index;
  StateFillStyle0 = true;
}

void TSWFStyleChangeRecord::SetFillStyle1(std::uint16_t index) {
  Fill1Id = index;
  StateFillStyle1 = true;
}

void TSWFStyleChangeRecord::SetLineStyle(std::uint16_t index) {
  LineId = index;
  StateLineStyle = true;
}

void TSWFStyleChangeRecord::SetMoveTo(std::int32_t x, std::int32_t y) {
  X = x;
  Y = y;
  StateMoveTo = true;
}

TFillStyles& TSWFStyleChangeRecord::NewFillStyles() {
  if (!FillStyles) FillStyles = std::make_unique<TFillStyles>();
  StateNewStyles = true;
  return *FillStyles;
}

TLineStyles& TSWFStyleChangeRecord::NewLineStyles() {
  if (!LineStyles) LineStyles = std::make_unique<TLineStyles>();
  StateNewStyles = true;
  return *LineStyles;
}

void TSWFStyleChangeRecord::WriteRecord(TBitsEngine& be) {
  const bool anyStyle = StateFillStyle0 || StateFillStyle1 || StateLineStyle;
  const bool moveTo = anyStyle ? StateMoveTo : true;
  be.PutFlag(false);  // not an edge
  be.PutFlag(StateNewStyles);
  be.PutFlag(StateLineStyle);
  be.PutFlag(StateFillStyle1);
  be.PutFlag(StateFillStyle0);
  be.PutFlag(moveTo);
  if (moveTo) {
    const std::uint32_t n = BitsForSignedValues({X, Y});
    be.PutBits(n, 5);
    be.PutSBits(X, n);
    be.PutSBits(Y, n);
  }
  if (StateFillStyle0) be.PutBits(Fill0Id, FillBits);
  if (StateFillStyle1) be.PutBits(Fill1Id, FillBits);
  if (StateLineStyle) be.PutBits(LineId, LineBits);
  if (StateNewStyles) {
    be.AlignToByte(true);
    static const TFillStyles kNoFills;
    static const TLineStyles kNoLines;
    const TFillStyles& fills = FillStyles ? *FillStyles : kNoFills;
    const TLineStyles& lines = LineStyles ? *LineStyles : kNoLines;
    WriteStyleArrays(be, fills, lines, HasAlpha);
    FillBits = static_cast<std::uint8_t>(BitsForUnsigned(fills.size()));
    LineBits = static_cast<std::uint8_t>(BitsForUnsigned(lines.size()));
    be.PutBits(FillBits, 4);
    be.PutBits(LineBits, 4);
  }
}

void TSWFCurvedEdgeRecord::WriteRecord(TBitsEngine& be) {
  be.PutBits(0b10, 2);  // edge, curved
  const std::uint32_t n =
      std::max<std::uint32_t>(BitsForSignedValues({ControlX, ControlY, AnchorX, AnchorY}), 2);
  be.PutBits(n - 2, 4);
  for (std::int32_t v : {ControlX, ControlY, AnchorX, AnchorY})
    be.PutSBits(v, n);
}

void WriteStyleCount(TBitsEngine& be, std::size_t count) {
  if (count <= 254) {
    be.PutUI8(static_cast<std::uint8_t>(count));
  } else {
    be.PutUI8(0xFF);
    be.PutUI16(static_cast<std::uint16_t>(count));
  }
}

void WriteStyleArrays(TBitsEngine& be, const TFillStyles& fills, const TLineStyles& lines,
                      bool hasAlpha) {
  WriteStyleCount(be, fills.size());
  for (const auto& fill : fills) {
    fill->HasAlpha = hasAlpha;
    fill->WriteRecord(be);
  }
  WriteStyleCount(be, lines.size());
  for (const TSWFLineStyle& line : lines)
    line.WriteRecord(be, hasAlpha);
}

}  // namespace kalvane
